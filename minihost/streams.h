// Block-structured load and save streams. A save writes a tree of blocks,
// each with an ID, a name, a leaf flag, the 32-bit integers written into it
// and its nested blocks; a load reads the same tree back through the records
// the module's load callbacks receive. The tree is the host's in-memory form;
// scene files store it as JSON.
#pragma once

#include <host/streams.h>

#include <nlohmann/json_fwd.hpp>

#include <string>
#include <vector>

namespace minihost {

struct Block {
    uint32_t id = 0;
    std::string name;
    bool leaf = false;
    std::vector<int32_t> ints;   // integers written into this block, in order
    std::vector<Block> children; // nested blocks, in order

    bool operator==(const Block&) const = default;
};

// Four-character text of a block ID ("INOD"), or its hexadecimal value when
// the ID is not four printable characters.
std::string blockIdText(uint32_t id);
// Inverse of blockIdText; throws std::invalid_argument on anything else.
uint32_t blockIdFromText(const std::string& text);

// Collects what save callbacks write. The root is an unnamed container.
class SaveStream {
  public:
    SaveStream();
    SaveStream(const SaveStream&) = delete;
    SaveStream& operator=(const SaveStream&) = delete;

    // The record handed to save callbacks; valid while the stream lives.
    const SaveState& state() const { return state_; }
    const Block& root() const { return root_; }
    // True when every begun block was ended.
    bool balanced() const { return open_.empty(); }

    // The same operations the module calls, for the host's own writers.
    void beginBlock(uint32_t id, const std::string& name, bool leaf);
    void writeInts(const int32_t* values, int32_t count);
    void endBlock();

  private:
    Block& current();
    Block root_;
    std::vector<std::size_t> open_; // child index at each open level
    SaveState state_{};
};

// Reads a block tree through the load record. Find block returns the next
// block of the current level that the table lists, skipping others, and 0 at
// the end of the enclosing block; end block leaves the found block whatever
// is left of it; a read past a block's end reads nothing and leaves the rest
// of the caller's array as it was.
class LoadStream {
  public:
    // The tree is not copied: it must outlive the stream.
    explicit LoadStream(const Block& root);
    LoadStream(Block&&) = delete; // a temporary tree would dangle
    LoadStream(const LoadStream&) = delete;
    LoadStream& operator=(const LoadStream&) = delete;

    const LoadState& state() const { return state_; }

    uint32_t findBlock(const BlockID* table);
    void endBlock();
    int32_t readInts(int32_t* values, int32_t count);
    // The block find block last entered, or null at the root.
    const Block* currentBlock() const;

  private:
    struct Level {
        const Block* block;
        std::size_t nextChild = 0;
        std::size_t nextInt = 0;
    };
    std::vector<Level> levels_;
    LoadState state_{};
};

// JSON form of a block tree: {"id": "FLAG", "name": "Flags", "leaf": true,
// "ints": [...], "blocks": [...]}. fromJson throws std::invalid_argument
// naming the place of the first fault, also for blocks nested deeper than
// kMaxBlockDepth levels (the block itself is level 1; what the module and
// the network format write stays within a handful).
inline constexpr int kMaxBlockDepth = 64;
nlohmann::json blockToJson(const Block& block);
Block blockFromJson(const nlohmann::json& json, const std::string& where);

} // namespace minihost
