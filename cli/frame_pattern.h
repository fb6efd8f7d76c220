// Frame numbers in file names and frame ranges on the command line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavi {

// Replaces every run of '#' with the frame number zero-padded to the run's
// length: "out.####.exr" and 7 give "out.0007.exr"; a number wider than the
// run keeps all its digits; a negative number puts its sign before the
// padded digits ("-0007"). Text without '#' is returned unchanged.
std::string expandFramePattern(std::string_view pattern, int32_t frame);

bool hasFramePattern(std::string_view pattern);

struct FrameRange {
    int32_t first = 0;
    int32_t last = 0;
    friend bool operator==(const FrameRange&, const FrameRange&) = default;
};

// "A-B" (A <= B) or "A"; each number may carry a leading '-' ("-5--1").
// Throws std::invalid_argument with a one-line message for anything else,
// for a reversed range or for numbers beyond 32 bits.
FrameRange parseFrameRange(std::string_view text);

} // namespace tavi
