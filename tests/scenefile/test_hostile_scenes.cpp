// Scene files nobody would write by hand: nesting a hundred thousand deep,
// bytes that are not text, numbers out of every range. Each ends in one
// SceneError naming the place, and nothing of the scene stays alive.
#include "module_file.h"

#include <minihost/host.h>
#include <minihost/nodes/node_editor.h>
#include <minihost/ring.h>
#include <minihost/scenefile/scene_document.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using testing::HasSubstr;

class HostileScenes : public testing::Test {
  protected:
    HostileScenes() { host.loadModule(testing_paths::moduleFile()); }

    std::string refusal(const std::string& text) {
        try {
            minihost::sceneFromText(text, "hostile.json");
        } catch (const minihost::SceneError& e) {
            EXPECT_EQ(host.nodeEditors().live(), 0u);
            EXPECT_EQ(host.ring().attachments("Tavi_NodeImageFilter"), 0u);
            return e.what();
        }
        return "(accepted)";
    }

    static std::string repeat(const std::string& text, int times) {
        std::string out;
        for (int i = 0; i < times; ++i)
            out += text;
        return out;
    }

    minihost::Host host;
};

const std::string kNodeWithBlocks =
    R"({"imageFilters": [{"type": "Tavi_NodeImageFilter", "network": {"nodes": [)"
    R"({"name": "a", "type": "Tavi_ImageFilterAccessNode", "blocks": [BLOCKS]}]}}]})";

std::string withBlocks(const std::string& blocks) {
    std::string text = kNodeWithBlocks;
    return text.replace(text.find("BLOCKS"), 6, blocks);
}

TEST_F(HostileScenes, DeepNestingIsRefusedWithoutExhaustingTheStack) {
    const int deep = 100000;
    const std::string blocks =
        repeat(R"({"id": "DATA", "blocks": [)", deep) + R"({"id": "FLAG"})" + repeat("]}", deep);
    EXPECT_THAT(refusal(withBlocks(blocks)),
                HasSubstr("imageFilters[0].network.nodes[0].blocks[0]: "
                          "block.blocks[0].blocks[0]"));
    EXPECT_THAT(refusal(withBlocks(blocks)), HasSubstr("nest deeper than 64 levels"));
    // Plain JSON nesting where a value belongs.
    EXPECT_THAT(refusal(R"({"frame": {"width": )" + repeat("[", deep) + repeat("]", deep) + "}}"),
                HasSubstr("hostile.json: frame.width: "));
    EXPECT_THAT(refusal(repeat("[", deep)), HasSubstr("hostile.json: line 1, column "));
}

TEST_F(HostileScenes, BytesAndNumbersOutsideEveryRangeAreRefused) {
    const std::string filter = R"({"pixelFilters": [{"type": "Tavi_NodePixelFilter", )";
    struct Case {
        std::string text;
        std::string expected;
    } cases[] = {
        {std::string("{\"frame\": {\"width\": 1\0}}", 24), "not valid JSON"},
        {"{\"camera\": {\"position\": [\"\xff\xfe\", 0, 0]}}", "not valid JSON"},
        {R"({"frame": {"width": 1e308}})", "frame.width"},
        {R"({"frame": {"width": -99999999999999999999}})", "frame.width"},
        {R"({"frame": {"samples": 4294967297}})", "frame.samples"},
        {R"({"frame": {"fps": -0.0}})", "frame.fps: must be above 0"},
        {R"({"camera": {"position": [1e400, 0, 0]}})",
         "hostile.json: not valid JSON: number overflow parsing '1e400'"},
        {filter + R"("settings": {"EveryPix": 4294967296}}]})", "settings.EveryPix"},
        {filter + R"("blocks": [{"id": "PFLG", "ints": [1, 2147483648]}]}]})", "32-bit integers"},
        {filter + R"("network": {"nodes": [{"name": ")" + std::string(100000, 'n') +
             R"(", "type": "add"}], "connections": [{"from": ".", "to": "."}]}}]})",
         "connections[0].from"},
        {"", "hostile.json: line 1, column 1: not valid JSON"},
    };
    for (const auto& c : cases)
        EXPECT_THAT(refusal(c.text), HasSubstr(c.expected)) << c.text.substr(0, 200);
}

} // namespace
