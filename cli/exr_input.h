// Reading an EXR render into frame buffers: single-part, multi-part and
// tiled files, half or float channels.
//
// The frame is the data window of the part that holds the colour (the
// beauty part). Every other channel is placed by absolute pixel position:
// frame pixel (x, y) reads the file's pixel (data.x + x, data.y + y) of its
// own part, and pixels outside that part's data window read 0.
#pragma once

#include "channel_mapping.h"
#include "exr_layout.h"

#include <minihost/render/frame_buffers.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tavi {

struct ExrFrame {
    minihost::FrameBuffers buffers;
    FrameWindows windows; // the beauty part's; buffers cover windows.data
    ChannelMapping mapping;
    // One line each, naming the file: channels asked for that the file
    // lacks (their buffers stay missing), overrides that found nothing, and
    // a missing alpha.
    std::vector<std::string> warnings;
};

// The file's parts, channels, views and windows. Throws ImageFileError for a
// missing, unreadable, non-EXR, deep or corrupt file.
ExrLayout readExrLayout(const std::filesystem::path& file);

// Reads the buffers of the channels whose codes are in `wanted` (any code of
// a colour channel asks for all three; codes of no channel are ignored) plus
// the final colour and alpha. A file without alpha reads as opaque (alpha
// 1) with a warning. Throws ImageFileError for the cases above and for a
// file without colour channels.
ExrFrame readExrFrame(const std::filesystem::path& file, const minihost::BufferCodeSet& wanted,
                      const ChannelOverrides& overrides = {});
// The same for the buffers a need-flag word asks for.
ExrFrame readExrFrame(const std::filesystem::path& file, uint32_t needFlags,
                      const ChannelOverrides& overrides = {});

} // namespace tavi
