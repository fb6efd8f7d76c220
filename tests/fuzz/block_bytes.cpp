#include "block_bytes.h"

#include <algorithm>
#include <array>

namespace fuzzing {

namespace {

constexpr uint8_t kLeafBit = 0x80;
constexpr uint8_t kIdMask = 0x3F;
constexpr uint8_t kExplicitId = 0x3F;
constexpr uint8_t kLongCount = 0xFF;

constexpr std::array<uint32_t, 13> kKnownIds = {
    blockIdOf('I', 'N', 'O', 'D'), blockIdOf('P', 'F', 'L', 'G'), blockIdOf('P', 'N', 'O', 'D'),
    blockIdOf('F', 'L', 'A', 'G'), blockIdOf('N', 'E', 'T', 'W'), blockIdOf('V', 'E', 'R', 'S'),
    blockIdOf('R', 'D', 'E', 'F'), blockIdOf('N', 'O', 'D', 'E'), blockIdOf('H', 'E', 'A', 'D'),
    blockIdOf('D', 'E', 'F', 'S'), blockIdOf('R', 'A', 'M', 'P'), blockIdOf('D', 'A', 'T', 'A'),
    blockIdOf('L', 'I', 'N', 'K'),
};

class ByteReader {
  public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    bool atEnd() const { return next_ >= bytes_.size(); }
    std::size_t left() const { return atEnd() ? 0 : bytes_.size() - next_; }
    uint8_t byte() { return atEnd() ? 0 : bytes_[next_++]; }
    uint32_t word() {
        uint32_t value = 0;
        for (int shift = 0; shift < 32; shift += 8)
            value |= uint32_t{byte()} << shift;
        return value;
    }
    uint32_t count() {
        const uint8_t first = byte();
        return first == kLongCount ? word() : first;
    }

  private:
    std::span<const uint8_t> bytes_;
    std::size_t next_ = 0;
};

struct Decoder {
    ByteReader in;
    std::size_t blocks = 0;

    // Children of `parent` until `wanted` are read, the bytes run out or a
    // bound is reached.
    void children(minihost::Block& parent, uint64_t wanted, int depth) {
        for (uint64_t i = 0; i < wanted && !in.atEnd() && blocks < kMaxBlocks; ++i)
            parent.children.push_back(block(depth));
    }

    minihost::Block block(int depth) {
        ++blocks;
        minihost::Block b;
        const uint8_t tag = in.byte();
        b.leaf = (tag & kLeafBit) != 0;
        const uint8_t index = tag & kIdMask;
        b.id = index == kExplicitId ? in.word() : kKnownIds[index % kKnownIds.size()];
        // Each integer takes four bytes, so a huge count stops at the input's end.
        const uint32_t ints = in.count();
        for (uint32_t i = 0; i < ints && in.left() >= 4; ++i)
            b.ints.push_back(static_cast<int32_t>(in.word()));
        if (!b.leaf) {
            const uint32_t wanted = in.count();
            if (depth < kMaxDepth)
                children(b, wanted, depth + 1);
        }
        return b;
    }
};

void putCount(std::vector<uint8_t>& out, std::size_t count) {
    if (count < kLongCount) {
        out.push_back(static_cast<uint8_t>(count));
        return;
    }
    out.push_back(kLongCount);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(count >> shift));
}

void putBlock(std::vector<uint8_t>& out, const minihost::Block& b) {
    const auto known = std::find(kKnownIds.begin(), kKnownIds.end(), b.id);
    const uint8_t index =
        known == kKnownIds.end() ? kExplicitId : static_cast<uint8_t>(known - kKnownIds.begin());
    out.push_back(static_cast<uint8_t>(index | (b.leaf ? kLeafBit : 0)));
    if (index == kExplicitId)
        for (int shift = 0; shift < 32; shift += 8)
            out.push_back(static_cast<uint8_t>(b.id >> shift));
    putCount(out, b.ints.size());
    for (int32_t value : b.ints)
        for (int shift = 0; shift < 32; shift += 8)
            out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> shift));
    if (!b.leaf) {
        putCount(out, b.children.size());
        for (const minihost::Block& child : b.children)
            putBlock(out, child);
    }
}

} // namespace

minihost::Block blockTreeFromBytes(std::span<const uint8_t> bytes) {
    Decoder decoder{ByteReader(bytes)};
    minihost::Block root;
    decoder.children(root, UINT64_MAX, 0);
    return root;
}

std::vector<uint8_t> bytesFromBlockTree(const minihost::Block& root) {
    std::vector<uint8_t> out;
    for (const minihost::Block& child : root.children)
        putBlock(out, child);
    return out;
}

std::span<const uint32_t> knownBlockIds() {
    return kKnownIds;
}

} // namespace fuzzing
