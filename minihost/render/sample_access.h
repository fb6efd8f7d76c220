// The PixelAccess record the host hands a pixel filter for one render
// sample: the sample's position and its buffer values by buffer code.
//
// Like the image record, its functions take no context argument: they reach
// the sample through a per-thread "current sample" that is set only while
// run() executes the filter. Outside run() get value reads zeros and set
// value writes nothing.
#pragma once

#include "buffer_codes.h"

#include <host/access.h>

#include <array>
#include <utility>

namespace minihost {

// Every buffer of one sample, indexed by buffer code.
using SampleValues = std::array<float, kBufferCodeCount>;

class SampleAccess {
  public:
    SampleAccess();
    // The record's address is handed to the filter, so the access stays put.
    SampleAccess(const SampleAccess&) = delete;
    SampleAccess& operator=(const SampleAccess&) = delete;

    // Points the record at a sample. values is not owned and must outlive
    // every run() until the next setSample. Allocates nothing, so a renderer
    // reuses one SampleAccess for all samples.
    void setSample(double sx, double sy, SampleValues& values) {
        record_.sx = sx;
        record_.sy = sy;
        values_ = &values;
    }

    const PixelAccess& record() const { return record_; }

    // Calls evaluate(record) with this sample current on the calling thread.
    template <class Evaluate> void run(Evaluate&& evaluate) {
        const Current current(*this);
        std::forward<Evaluate>(evaluate)(std::as_const(record_));
    }

  private:
    // Makes an access current on this thread for its lifetime and restores
    // the previous one afterwards.
    class Current {
      public:
        explicit Current(SampleAccess& access);
        ~Current();
        Current(const Current&) = delete;
        Current& operator=(const Current&) = delete;

      private:
        SampleAccess* previous_;
    };

    // Record functions. Called by the filter while run() executes it, on the
    // same thread; at any other time get value reads zeros and set value
    // writes nothing. They read or write count consecutive buffers from the
    // code; codes outside 0..39 read 0 and are not written. out and in are
    // the caller's, hold count floats, and are not kept.
    static void getValue(int32_t bufferCode, int32_t count, float* out) noexcept;
    static void setValue(int32_t bufferCode, int32_t count, const float* in) noexcept;

    SampleValues* values_ = nullptr;
    PixelAccess record_{};
};

} // namespace minihost
