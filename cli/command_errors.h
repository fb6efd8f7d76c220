// How `tavi` ends: its exit codes and the error that means "the command line
// was wrong" rather than "the work failed".
#pragma once

#include <stdexcept>

namespace tavi {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1; // the work failed: unreadable input, unwritable output ...
inline constexpr int kExitUsage = 2;   // the command line was wrong
// Ctrl-C stopped the work; the shells' convention for SIGINT (128 + 2).
inline constexpr int kExitInterrupted = 130;

// A mistake on the command line that parsing alone cannot see (a bad frame
// range, a channel override without '='); main prints it and exits 2.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Ctrl-C ended the work; the message says what was kept. main exits 130.
class Interrupted : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

} // namespace tavi
