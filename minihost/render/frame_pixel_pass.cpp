#include "frame_pixel_pass.h"

#include "sample_access.h"

#include <cstddef>

namespace minihost {

namespace {

// Calls cleanup on every filter that was initialised, however the pass ends.
class CleanupGuard {
  public:
    explicit CleanupGuard(std::span<SampleFilter* const> filters) : filters_(filters) {}
    ~CleanupGuard() {
        for (SampleFilter* filter : filters_)
            filter->cleanup();
    }
    CleanupGuard(const CleanupGuard&) = delete;
    CleanupGuard& operator=(const CleanupGuard&) = delete;

  private:
    std::span<SampleFilter* const> filters_;
};

} // namespace

void runPixelFiltersOverFrame(FrameBuffers& frame, std::span<SampleFilter* const> filters,
                              int32_t frameNumber, double time) {
    if (filters.empty())
        return;
    for (SampleFilter* filter : filters) {
        filter->init(1);
        filter->newTime(frameNumber, time);
    }
    const CleanupGuard cleanup(filters);

    SampleAccess access;
    SampleValues before{}, values{};
    for (int32_t y = 0; y < frame.height(); ++y) {
        for (int32_t x = 0; x < frame.width(); ++x) {
            for (int32_t code = 0; code < kBufferCodeCount; ++code) {
                const float* v = frame.element(code, x, y);
                before[static_cast<std::size_t>(code)] = v ? *v : 0.0f;
            }
            values = before;
            access.setSample(x + 0.5, y + 0.5, values);
            for (SampleFilter* filter : filters)
                access.run([&](const PixelAccess& record) { filter->evaluate(record); });
            for (int32_t code = 0; code < kBufferCodeCount; ++code) {
                const auto i = static_cast<std::size_t>(code);
                if (values[i] == before[i])
                    continue; // unchanged (a NaN never compares equal, so it is written)
                if (!frame.has(code)) {
                    if (values[i] == 0.0f)
                        continue;
                    frame.enable(code);
                }
                *frame.element(code, x, y) = values[i];
            }
        }
    }
}

} // namespace minihost
