// One image filter pass over a finished frame: the FilterAccess record the
// host hands the filter's process callback, backed by a FrameBuffers.
//
// The record's functions take no context argument, so they find their frame
// through a per-thread "current pass" that is set only while run() executes
// the filter. Called at any other time they do nothing: get line answers
// null, set RGB and set alpha write nothing.
#pragma once

#include "frame_buffers.h"

#include <host/access.h>

#include <utility>

namespace minihost {

class ImageFilter;

class ImageFilterPass {
  public:
    // buffers and monitor are not owned; both must outlive the pass. A null
    // monitor gives the filter no progress reporting and no abort.
    explicit ImageFilterPass(FrameBuffers& buffers, ProgressMonitor* monitor = nullptr);
    // The record's address is handed to the filter, so the pass stays put.
    ImageFilterPass(const ImageFilterPass&) = delete;
    ImageFilterPass& operator=(const ImageFilterPass&) = delete;

    const FilterAccess& access() const { return access_; }

    // Starts the output image as the frame's final colour and alpha, so that
    // pixels the filter leaves alone keep their rendered values, then calls
    // process(access) with this pass current on the calling thread.
    template <class Process> void run(Process&& process) {
        buffers_.resetOutput();
        const Current current(*this);
        std::forward<Process>(process)(std::as_const(access_));
    }

  private:
    // Makes a pass current on this thread for its lifetime and restores the
    // previous one afterwards, so passes may nest.
    class Current {
      public:
        explicit Current(ImageFilterPass& pass);
        ~Current();
        Current(const Current&) = delete;
        Current& operator=(const Current&) = delete;

      private:
        ImageFilterPass* previous_;
    };

    // Record functions. Called by the filter while run() executes it, on the
    // same thread; at any other time they find no current pass and do
    // nothing. They keep no pointer. A row from get line belongs to the
    // frame: valid while the frame lives, not to be kept past the pass.
    static float* getLine(int32_t bufferCode, int32_t row) noexcept;
    static void setRGB(int32_t column, int32_t row, const float rgb[3]) noexcept;
    static void setAlpha(int32_t column, int32_t row, float alpha) noexcept;

    FrameBuffers& buffers_;
    FilterAccess access_{};
};

// Runs the filter's process callback over the frame; afterwards the frame's
// output image holds what the filter wrote on top of the rendered colour.
void runImageFilter(const ImageFilter& filter, FrameBuffers& buffers,
                    ProgressMonitor* monitor = nullptr);

} // namespace minihost
