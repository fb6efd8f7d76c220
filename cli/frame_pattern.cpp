#include "frame_pattern.h"

#include <charconv>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace tavi {

std::string expandFramePattern(std::string_view pattern, int32_t frame) {
    const std::string digits = std::to_string(std::llabs(static_cast<long long>(frame)));
    std::string expanded;
    expanded.reserve(pattern.size() + digits.size());
    for (std::size_t i = 0; i < pattern.size();) {
        if (pattern[i] != '#') {
            expanded += pattern[i++];
            continue;
        }
        std::size_t width = 0;
        while (i < pattern.size() && pattern[i] == '#') {
            ++width;
            ++i;
        }
        if (frame < 0)
            expanded += '-';
        if (digits.size() < width)
            expanded.append(width - digits.size(), '0');
        expanded += digits;
    }
    return expanded;
}

bool hasFramePattern(std::string_view pattern) {
    return pattern.find('#') != std::string_view::npos;
}

namespace {

[[noreturn]] void badRange(std::string_view text, std::string_view why) {
    throw std::invalid_argument("frame range '" + std::string(text) + "' " + std::string(why));
}

// Reads an optionally signed number at the start of `rest` and advances it.
int32_t readFrame(std::string_view text, std::string_view& rest) {
    int32_t value = 0;
    const char* begin = rest.data();
    const char* end = rest.data() + rest.size();
    // from_chars takes a '-' but not a '+', which keeps "+5" malformed.
    const auto [next, error] = std::from_chars(begin, end, value);
    if (error == std::errc::result_out_of_range)
        badRange(text, "has a frame number beyond 32 bits");
    if (error != std::errc())
        badRange(text, "is not A-B or A (whole frame numbers)");
    rest.remove_prefix(static_cast<std::size_t>(next - begin));
    return value;
}

} // namespace

FrameRange parseFrameRange(std::string_view text) {
    std::string_view rest = text;
    FrameRange range;
    range.first = readFrame(text, rest);
    range.last = range.first;
    if (!rest.empty()) {
        if (rest.front() != '-' || rest.size() == 1)
            badRange(text, "is not A-B or A (whole frame numbers)");
        rest.remove_prefix(1);
        range.last = readFrame(text, rest);
        if (!rest.empty())
            badRange(text, "is not A-B or A (whole frame numbers)");
    }
    if (range.last < range.first)
        badRange(text, "runs backwards (" + std::to_string(range.first) + " is after " +
                           std::to_string(range.last) + ")");
    return range;
}

} // namespace tavi
