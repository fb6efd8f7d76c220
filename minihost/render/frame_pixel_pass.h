// Runs pixel filters over a frame that already exists (render passes read
// from files): one sample per pixel, at the pixel's centre, as a renderer
// with one sample per pixel would.
#pragma once

#include "frame_buffers.h"
#include "sample_filter.h"

#include <cstdint>
#include <span>

namespace minihost {

// For each filter, in order: init (mode 1) and new-time (frame, time); then
// per pixel each filter's evaluate on the pixel's buffer values (a missing
// buffer reads 0); values the filters change are written back. A missing
// buffer that a filter writes a non-zero value into is created (zero-filled
// elsewhere), so what a pixel filter produces is never dropped. Finally each
// filter's cleanup, also when an evaluate throws.
void runPixelFiltersOverFrame(FrameBuffers& frame, std::span<SampleFilter* const> filters,
                              int32_t frameNumber, double time);

} // namespace minihost
