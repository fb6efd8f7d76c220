// A progress bar for long filter passes, redrawn in place on one line and
// driven by the steps a filter reports to its progress monitor.
#pragma once

#include <minihost/render/progress_tracker.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace tavi {

class ProgressBar {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // Draws on `out` only when `enabled`; a disabled bar ignores everything,
    // so callers need not test. Redraws at most once per `interval`.
    ProgressBar(std::ostream& out, bool enabled, std::string label = {},
                std::chrono::milliseconds interval = std::chrono::milliseconds(100),
                Clock clock = std::chrono::steady_clock::now);
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    // Finishes the line if drawing started.
    ~ProgressBar();

    // Whether a bar belongs on standard error: it is a terminal and the user
    // did not ask for quiet.
    static bool wantedOnStandardError(bool quiet);

    // Makes the tracker's step reports drive this bar. The tracker keeps a
    // pointer to this bar: detach (or destroy the tracker) before the bar.
    void attach(minihost::ProgressTracker& tracker);
    static void detach(minihost::ProgressTracker& tracker);

    // Steps so far out of total (0: unknown total, only the count shows).
    void update(uint32_t steps, uint32_t total);
    // Draws the last state if not yet shown and ends the line. Later
    // updates start a new line.
    void finish();

    bool enabled() const { return enabled_; }

  private:
    void draw();

    std::ostream& out_;
    bool enabled_;
    std::string label_;
    std::chrono::milliseconds interval_;
    Clock clock_;
    bool drawnOnce_ = false; // a line is in progress
    bool upToDate_ = true;   // the line shows the last update
    std::chrono::steady_clock::time_point lastDraw_{};
    uint32_t steps_ = 0;
    uint32_t total_ = 0;
    std::size_t lastLength_ = 0;
    std::string line_; // reused so that redraws do not allocate
};

} // namespace tavi
