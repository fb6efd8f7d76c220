// How texts and doubles travel in the 32-bit integers of save blocks, and
// reading a whole block's integers through a load record.
//
// A text is its byte length followed by its bytes packed four to an integer,
// the first byte in the lowest eight bits. A double is its IEEE bit pattern
// as two integers, low half first.
#pragma once

#include <host/streams.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace minihost {

// Longest text a network block may hold, in bytes.
inline constexpr std::size_t kMaxSavedText = 4096;

void appendText(std::vector<int32_t>& ints, std::string_view text);
void appendDouble(std::vector<int32_t>& ints, double value);

// Malformed block content; the message says what is wrong.
class DecodeError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Reads values back from a block's integers in order; throws DecodeError
// when the integers run out or a text is too long.
class IntReader {
  public:
    explicit IntReader(const std::vector<int32_t>& ints) : ints_(ints) {}
    int32_t integer();
    // A non-negative count no larger than `max`.
    std::size_t count(std::size_t max);
    std::string text();
    double number();
    bool atEnd() const { return next_ == ints_.size(); }

  private:
    const std::vector<int32_t>& ints_;
    std::size_t next_ = 0;
};

// Every integer left in the block that find block last entered. Throws
// DecodeError past `maxInts`.
std::vector<int32_t> readAllInts(const LoadState& load, std::size_t maxInts);

} // namespace minihost
