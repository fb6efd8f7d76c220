#include "streams.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <cstdio>
#include <limits>
#include <stdexcept>

namespace minihost {

namespace {

// Table rows are read up to this many; a longer table is taken as broken.
constexpr int kMaxTableRows = 4096;

SaveStream* saveStreamOf(void* data) {
    return static_cast<SaveStream*>(data);
}
LoadStream* loadStreamOf(void* data) {
    return static_cast<LoadStream*>(data);
}

// Save record functions: called by save callbacks with the record's data word.
void saveBegin(void* data, const BlockID* row, int32_t leaf) {
    if (!data || !row)
        return;
    try {
        saveStreamOf(data)->beginBlock(row->id, row->name ? row->name : "", leaf != 0);
    } catch (...) {
    }
}

void saveInts(void* data, const int32_t* values, int32_t count) {
    if (!data || !values || count <= 0)
        return;
    try {
        saveStreamOf(data)->writeInts(values, count);
    } catch (...) {
    }
}

void saveEnd(void* data) {
    if (data)
        saveStreamOf(data)->endBlock();
}

// Load record functions.
uint32_t loadFind(void* data, const BlockID* table) {
    return data ? loadStreamOf(data)->findBlock(table) : 0;
}

void loadEnd(void* data) {
    if (data)
        loadStreamOf(data)->endBlock();
}

int32_t loadInts(void* data, int32_t* values, int32_t count) {
    return data ? loadStreamOf(data)->readInts(values, count) : 0;
}

} // namespace

std::string blockIdText(uint32_t id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>(id >> shift);
        if (!std::isprint(c) || c == ' ')
            break;
        text.push_back(static_cast<char>(c));
    }
    if (text.size() == 4)
        return text;
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(id));
    return hex;
}

uint32_t blockIdFromText(const std::string& text) {
    if (text.size() == 4) {
        for (char c : text)
            if (!std::isprint(static_cast<unsigned char>(c)) || c == ' ')
                throw std::invalid_argument("block ID \"" + text + "\" is not four characters");
        return blockIdOf(text[0], text[1], text[2], text[3]);
    }
    if (text.size() == 10 && text.rfind("0x", 0) == 0) {
        std::size_t used = 0;
        const unsigned long value = std::stoul(text.substr(2), &used, 16);
        if (used == 8)
            return static_cast<uint32_t>(value);
    }
    throw std::invalid_argument("block ID \"" + text +
                                "\" is neither four characters nor 0x followed by 8 hex digits");
}

SaveStream::SaveStream() {
    state_.writeData = this;
    state_.writeInts = saveInts;
    state_.beginBlock = saveBegin;
    state_.endBlock = saveEnd;
}

Block& SaveStream::current() {
    Block* block = &root_;
    for (std::size_t index : open_)
        block = &block->children[index];
    return *block;
}

void SaveStream::beginBlock(uint32_t id, const std::string& name, bool leaf) {
    Block& parent = current();
    parent.children.push_back(Block{id, name, leaf, {}, {}});
    open_.push_back(parent.children.size() - 1);
}

void SaveStream::writeInts(const int32_t* values, int32_t count) {
    Block& block = current();
    block.ints.insert(block.ints.end(), values, values + count);
}

void SaveStream::endBlock() {
    // An unmatched end at the root is ignored rather than corrupting the tree.
    if (!open_.empty())
        open_.pop_back();
}

LoadStream::LoadStream(const Block& root) {
    levels_.push_back({&root});
    state_.readData = this;
    state_.readInts = loadInts;
    state_.findBlock = loadFind;
    state_.endBlock = loadEnd;
}

uint32_t LoadStream::findBlock(const BlockID* table) {
    Level& level = levels_.back();
    const auto& children = level.block->children;
    while (level.nextChild < children.size()) {
        const Block& child = children[level.nextChild++];
        for (int i = 0; table && i < kMaxTableRows && table[i].id; ++i)
            if (table[i].id == child.id) {
                levels_.push_back({&child});
                return child.id;
            }
    }
    return 0;
}

void LoadStream::endBlock() {
    // Ending at the root level has no block to leave.
    if (levels_.size() > 1)
        levels_.pop_back();
}

int32_t LoadStream::readInts(int32_t* values, int32_t count) {
    if (!values || count <= 0)
        return 0;
    Level& level = levels_.back();
    const auto& ints = level.block->ints;
    const std::size_t available = ints.size() - level.nextInt;
    const std::size_t n = std::min<std::size_t>(available, static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < n; ++i)
        values[i] = ints[level.nextInt + i];
    level.nextInt += n;
    return static_cast<int32_t>(n);
}

const Block* LoadStream::currentBlock() const {
    return levels_.size() > 1 ? levels_.back().block : nullptr;
}

nlohmann::json blockToJson(const Block& block) {
    nlohmann::json json = {
        {"id", blockIdText(block.id)}, {"name", block.name}, {"leaf", block.leaf}};
    if (!block.ints.empty())
        json["ints"] = block.ints;
    if (!block.children.empty()) {
        auto& blocks = json["blocks"] = nlohmann::json::array();
        for (const Block& child : block.children)
            blocks.push_back(blockToJson(child));
    }
    return json;
}

namespace {

// Reads one block and, one level deeper each, its nested blocks.
Block blockFromJsonAt(const nlohmann::json& json, const std::string& where, int depth) {
    auto fault = [&](const std::string& what) { throw std::invalid_argument(where + ": " + what); };
    if (!json.is_object())
        fault("a block must be an object");
    // Reading recurses once per level: a bound keeps a hostile file from
    // exhausting the stack.
    if (depth > kMaxBlockDepth)
        fault("blocks nest deeper than " + std::to_string(kMaxBlockDepth) + " levels");
    for (const auto& [key, value] : json.items())
        if (key != "id" && key != "name" && key != "leaf" && key != "ints" && key != "blocks")
            fault("unknown key \"" + key + "\"");
    Block block;
    if (!json.contains("id") || !json["id"].is_string())
        fault("\"id\" must be a text such as \"FLAG\"");
    try {
        block.id = blockIdFromText(json["id"].get<std::string>());
    } catch (const std::exception& e) {
        fault(e.what());
    }
    if (json.contains("name")) {
        if (!json["name"].is_string())
            fault("\"name\" must be a text");
        block.name = json["name"].get<std::string>();
    }
    if (json.contains("leaf")) {
        if (!json["leaf"].is_boolean())
            fault("\"leaf\" must be true or false");
        block.leaf = json["leaf"].get<bool>();
    }
    if (json.contains("ints")) {
        if (!json["ints"].is_array())
            fault("\"ints\" must be an array of integers");
        for (const auto& v : json["ints"]) {
            if (!v.is_number_integer() || v.get<int64_t>() < std::numeric_limits<int32_t>::min() ||
                v.get<int64_t>() > std::numeric_limits<int32_t>::max())
                fault("\"ints\" must hold 32-bit integers");
            block.ints.push_back(static_cast<int32_t>(v.get<int64_t>()));
        }
    }
    if (json.contains("blocks")) {
        if (!json["blocks"].is_array())
            fault("\"blocks\" must be an array");
        std::size_t i = 0;
        for (const auto& child : json["blocks"])
            block.children.push_back(
                blockFromJsonAt(child, where + ".blocks[" + std::to_string(i++) + "]", depth + 1));
    }
    return block;
}

} // namespace

Block blockFromJson(const nlohmann::json& json, const std::string& where) {
    return blockFromJsonAt(json, where, 1);
}

} // namespace minihost
