// Running the built `tavi` (and other programs) as a user would: a child
// process with its output captured, its exit code, and a way to Ctrl-C it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace subprocess {

struct Result {
    int exitCode = -1; // 128 + signal when a signal ended the process
    std::string out;
    std::string err;
};

// A started process whose standard output and error go to files.
class Child {
  public:
    // The program is looked up on PATH when it has no '/'. Throws
    // std::runtime_error when it cannot be started.
    explicit Child(const std::vector<std::string>& command);
    ~Child(); // kills the process if it still runs
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    void signal(int number) const;
    // Whether the process has installed a handler for the signal yet (read
    // from /proc), so that a test signals it only once it is listening.
    bool catches(int number) const;
    Result wait();

  private:
    pid_t pid_ = -1;
    std::filesystem::path out_, err_;
};

Result run(const std::vector<std::string>& command);

// The built tavi with arguments.
Result tavi(std::vector<std::string> arguments);
std::vector<std::string> taviCommand(std::vector<std::string> arguments);

} // namespace subprocess
