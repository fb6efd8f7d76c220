#include "network_codec.h"

#include <algorithm>
#include <bit>

namespace minihost {

void appendText(std::vector<int32_t>& ints, std::string_view text) {
    ints.push_back(static_cast<int32_t>(text.size()));
    for (std::size_t i = 0; i < text.size(); i += 4) {
        uint32_t word = 0;
        for (std::size_t b = 0; b < 4 && i + b < text.size(); ++b)
            word |= uint32_t(static_cast<unsigned char>(text[i + b])) << (8 * b);
        ints.push_back(static_cast<int32_t>(word));
    }
}

void appendDouble(std::vector<int32_t>& ints, double value) {
    const auto bits = std::bit_cast<uint64_t>(value);
    ints.push_back(static_cast<int32_t>(static_cast<uint32_t>(bits)));
    ints.push_back(static_cast<int32_t>(static_cast<uint32_t>(bits >> 32)));
}

int32_t IntReader::integer() {
    if (next_ >= ints_.size())
        throw DecodeError("the block ends early");
    return ints_[next_++];
}

std::size_t IntReader::count(std::size_t max) {
    const int32_t n = integer();
    if (n < 0 || static_cast<std::size_t>(n) > max)
        throw DecodeError("a count of " + std::to_string(n) + " is out of range");
    return static_cast<std::size_t>(n);
}

std::string IntReader::text() {
    const std::size_t length = count(kMaxSavedText);
    std::string text;
    text.reserve(length);
    for (std::size_t i = 0; i < length; i += 4) {
        const auto word = static_cast<uint32_t>(integer());
        for (std::size_t b = 0; b < 4 && i + b < length; ++b)
            text.push_back(static_cast<char>((word >> (8 * b)) & 0xFF));
    }
    return text;
}

double IntReader::number() {
    const auto low = static_cast<uint32_t>(integer());
    const auto high = static_cast<uint32_t>(integer());
    return std::bit_cast<double>((uint64_t(high) << 32) | low);
}

std::vector<int32_t> readAllInts(const LoadState& load, std::size_t maxInts) {
    constexpr int32_t kChunk = 256;
    std::vector<int32_t> ints;
    int32_t chunk[kChunk];
    for (;;) {
        const int32_t n = load.readInts(load.readData, chunk, kChunk);
        if (n <= 0)
            break;
        ints.insert(ints.end(), chunk, chunk + std::min(n, kChunk));
        if (ints.size() > maxInts)
            throw DecodeError("a block holds more than " + std::to_string(maxInts) + " integers");
        if (n < kChunk)
            break;
    }
    return ints;
}

} // namespace minihost
