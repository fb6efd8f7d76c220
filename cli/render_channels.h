// Looking up the seventeen render buffer channels by the names people type
// and by the buffer codes a frame holds.
#pragma once

#include <shared/channels.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tavi {

// All seventeen rows, in table order (Color first).
std::span<const BufferChannel> renderChannels();

// The channel with this name, ignoring case, spaces, '_' and '-' ("raw color",
// "RawColor" and "raw_color" all name Raw Color); null when none does.
const BufferChannel* findRenderChannel(std::string_view name);

// The channel one of whose buffers has this code (e.g. 7 -> Raw Color); null
// for codes that belong to no channel.
const BufferChannel* channelForBufferCode(int32_t code);

bool isColourChannel(const BufferChannel& channel);

// Lower case with spaces, '_', '-' and '.' removed: how names are compared
// when people and renderers spell them differently.
std::string foldName(std::string_view name);

// Lower case only, for comparing names where punctuation matters.
std::string lowerCase(std::string_view text);

} // namespace tavi
