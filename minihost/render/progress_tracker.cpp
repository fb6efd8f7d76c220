#include "progress_tracker.h"

namespace minihost {

ProgressTracker::ProgressTracker() {
    record_.data = this;
    record_.init = &ProgressTracker::initCall;
    record_.step = &ProgressTracker::stepCall;
    record_.done = &ProgressTracker::doneCall;
}

// Called by a filter at the start of a pass: a new pass starts a new count.
void ProgressTracker::initCall(void* data, uint32_t totalSteps) noexcept {
    auto* self = static_cast<ProgressTracker*>(data);
    if (!self)
        return;
    self->initialised_ = true;
    self->total_ = totalSteps;
    self->steps_ = 0;
    self->stepCalls_ = 0;
    self->done_ = false;
    self->aborted_ = false;
}

// Called by a filter as it advances; non-zero tells it to stop. A failing
// progress callback must not reach the module, so it is swallowed.
int32_t ProgressTracker::stepCall(void* data, uint32_t increment) noexcept {
    auto* self = static_cast<ProgressTracker*>(data);
    if (!self)
        return 0;
    self->steps_ += increment;
    ++self->stepCalls_;
    if (self->onStep_) {
        try {
            self->onStep_(self->steps_, self->total_);
        } catch (...) {
        }
    }
    const bool abort = (self->abortFromStep_ != 0 && self->stepCalls_ >= self->abortFromStep_) ||
                       (self->abortFlag_ && self->abortFlag_->load(std::memory_order_relaxed));
    if (abort)
        self->aborted_ = true;
    return abort ? 1 : 0;
}

// Called by a filter that finished its pass.
void ProgressTracker::doneCall(void* data) noexcept {
    if (auto* self = static_cast<ProgressTracker*>(data))
        self->done_ = true;
}

} // namespace minihost
