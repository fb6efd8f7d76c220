// A progress monitor the host hands an image filter: it fills the
// ProgressMonitor record, records what the filter reports and answers the
// filter's abort question.
#pragma once

#include <host/access.h>

#include <atomic>
#include <cstdint>
#include <functional>

namespace minihost {

class ProgressTracker {
  public:
    // Called after each counted step with (steps so far, total from init).
    using StepCallback = std::function<void(uint32_t steps, uint32_t total)>;

    ProgressTracker();
    // The record points back at this object, so it stays where it is.
    ProgressTracker(const ProgressTracker&) = delete;
    ProgressTracker& operator=(const ProgressTracker&) = delete;

    // What goes into the access record's monitor field; valid while this
    // tracker lives.
    ProgressMonitor* record() { return &record_; }

    // Step calls number from (and including) `stepCall` on answer "abort";
    // 0 turns this off. Step calls are numbered from 1 since the last init.
    void abortFromStep(uint32_t stepCall) { abortFromStep_ = stepCall; }
    // Every step answers "abort" while *flag is true (for instance set by an
    // interrupt handler). The flag is not owned and must outlive the tracker
    // or be cleared with null.
    void watchAbortFlag(const std::atomic<bool>* flag) { abortFlag_ = flag; }
    void onStep(StepCallback callback) { onStep_ = std::move(callback); }

    bool initialised() const { return initialised_; }
    uint32_t total() const { return total_; }
    // Sum of the increments reported since the last init.
    uint32_t steps() const { return steps_; }
    uint32_t stepCalls() const { return stepCalls_; }
    bool done() const { return done_; }
    // True once a step answered "abort" since the last init.
    bool aborted() const { return aborted_; }

  private:
    // Record functions, called by a filter through the monitor record during
    // its pass. data is this tracker (owned by whoever made it, not by the
    // filter); a null data is ignored. Nothing is kept.
    static void initCall(void* data, uint32_t totalSteps) noexcept;
    static int32_t stepCall(void* data, uint32_t increment) noexcept;
    static void doneCall(void* data) noexcept;

    ProgressMonitor record_{};
    uint32_t abortFromStep_ = 0;
    const std::atomic<bool>* abortFlag_ = nullptr;
    StepCallback onStep_;
    bool initialised_ = false;
    uint32_t total_ = 0;
    uint32_t steps_ = 0;
    uint32_t stepCalls_ = 0;
    bool done_ = false;
    bool aborted_ = false;
};

} // namespace minihost
