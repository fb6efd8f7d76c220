// Scene files: a scene survives a save and a load unchanged, settings reach
// the module through its own panels, and every kind of bad file is refused
// with its place named and nothing of it kept.
#include "module_file.h"

#include <minihost/host.h>
#include <minihost/nodes/node_editor.h>
#include <minihost/panels.h>
#include <minihost/ring.h>
#include <minihost/scenefile/scene_document.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace minihost;
using nlohmann::json;
using testing::HasSubstr;

const char* kScene = R"({
  "tavi": 1,
  "frame": {"width": 64, "height": 32, "frame": 3, "fps": 25, "samples": 2},
  "camera": {"position": [0, 2, 7]},
  "channels": {"Depth": "depth.V"},
  "pixelFilters": [{
    "type": "Tavi_NodePixelFilter",
    "settings": {"Evaluate every pixel": false, "BeforeVol": 1},
    "network": {
      "nodes": [
        {"name": "access", "type": "Tavi_PixelFilterAccessNode", "settings": {"Depth": true}},
        {"name": "tint", "type": "color_multiply", "inputs": {"B": [1, 0.5, 0.25]}},
        {"name": "fade", "type": "ramp", "keys": [[0, [1, 1, 1]], [20, [0, 0, 0]]]}
      ],
      "connections": [
        {"from": "access.Raw Color", "to": "tint.A"},
        {"from": "access.Depth", "to": "fade.Position"},
        {"from": "tint.Result", "to": "Root.Raw Color"}
      ]
    }
  }]
})";

class SceneFile : public testing::Test {
  protected:
    SceneFile() { host.loadModule(testing_paths::moduleFile()); }
    SceneDocument parse(const std::string& text) {
        return sceneFromJson(json::parse(text), "s.json");
    }
    std::string refusal(const std::string& text) {
        try {
            parse(text);
        } catch (const SceneError& e) {
            return e.what();
        }
        return "(accepted)";
    }
    Host host;
};

TEST_F(SceneFile, SaveAndLoadGiveTheSameSceneAndSettingsGoThroughTheModule) {
    const SceneDocument scene = parse(kScene);
    EXPECT_EQ(scene.frame.width, 64);
    EXPECT_EQ(scene.frame.samplesPerPixel, 2);
    EXPECT_EQ(scene.channelOverrides.at("Depth"), "depth.V");
    ASSERT_EQ(scene.pixelFilters.size(), 1u);

    // The settings arrived through the filter's root panel and the node's panel.
    Network& network = networkOf(scene.pixelFilters[0]->get());
    Panel* root = network.editor().rootPanel();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->get(0x8001), 0);
    EXPECT_EQ(root->get(0x8002), 1);
    Panel* access = network.getModule("access").panel();
    ASSERT_NE(access, nullptr);
    EXPECT_EQ(access->get(access->controlNamed("Depth")->id), 1);
    EXPECT_EQ(access->get(access->controlNamed("Shadow")->id), 0);
    // The network asks for raw colour (connected) and depth (the node's toggle).
    EXPECT_EQ(scene.pixelFilters[0]->flags() & 0x11C0u, 0x11C0u);

    const json saved = sceneToJson(scene);
    EXPECT_EQ(saved["pixelFilters"][0]["settings"]["Evaluate before volumetric"], true);
    const SceneDocument again = sceneFromJson(saved, "saved.json");
    EXPECT_EQ(sceneToJson(again), saved);
}

TEST_F(SceneFile, FilesAreWrittenWholeAndReadBack) {
    const auto dir = std::filesystem::temp_directory_path() / "tavi-scenefile-test";
    std::filesystem::create_directories(dir);
    const SceneDocument scene = parse(kScene);
    saveScene(scene, dir / "scene.json");
    EXPECT_FALSE(std::filesystem::exists(dir / "scene.json.tmp"));
    const SceneDocument loaded = loadScene(dir / "scene.json");
    EXPECT_EQ(sceneToJson(loaded), sceneToJson(scene));
    EXPECT_THROW(saveScene(scene, dir / "missing-folder" / "scene.json"), SceneError);
    std::filesystem::remove_all(dir);
}

