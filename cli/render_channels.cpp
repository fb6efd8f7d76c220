#include "render_channels.h"

#include <cctype>

namespace tavi {

std::span<const BufferChannel> renderChannels() {
    return {bufferChannels, CHANNEL_COUNT};
}

std::string foldName(std::string_view name) {
    std::string folded;
    folded.reserve(name.size());
    for (char c : name) {
        if (c == ' ' || c == '_' || c == '-' || c == '.')
            continue;
        folded.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    return folded;
}

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

const BufferChannel* findRenderChannel(std::string_view name) {
    const std::string folded = foldName(name);
    if (folded.empty())
        return nullptr;
    for (const BufferChannel& channel : renderChannels())
        if (foldName(channel.name) == folded)
            return &channel;
    return nullptr;
}

const BufferChannel* channelForBufferCode(int32_t code) {
    for (const BufferChannel& channel : renderChannels())
        if (code >= channel.bufferCode && code < channel.bufferCode + channel.components)
            return &channel;
    return nullptr;
}

bool isColourChannel(const BufferChannel& channel) {
    return channel.components == 3;
}

} // namespace tavi
