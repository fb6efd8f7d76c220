#include "subprocess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace subprocess {

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

fs::path captureFile(const char* stream) {
    static std::atomic<int> counter{0};
    return fs::temp_directory_path() / ("tavi-test-" + std::to_string(::getpid()) + "-" +
                                        std::to_string(counter++) + "." + stream);
}

} // namespace

Child::Child(const std::vector<std::string>& command)
    : out_(captureFile("out")), err_(captureFile("err")) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (const std::string& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    const int error = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        throw std::runtime_error("cannot start " + command[0]);
}

Child::~Child() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    std::error_code ignored;
    fs::remove(out_, ignored);
    fs::remove(err_, ignored);
}

void Child::signal(int number) const {
    ::kill(pid_, number);
}

bool Child::catches(int number) const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (number - 1)) & 1u;
    return false;
}

Result Child::wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    Result result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readAll(out_);
    result.err = readAll(err_);
    return result;
}

Result run(const std::vector<std::string>& command) {
    return Child(command).wait();
}

std::vector<std::string> taviCommand(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), TAVI_EXECUTABLE);
    return arguments;
}

Result tavi(std::vector<std::string> arguments) {
    return run(taviCommand(std::move(arguments)));
}

} // namespace subprocess