TEST_F(SceneFile, BadFilesAreRefusedWithTheirPlaceAndNothingIsKept) {
    const std::string filter = R"({"pixelFilters": [{"type": "Tavi_NodePixelFilter", )";
    struct Case {
        std::string text;
        std::string expected;
    } cases[] = {
        {R"({"frame": {"width": 0}})", "s.json: frame.width: must be from 1"},
        {R"({"frame": {"widht": 5}})", "frame: unknown key \"widht\""},
        {R"({"tavi": 2})", "tavi: this is format version 2"},
        {R"({"pixelFilters": [{"type": "NoSuchFilter"}]})",
         "pixelFilters[0].type: the module offers no PixelFilterHandler \"NoSuchFilter\""},
        {filter + R"("network": {"nodes": [{"type": "no_such_node"}]}}]})",
         "pixelFilters[0].network.nodes[0].type: unknown node type \"no_such_node\""},
        {filter + R"("network": {"connections": [{"from": "ghost.Out", "to": "Root.Color"}]}}]})",
         "pixelFilters[0].network.connections[0]:"},
        {filter + R"("network": {"connections": [{"from": "RootColor", "to": "Root.Color"}]}}]})",
         "connections[0].from: \"RootColor\" must be \"node.port\""},
        {filter +
             R"("network": {"nodes": [{"name": "m", "type": "color_multiply", "inputs": {"B": 2}}]}}]})",
         "nodes[0].inputs.B: must be an array of three numbers"},
        {filter +
             R"("network": {"nodes": [{"name": "m", "type": "multiply", "inputs": {"Q": 2}}]}}]})",
         "node \"m\" has no input \"Q\""},
        {filter + R"("settings": {"Evaluate every pixel": "yes"}}]})",
         "settings.Evaluate every pixel: must be true, false or a whole number"},
        {filter + R"("settings": {"Colour": 1}}]})", "unknown setting \"Colour\""},
        {filter + R"("network": {"nodes": [{"name": "a.b", "type": "add"}]}}]})",
         "is not a valid node name"},
    };
    for (const auto& c : cases) {
        EXPECT_THAT(refusal(c.text), HasSubstr(c.expected)) << c.text;
        // Nothing of the refused scene lives on: no editors, no ring attachments.
        EXPECT_EQ(host.nodeEditors().live(), 0u);
        EXPECT_EQ(host.ring().attachments("Tavi_NodePixelFilter"), 0u);
    }
}

TEST_F(SceneFile, UnreadableAndMalformedFilesNameTheFileAndLine) {
    const auto dir = std::filesystem::temp_directory_path() / "tavi-scenefile-bad";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "truncated.json") << "{\n  \"frame\": {\"width\": 64,\n";
    std::ofstream(dir / "garbage.json") << "{\n  \"frame\" 64\n}\n";
    auto message = [](const std::filesystem::path& file) -> std::string {
        try {
            loadScene(file);
        } catch (const SceneError& e) {
            return e.what();
        }
        return "(accepted)";
    };
    EXPECT_THAT(message(dir / "truncated.json"), HasSubstr("truncated.json: line 3"));
    EXPECT_THAT(message(dir / "garbage.json"), HasSubstr("garbage.json: line 2, column "));
    EXPECT_THAT(message(dir / "nowhere.json"), HasSubstr("nowhere.json: cannot open"));
    std::filesystem::remove_all(dir);
}

} // namespace

namespace {

// The example scenes shipped for users load, and save back to what they hold.
TEST(ExampleScenes, EveryExampleLoadsAndRoundTrips) {
    minihost::Host host;
    host.loadModule(testing_paths::moduleFile());
    int count = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(TAVI_SOURCE_DIR) / "examples")) {
        if (entry.path().extension() != ".json")
            continue;
        SCOPED_TRACE(entry.path().string());
        const minihost::SceneDocument scene = minihost::loadScene(entry.path());
        EXPECT_FALSE(scene.pixelFilters.empty() && scene.imageFilters.empty());
        const auto saved = minihost::sceneToJson(scene);
        EXPECT_EQ(minihost::sceneToJson(minihost::sceneFromJson(saved, "again")), saved);
        ++count;
    }
    EXPECT_GE(count, 5);
}

} // namespace
