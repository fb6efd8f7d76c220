#include "progress_bar.h"

#include <unistd.h>

#include <algorithm>

namespace tavi {

namespace {
constexpr int kBarWidth = 30;
} // namespace

ProgressBar::ProgressBar(std::ostream& out, bool enabled, std::string label,
                         std::chrono::milliseconds interval, Clock clock)
    : out_(out), enabled_(enabled), label_(std::move(label)), interval_(interval),
      clock_(std::move(clock)) {
    line_.reserve(label_.size() + kBarWidth + 48);
}

ProgressBar::~ProgressBar() {
    try {
        finish();
    } catch (...) {
        // A failing stream must not end the program from a destructor.
    }
}

bool ProgressBar::wantedOnStandardError(bool quiet) {
    return !quiet && ::isatty(STDERR_FILENO) == 1;
}

void ProgressBar::attach(minihost::ProgressTracker& tracker) {
    tracker.onStep([this](uint32_t steps, uint32_t total) { update(steps, total); });
}

void ProgressBar::detach(minihost::ProgressTracker& tracker) {
    tracker.onStep(nullptr);
}

void ProgressBar::update(uint32_t steps, uint32_t total) {
    if (!enabled_)
        return;
    steps_ = steps;
    total_ = total;
    upToDate_ = false;
    const auto now = clock_();
    if (drawnOnce_ && now - lastDraw_ < interval_)
        return;
    lastDraw_ = now;
    draw();
}

void ProgressBar::finish() {
    if (!enabled_ || (!drawnOnce_ && upToDate_))
        return;
    if (!upToDate_)
        draw();
    out_ << '\n' << std::flush;
    drawnOnce_ = false;
    lastLength_ = 0;
}

void ProgressBar::draw() {
    line_.clear();
    line_ += '\r';
    if (!label_.empty()) {
        line_ += label_;
        line_ += ' ';
    }
    if (total_ > 0) {
        const uint32_t shown = std::min(steps_, total_);
        const auto filled = static_cast<int>(uint64_t{shown} * kBarWidth / total_);
        line_ += '[';
        line_.append(static_cast<std::size_t>(filled), '#');
        line_.append(static_cast<std::size_t>(kBarWidth - filled), '.');
        line_ += "] ";
        const auto percent = static_cast<unsigned>(uint64_t{shown} * 100 / total_);
        line_ += std::to_string(percent);
        line_ += '%';
    } else {
        line_ += std::to_string(steps_);
        line_ += " steps";
    }
    // Blank out what a longer earlier line left behind.
    const std::size_t length = line_.size();
    if (length < lastLength_)
        line_.append(lastLength_ - length, ' ');
    lastLength_ = length;
    out_ << line_ << std::flush;
    drawnOnce_ = true;
    upToDate_ = true;
}

} // namespace tavi
