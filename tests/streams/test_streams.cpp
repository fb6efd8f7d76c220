// Block streams: what save writes, load reads back through the same records
// the module's callbacks receive.
#include <minihost/streams.h>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

namespace {

using minihost::Block;
using minihost::LoadStream;
using minihost::SaveStream;

const BlockID kFlag{blockIdOf('F', 'L', 'A', 'G'), "Flags"};
const BlockID kNode{blockIdOf('N', 'O', 'D', 'E'), "Nodes"};
const BlockID kOther{blockIdOf('O', 'T', 'H', 'R'), "Other"};
const BlockID kFlagTable[] = {kFlag, {0, nullptr}};
const BlockID kBothTable[] = {kFlag, kNode, {0, nullptr}};

// Writes: OTHR{1,2} FLAG{7,8,9} NODE{ FLAG{5} OTHR{} } through the C record.
Block sampleTree() {
    SaveStream save;
    const SaveState& s = save.state();
    const int32_t a[] = {1, 2}, b[] = {7, 8, 9}, c[] = {5};
    s.beginBlock(s.writeData, &kOther, 1);
    s.writeInts(s.writeData, a, 2);
    s.endBlock(s.writeData);
    s.beginBlock(s.writeData, &kFlag, 1);
    s.writeInts(s.writeData, b, 3);
    s.endBlock(s.writeData);
    s.beginBlock(s.writeData, &kNode, 0);
    s.beginBlock(s.writeData, &kFlag, 1);
    s.writeInts(s.writeData, c, 1);
    s.endBlock(s.writeData);
    s.beginBlock(s.writeData, &kOther, 1);
    s.endBlock(s.writeData);
    s.endBlock(s.writeData);
    EXPECT_TRUE(save.balanced());
    return save.root();
}

TEST(Streams, FindBlockSkipsUnlistedBlocksAndStopsAtTheEndOfTheLevel) {
    const Block tree = sampleTree();
    LoadStream load(tree);
    const LoadState& l = load.state();

    ASSERT_EQ(l.findBlock(l.readData, kBothTable), kFlag.id); // OTHR skipped
    int32_t values[4] = {-1, -1, -1, -1};
    EXPECT_EQ(l.readInts(l.readData, values, 2), 2);
    l.endBlock(l.readData); // skips the unread 9
    ASSERT_EQ(l.findBlock(l.readData, kBothTable), kNode.id);
    // Inside NODE: its FLAG is found, then the level ends (OTHR is not listed).
    ASSERT_EQ(l.findBlock(l.readData, kFlagTable), kFlag.id);
    EXPECT_EQ(l.readInts(l.readData, values + 2, 1), 1);
    l.endBlock(l.readData);
    EXPECT_EQ(l.findBlock(l.readData, kFlagTable), 0u);
    l.endBlock(l.readData);
    EXPECT_EQ(l.findBlock(l.readData, kBothTable), 0u);
    EXPECT_EQ(values[0], 7);
    EXPECT_EQ(values[1], 8);
    EXPECT_EQ(values[2], 5);
    EXPECT_EQ(values[3], -1);
}

TEST(Streams, ReadPastTheEndOfABlockLeavesTheRestOfTheArray) {
    const Block tree = sampleTree();
    LoadStream load(tree);
    const LoadState& l = load.state();
    ASSERT_EQ(l.findBlock(l.readData, kFlagTable), kFlag.id);
    int32_t values[19];
    for (int i = 0; i < 19; ++i)
        values[i] = 100 + i;
    EXPECT_EQ(l.readInts(l.readData, values, 19), 3);
    EXPECT_EQ(values[2], 9);
    EXPECT_EQ(values[3], 103);
    EXPECT_EQ(values[18], 118);
    EXPECT_EQ(l.readInts(l.readData, values, 19), 0); // nothing left
    EXPECT_EQ(values[0], 7);
}

TEST(Streams, UnbalancedCallsNeverCorruptTheTree) {
    SaveStream save;
    save.endBlock(); // an end with nothing open is ignored
    save.beginBlock(kFlag.id, "Flags", true);
    EXPECT_FALSE(save.balanced());
    save.endBlock();
    EXPECT_TRUE(save.balanced());

    LoadStream load(save.root());
    load.endBlock(); // at the root: nothing to leave
    EXPECT_EQ(load.findBlock(kFlagTable), kFlag.id);
    EXPECT_EQ(load.findBlock(nullptr), 0u);
}

TEST(Streams, JsonRoundTripAndRefusals) {
    const Block tree = sampleTree();
    const nlohmann::json json = minihost::blockToJson(tree.children[2]);
    EXPECT_EQ(json["id"], "NODE");
    EXPECT_EQ(json["blocks"][0]["ints"], nlohmann::json::array({5}));
    EXPECT_EQ(minihost::blockFromJson(json, "x"), tree.children[2]);
    EXPECT_EQ(minihost::blockIdText(0x01020304u), "0x01020304");
    EXPECT_EQ(minihost::blockIdFromText("0x01020304"), 0x01020304u);

    const char* bad[][2] = {
        {R"({"id": "FLAGS"})", "neither four characters"},
        {R"({"id": "FLAG", "ints": [1, 4294967296]})", "32-bit integers"},
        {R"({"id": "FLAG", "ints": [1.5]})", "32-bit integers"},
        {R"({"id": "FLAG", "leaf": 1})", "true or false"},
        {R"({"id": "FLAG", "colour": 1})", "unknown key \"colour\""},
        {R"({"id": "FLAG", "blocks": [{"name": "x"}]})", "here.blocks[0]: \"id\""},
        {R"([1, 2])", "must be an object"},
    };
    for (const auto& [text, reason] : bad) {
        try {
            minihost::blockFromJson(nlohmann::json::parse(text), "here");
            ADD_FAILURE() << text << " was accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
        }
    }
}

// Reading JSON blocks recurses per level, so nesting is bounded: a file
// nesting blocks a hundred thousand deep is refused, not a stack overflow.
TEST(Streams, JsonBlocksNestedBeyondTheBoundAreRefused) {
    auto nested = [](int levels) {
        nlohmann::json json = {{"id", "FLAG"}, {"ints", {levels}}};
        for (int i = 1; i < levels; ++i)
            json = {{"id", "DATA"}, {"blocks", nlohmann::json::array({std::move(json)})}};
        return json;
    };
    Block deepest = minihost::blockFromJson(nested(minihost::kMaxBlockDepth), "here");
    int depth = 1;
    for (const Block* b = &deepest; !b->children.empty(); b = &b->children[0])
        ++depth;
    EXPECT_EQ(depth, minihost::kMaxBlockDepth);

    for (int levels : {minihost::kMaxBlockDepth + 1, 100000}) {
        try {
            minihost::blockFromJson(nested(levels), "here");
            ADD_FAILURE() << levels << " levels were accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find("blocks nest deeper than 64 levels"),
                      std::string::npos)
                << e.what();
        }
    }
}

} // namespace
