#include "frame_buffers.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>

namespace minihost {

namespace {

// Rejects sizes whose RGBA output (the largest allocation) cannot be
// addressed on this platform, before any multiplication can wrap.
void checkSize(int32_t width, int32_t height) {
    if (width < 0 || height < 0)
        throw std::invalid_argument("frame size " + std::to_string(width) + " x " +
                                    std::to_string(height) + " is negative");
    const uint64_t floats = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4u;
    const uint64_t limit = std::numeric_limits<std::ptrdiff_t>::max() / sizeof(float);
    if (floats > limit)
        throw std::length_error("frame size " + std::to_string(width) + " x " +
                                std::to_string(height) + " is too large");
}

} // namespace

RgbaImage::RgbaImage(int32_t width, int32_t height) : width_(width), height_(height) {
    checkSize(width, height);
    rgba_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4u, 0.0f);
}

float* RgbaImage::pixel(int32_t x, int32_t y) {
    if (!contains(x, y))
        return nullptr;
    return rgba_.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                           static_cast<std::size_t>(x)) *
                              4u;
}

const float* RgbaImage::pixel(int32_t x, int32_t y) const {
    return const_cast<RgbaImage*>(this)->pixel(x, y);
}

FrameBuffers::FrameBuffers(int32_t width, int32_t height, const BufferCodeSet& codes)
    : width_(width), height_(height), output_(width, height) {
    enable(codes);
}

void FrameBuffers::enable(int32_t code) {
    if (!isBufferCode(code))
        throw std::out_of_range("buffer code " + std::to_string(code) + " is not 0 to 39");
    if (present_.test(index(code)))
        return;
    buffers_[index(code)].assign(pixelCount(), 0.0f);
    present_.set(index(code));
}

void FrameBuffers::enable(const BufferCodeSet& codes) {
    for (int32_t code = 0; code < kBufferCodeCount; ++code)
        if (codes.test(index(code)))
            enable(code);
}

float* FrameBuffers::row(int32_t code, int32_t y) {
    if (!has(code) || y < 0 || y >= height_)
        return nullptr;
    return buffers_[index(code)].data() +
           static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
}

const float* FrameBuffers::row(int32_t code, int32_t y) const {
    return const_cast<FrameBuffers*>(this)->row(code, y);
}

float* FrameBuffers::element(int32_t code, int32_t x, int32_t y) {
    if (x < 0 || x >= width_)
        return nullptr;
    float* line = row(code, y);
    return line ? line + x : nullptr;
}

const float* FrameBuffers::element(int32_t code, int32_t x, int32_t y) const {
    return const_cast<FrameBuffers*>(this)->element(code, x, y);
}

void FrameBuffers::resetOutput() {
    for (int32_t c = 0; c < 4; ++c) {
        const int32_t code = kBufferFinalRed + c;
        for (int32_t y = 0; y < height_; ++y) {
            const float* line = row(code, y);
            for (int32_t x = 0; x < width_; ++x)
                output_.pixel(x, y)[c] = line ? line[x] : 0.0f;
        }
    }
}

void FrameBuffers::adoptOutput() {
    for (int32_t c = 0; c < 4; ++c) {
        const int32_t code = kBufferFinalRed + c;
        enable(code);
        for (int32_t y = 0; y < height_; ++y) {
            float* line = row(code, y);
            for (int32_t x = 0; x < width_; ++x)
                line[x] = output_.pixel(x, y)[c];
        }
    }
}

} // namespace minihost
