// Splitting a frame range over worker processes: each worker is this same
// program run again on its own part of the range, so each has its own module
// instance and never shares an access node with another pass.
#pragma once

#include "frame_pattern.h"

#include <atomic>
#include <string>
#include <vector>

namespace tavi {

// At most `parts` contiguous ranges covering `range` in order, sizes
// differing by at most one frame; fewer when the range has fewer frames.
std::vector<FrameRange> splitFrameRange(FrameRange range, int parts);

struct WorkerResult {
    std::vector<std::string> arguments;
    int exitCode = 0; // 128 + signal number when a signal ended it
    bool started = true;
};

// Starts this executable once per argument list (without the program name),
// all at once, each in a process group of its own, and waits for every one. While *interrupt is
// true (Ctrl-C reached this process), each live worker is sent SIGINT once so that it stops its
// pass and keeps what it wrote. Throws std::system_error when the executable cannot be found.
std::vector<WorkerResult> runWorkers(const std::vector<std::vector<std::string>>& argumentLists,
                                     const std::atomic<bool>* interrupt);

} // namespace tavi
