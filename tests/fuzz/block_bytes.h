// A compact byte form of a block tree, so that a fuzzer's arbitrary bytes
// become a load stream with structure: short blocks, deep nesting, huge
// counts and unknown IDs all arise from small mutations.
//
//   block    = tag [id: 4 bytes when tag & 0x3F is 0x3F] intCount ints childCount blocks
//   tag      = bit 7 leaf; bits 0-5 index into the known IDs (or 0x3F: id follows)
//   intCount = one byte, or 0xFF followed by a 4-byte count
//   ints     = 4 bytes each, little-endian
//   childCount, for non-leaf blocks only: as intCount
//
// The root is an unnamed container holding blocks until the bytes run out.
// Decoding never fails: missing bytes read as the end of the list, and depth
// and size are bounded so that any input decodes quickly.
#pragma once

#include <minihost/streams.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace fuzzing {

// Bounds of a decoded tree.
inline constexpr int kMaxDepth = 24;
inline constexpr std::size_t kMaxBlocks = 4096;

minihost::Block blockTreeFromBytes(std::span<const uint8_t> bytes);
// The inverse for trees within the bounds: seeds come from real saves.
std::vector<uint8_t> bytesFromBlockTree(const minihost::Block& root);

// The block IDs the servers and the network format know, in tag order.
std::span<const uint32_t> knownBlockIds();

} // namespace fuzzing
