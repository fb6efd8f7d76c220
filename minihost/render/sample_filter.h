// What the renderer drives per frame and per sample: the render-time side of
// a pixel filter. The module's pixel filter plugs in through
// PixelFilterAdapter; tests plug in doubles of their own.
#pragma once

#include <host/access.h>

#include <cstdint>

namespace minihost {

class PixelFilter;

class SampleFilter {
  public:
    virtual ~SampleFilter() = default;

    // Need flags: bit b asks for buffer code b (bits 0 to 19); higher bits
    // are the filter's own options and select no buffer.
    virtual uint32_t flags() const = 0;
    // Once per frame, in this order, before any sample.
    virtual void init(int32_t mode) = 0;
    virtual void newTime(int32_t frame, double time) = 0;
    // Once per sample; access is valid only during the call.
    virtual void evaluate(const PixelAccess& access) = 0;
    // Once per frame, after the last sample.
    virtual void cleanup() = 0;
};

// A module pixel filter instance as a SampleFilter. The filter is not owned
// and must outlive the adapter.
class PixelFilterAdapter final : public SampleFilter {
  public:
    explicit PixelFilterAdapter(const PixelFilter& filter) : filter_(filter) {}

    uint32_t flags() const override;
    void init(int32_t mode) override;
    void newTime(int32_t frame, double time) override;
    void evaluate(const PixelAccess& access) override;
    void cleanup() override;

  private:
    const PixelFilter& filter_;
};

} // namespace minihost
