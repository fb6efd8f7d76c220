// Frame sizes on the command line: "640x360".
#pragma once

#include <cstdint>
#include <string_view>

namespace tavi {

struct FrameSize {
    int32_t width = 0;
    int32_t height = 0;
};

// "WIDTHxHEIGHT" (or 'X'), each side from 1 to 65536. Throws UsageError
// naming the option otherwise.
FrameSize parseFrameSize(std::string_view text);

} // namespace tavi
