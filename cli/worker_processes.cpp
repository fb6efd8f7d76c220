#include "worker_processes.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

extern char** environ;

namespace tavi {

std::vector<FrameRange> splitFrameRange(FrameRange range, int parts) {
    const int64_t frames = int64_t{range.last} - range.first + 1;
    const int64_t count = std::clamp<int64_t>(parts, 1, frames);
    std::vector<FrameRange> chunks;
    int64_t first = range.first;
    for (int64_t i = 0; i < count; ++i) {
        const int64_t size = frames / count + (i < frames % count ? 1 : 0);
        chunks.push_back({static_cast<int32_t>(first), static_cast<int32_t>(first + size - 1)});
        first += size;
    }
    return chunks;
}

namespace {

int exitCodeOf(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return 1;
}

} // namespace

std::vector<WorkerResult> runWorkers(const std::vector<std::vector<std::string>>& argumentLists,
                                     const std::atomic<bool>* interrupt) {
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    const std::string program = self.string();

    // Each worker gets a process group of its own, so that a Ctrl-C at the
    // terminal reaches only this process, which passes it on exactly once (a
    // second SIGINT would end a worker without its message).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    std::vector<WorkerResult> results;
    std::vector<pid_t> running;
    for (const auto& arguments : argumentLists) {
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        pid_t pid = 0;
        const int error =
            posix_spawn(&pid, program.c_str(), nullptr, &attributes, argv.data(), environ);
        results.push_back({arguments, error == 0 ? 0 : 127, error == 0});
        running.push_back(error == 0 ? pid : 0);
    }
    posix_spawnattr_destroy(&attributes);

    // Polls rather than blocking in waitpid, so that a Ctrl-C reaching this
    // process is passed on to the workers promptly.
    bool forwarded = false;
    while (std::any_of(running.begin(), running.end(), [](pid_t pid) { return pid != 0; })) {
        if (!forwarded && interrupt && interrupt->load(std::memory_order_relaxed)) {
            for (pid_t pid : running)
                if (pid != 0)
                    ::kill(pid, SIGINT);
            forwarded = true;
        }
        bool reaped = false;
        for (std::size_t i = 0; i < running.size(); ++i) {
            if (running[i] == 0)
                continue;
            int status = 0;
            const pid_t done = ::waitpid(running[i], &status, WNOHANG);
            if (done == running[i] || (done < 0 && errno != EINTR)) {
                results[i].exitCode = done < 0 ? 1 : exitCodeOf(status);
                running[i] = 0;
                reaped = true;
            }
        }
        if (!reaped)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return results;
}

} // namespace tavi
