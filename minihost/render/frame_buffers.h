// One rendered frame: float buffers addressed by buffer code, each width x
// height, present only when the renderer filled them, and the RGBA output
// image that image filters write.
#pragma once

#include "buffer_codes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace minihost {

// RGBA floats, row by row, four per pixel.
class RgbaImage {
  public:
    RgbaImage() = default;
    RgbaImage(int32_t width, int32_t height);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    bool contains(int32_t x, int32_t y) const {
        return x >= 0 && y >= 0 && x < width_ && y < height_;
    }
    // The pixel's four floats, or null outside the image.
    float* pixel(int32_t x, int32_t y);
    const float* pixel(int32_t x, int32_t y) const;
    std::span<const float> data() const { return rgba_; }

  private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    std::vector<float> rgba_;
};

class FrameBuffers {
  public:
    // Throws std::invalid_argument for a negative size and std::length_error
    // for one too large to address. The buffers in codes start zero-filled.
    FrameBuffers(int32_t width, int32_t height, const BufferCodeSet& codes = {});

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }

    // Creates the buffer zero-filled unless it exists; throws
    // std::out_of_range for a code outside 0..39.
    void enable(int32_t code);
    void enable(const BufferCodeSet& codes);
    bool has(int32_t code) const { return isBufferCode(code) && present_.test(index(code)); }
    const BufferCodeSet& codes() const { return present_; }

    // The buffer's floats for row y, one per column; null when the buffer
    // is missing or the row is outside the frame.
    float* row(int32_t code, int32_t y);
    const float* row(int32_t code, int32_t y) const;
    // One float of a buffer; null when missing or outside the frame.
    float* element(int32_t code, int32_t x, int32_t y);
    const float* element(int32_t code, int32_t x, int32_t y) const;

    // What image filters write. It starts as the final colour and alpha at
    // the time resetOutput() last ran (zeros before that).
    RgbaImage& output() { return output_; }
    const RgbaImage& output() const { return output_; }
    // Copies final colour and alpha (codes 32-35) into the output; a missing
    // buffer gives 0 for its component.
    void resetOutput();
    // Copies the output back into the final colour and alpha buffers,
    // creating them when missing, so that a next image filter reads what the
    // previous one wrote.
    void adoptOutput();

  private:
    static std::size_t index(int32_t code) { return static_cast<std::size_t>(code); }
    std::size_t pixelCount() const {
        return static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    }

    int32_t width_;
    int32_t height_;
    BufferCodeSet present_;
    std::array<std::vector<float>, kBufferCodeCount> buffers_;
    RgbaImage output_;
};

} // namespace minihost
