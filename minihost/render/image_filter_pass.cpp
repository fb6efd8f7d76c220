#include "image_filter_pass.h"

#include "../filters.h"

namespace minihost {

namespace {
thread_local ImageFilterPass* tCurrentPass = nullptr;
} // namespace

ImageFilterPass::ImageFilterPass(FrameBuffers& buffers, ProgressMonitor* monitor)
    : buffers_(buffers) {
    access_.width = buffers.width();
    access_.height = buffers.height();
    access_.getLine = &ImageFilterPass::getLine;
    access_.setRGB = &ImageFilterPass::setRGB;
    access_.setAlpha = &ImageFilterPass::setAlpha;
    access_.monitor = monitor;
}

ImageFilterPass::Current::Current(ImageFilterPass& pass) : previous_(tCurrentPass) {
    tCurrentPass = &pass;
}

ImageFilterPass::Current::~Current() {
    tCurrentPass = previous_;
}

float* ImageFilterPass::getLine(int32_t bufferCode, int32_t row) noexcept {
    return tCurrentPass ? tCurrentPass->buffers_.row(bufferCode, row) : nullptr;
}

void ImageFilterPass::setRGB(int32_t column, int32_t row, const float rgb[3]) noexcept {
    if (!tCurrentPass || !rgb)
        return;
    if (float* pixel = tCurrentPass->buffers_.output().pixel(column, row)) {
        pixel[0] = rgb[0];
        pixel[1] = rgb[1];
        pixel[2] = rgb[2];
    }
}

void ImageFilterPass::setAlpha(int32_t column, int32_t row, float alpha) noexcept {
    if (!tCurrentPass)
        return;
    if (float* pixel = tCurrentPass->buffers_.output().pixel(column, row))
        pixel[3] = alpha;
}

void runImageFilter(const ImageFilter& filter, FrameBuffers& buffers, ProgressMonitor* monitor) {
    ImageFilterPass pass(buffers, monitor);
    pass.run([&filter](const FilterAccess& access) { filter.process(access); });
}

} // namespace minihost
