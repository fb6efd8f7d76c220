// Ctrl-C during a long pass: the first interrupt asks the pass to stop (a
// ProgressTracker watching the flag answers "abort" at the filter's next
// step); a second one ends the program as if no handler were there.
#pragma once

#include <atomic>

namespace tavi {

class InterruptHandler {
  public:
    // Clears the flag and installs the SIGINT handler. Only one may exist
    // at a time: a second throws std::logic_error; a failing sigaction
    // throws std::system_error.
    InterruptHandler();
    // Puts back the SIGINT action that was there before.
    ~InterruptHandler();
    InterruptHandler(const InterruptHandler&) = delete;
    InterruptHandler& operator=(const InterruptHandler&) = delete;

    // Set by the first SIGINT; lives as long as the program, so a tracker
    // may keep watching it.
    static const std::atomic<bool>& flag();
    static bool interrupted() { return flag().load(std::memory_order_relaxed); }
};

} // namespace tavi
