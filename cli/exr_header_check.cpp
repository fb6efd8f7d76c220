#include "exr_header_check.h"

#include <cstdint>
#include <fstream>
#include <system_error>

namespace tavi {

namespace {

constexpr uint32_t kMagic = 20000630;
constexpr uint32_t kMultiPartBit = 0x1000;
constexpr uint32_t kLongNamesBit = 0x400;

class HeaderReader {
  public:
    HeaderReader(std::ifstream& in, uint64_t size) : in_(in), size_(size) {}

    uint64_t left() const { return size_ - offset_; }

    bool word(uint32_t& value) {
        unsigned char bytes[4];
        if (left() < 4 || !in_.read(reinterpret_cast<char*>(bytes), 4))
            return false;
        offset_ += 4;
        value = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
                uint32_t{bytes[3]} << 24;
        return true;
    }

    // A null-terminated name of at most `limit` characters.
    bool name(std::string& text, std::size_t limit) {
        text.clear();
        for (;;) {
            char c;
            if (left() < 1 || !in_.get(c))
                return false;
            ++offset_;
            if (c == '\0')
                return true;
            if (text.size() == limit)
                return false;
            text.push_back(c);
        }
    }

    bool skip(uint64_t count) {
        if (count > left())
            return false;
        in_.seekg(static_cast<std::streamoff>(count), std::ios::cur);
        offset_ += count;
        return static_cast<bool>(in_);
    }

  private:
    std::ifstream& in_;
    uint64_t size_;
    uint64_t offset_ = 0;
};

} // namespace

std::optional<std::string> exrHeaderProblem(const std::filesystem::path& file) {
    std::error_code error;
    const uint64_t size = std::filesystem::file_size(file, error);
    std::ifstream in(file, std::ios::binary);
    if (error || !in)
        return std::nullopt; // the reader reports what is wrong with the file itself
    HeaderReader reader(in, size);
    uint32_t magic = 0, version = 0;
    if (!reader.word(magic) || magic != kMagic)
        return std::nullopt;
    if (!reader.word(version))
        return "the file ends inside its version field";
    const bool multiPart = (version & kMultiPartBit) != 0;
    const std::size_t nameLimit = (version & kLongNamesBit) ? 255 : 31;

    // Headers follow one another; a multi-part file ends them with an empty one.
    for (int header = 0;; ++header) {
        int attributes = 0;
        for (;; ++attributes) {
            std::string name, type;
            if (!reader.name(name, nameLimit))
                return "header " + std::to_string(header) + " is cut short or has a bad name";
            if (name.empty())
                break;
            uint32_t declared = 0;
            if (!reader.name(type, nameLimit) || !reader.word(declared))
                return "attribute '" + name + "' is cut short";
            const int64_t length = static_cast<int32_t>(declared);
            if (length < 0 || static_cast<uint64_t>(length) > reader.left())
                return "attribute '" + name + "' claims " + std::to_string(length) +
                       " bytes, but only " + std::to_string(reader.left()) + " follow";
            if (!reader.skip(static_cast<uint64_t>(length)))
                return "attribute '" + name + "' is cut short";
        }
        if (!multiPart || attributes == 0)
            return std::nullopt;
    }
}

} // namespace tavi
