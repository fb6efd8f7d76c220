#include "frame_size.h"

#include "command_errors.h"

#include <charconv>
#include <string>

namespace tavi {

namespace {

int32_t side(std::string_view text, std::string_view whole) {
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 65536)
        throw UsageError("--size '" + std::string(whole) +
                         "': expected WIDTHxHEIGHT, each side from 1 to 65536");
    return value;
}

} // namespace

FrameSize parseFrameSize(std::string_view text) {
    const auto x = text.find_first_of("xX");
    if (x == std::string_view::npos)
        throw UsageError("--size '" + std::string(text) + "': expected WIDTHxHEIGHT, e.g. 640x360");
    return {side(text.substr(0, x), text), side(text.substr(x + 1), text)};
}

} // namespace tavi
