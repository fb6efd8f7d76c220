// Writing a frame's output image: EXR keeps float data, every channel and
// the input's pixel windows; PNG, JPEG and TIFF get 8-bit display values.
// Files appear under their final name only once complete.
#pragma once

#include "exr_layout.h"

#include <minihost/render/frame_buffers.h>
#include <shared/channels.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tavi {

enum class ImageFormat { Exr, Png, Jpeg, Tiff };

// By extension, ignoring case: .exr, .png, .jpg/.jpeg, .tif/.tiff. Throws
// ImageFileError naming the file for anything else.
ImageFormat imageFormatFor(const std::filesystem::path& file);

// A render buffer written beside the output colour in an EXR file.
struct ExtraChannel {
    const BufferChannel* channel = nullptr;
    // One name per component; empty: defaultExrNames(*channel).
    std::vector<std::string> exrNames;
};

struct ImageWriteOptions {
    // EXR only: the data and display windows to write, normally those the
    // input was read with; the data window must have the frame's size.
    // Without: both are the frame at (0, 0).
    std::optional<FrameWindows> windows;
    // EXR only: buffers written after R, G, B, A.
    std::vector<ExtraChannel> extraChannels;
    // PNG and TIFF only: colour without alpha, for images meant to be looked
    // at (a render's sky has alpha 0 and would show as transparent).
    bool opaque = false;
};

// Names the default channel mapping reads back as the same channel:
// "depth.Z", "motion.X", "raw_color.R", "diffuse.Y" ...
std::vector<std::string> defaultExrNames(const BufferChannel& channel);

// Writes frame.output(). Returns warnings, one line each naming the file:
// extra channels the frame lacks or a format cannot hold. Throws
// ImageFileError naming the file when it cannot be written; nothing is then
// left under its name or a temporary one.
std::vector<std::string> writeImage(const std::filesystem::path& file,
                                    const minihost::FrameBuffers& frame,
                                    const ImageWriteOptions& options = {});

// The piecewise sRGB curve applied to a linear value clamped to [0, 1].
float srgbEncode(float linear);
// A linear colour value as a display byte: clamped, sRGB-encoded, rounded;
// NaN gives 0.
uint8_t colourByte(float linear);
// Alpha stays linear: clamped and rounded; NaN gives 0.
uint8_t alphaByte(float alpha);

} // namespace tavi
