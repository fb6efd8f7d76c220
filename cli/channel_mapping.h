// Which EXR channels feed which of the seventeen render channels: the
// default mapping by common pass names, and explicit overrides from a scene
// file or the command line.
#pragma once

#include "exr_channel_names.h"
#include "exr_layout.h"

#include <shared/channels.h>

#include <string>
#include <string_view>
#include <vector>

namespace tavi {

// Weights of a scalar taken from a colour layer: the luminance of linear
// Rec. 709 red, green and blue.
inline constexpr float kLumaRed = 0.2126f;
inline constexpr float kLumaGreen = 0.7152f;
inline constexpr float kLumaBlue = 0.0722f;

struct ChannelSource {
    const BufferChannel* channel = nullptr;
    // The EXR channels feeding the channel's components in order; for a
    // scalar read as luminance, the red, green and blue that it weighs.
    std::vector<ExrChannelRef> exrChannels;
    bool luminance = false;
    bool overridden = false;

    // "Z", "R, G, B" or "luminance of diffuse.R, diffuse.G, diffuse.B".
    std::string describe() const;
};

struct ChannelMapping {
    std::string heroView;                      // empty when the file has no views
    std::vector<ChannelSource> found;          // in channel table order
    std::vector<const BufferChannel*> missing; // in channel table order
    // Overrides that named something the file lacks: their channels are
    // missing, and the text says why.
    struct Note {
        const BufferChannel* channel = nullptr;
        std::string text;
    };
    std::vector<Note> notes;

    const ChannelSource* source(const BufferChannel& channel) const;
    // By channel name as findRenderChannel() accepts it.
    const ChannelSource* source(std::string_view channelName) const;
};

// Feeds one channel from named EXR channels instead of the default mapping.
// A scalar channel takes one EXR channel, three (read as their luminance) or
// one layer name (picked as the default mapping picks a layer); a colour
// channel takes three EXR channels (red, green, blue) or one layer name with
// R, G and B. No names leaves the channel unmapped.
struct ChannelOverride {
    const BufferChannel* channel = nullptr;
    std::vector<std::string> exrNames;
};
using ChannelOverrides = std::vector<ChannelOverride>; // a later entry for a channel wins

// Throws std::invalid_argument for an unknown channel name or a name count
// the channel cannot take; the message says what would be accepted.
ChannelOverride makeChannelOverride(std::string_view channelName,
                                    std::vector<std::string> exrNames);
// "Depth=depth.V", "Raw Color=albedo.R,albedo.G,albedo.B", "Depth=" (leave
// Depth unmapped). Spaces around names are ignored. Throws
// std::invalid_argument as makeChannelOverride, or for text without '='.
ChannelOverride parseChannelOverride(std::string_view text);

// Maps all seventeen channels. EXR names are matched ignoring case, with a
// render-layer prefix ignored ("ViewLayer.Depth.Z" is a Depth layer), and
// only in the hero view or in no view. Override names are matched against
// the names as stored or as qualified by view ("left.Z" in a multi-part
// file), exactly first and then ignoring case, preferring the hero view.
ChannelMapping mapChannels(const ExrLayout& layout, const ChannelOverrides& overrides = {});

// One line per channel: "Depth       <- Z" or "Shadow      (not found)".
std::vector<std::string> describeMapping(const ChannelMapping& mapping);

} // namespace tavi
