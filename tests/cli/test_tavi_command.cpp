// `tavi` end to end: the built command run on small EXR files and built-in
// renders, its output pixels checked against the input and against oiiotool,
// and every error with its exit code.
#include "exr_files.h"
#include "subprocess.h"

#include <OpenImageIO/imageio.h>
#include <nlohmann/json.hpp>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using exr_files::Part;
using exr_files::TempFolder;
using subprocess::tavi;
using testing::HasSubstr;

std::string example(const std::string& name) {
    return std::string(TAVI_SOURCE_DIR) + "/examples/" + name + ".json";
}

struct Image {
    OIIO::ImageSpec spec;
    std::vector<float> pixels; // all channels, interleaved

    // One channel's values, row by row; fails the test when it is missing.
    std::vector<float> channel(const std::string& name) const {
        const int index = spec.channelindex(name);
        EXPECT_GE(index, 0) << "no channel " << name;
        std::vector<float> values;
        if (index < 0)
            return values;
        for (std::size_t i = static_cast<std::size_t>(index); i < pixels.size();
             i += static_cast<std::size_t>(spec.nchannels))
            values.push_back(pixels[i]);
        return values;
    }
};

Image readImage(const fs::path& file) {
    Image image;
    auto in = OIIO::ImageInput::open(file.string());
    if (!in) {
        ADD_FAILURE() << "cannot open " << file << ": " << OIIO::geterror();
        return image;
    }
    image.spec = in->spec();
    image.pixels.resize(image.spec.image_pixels() * static_cast<std::size_t>(image.spec.nchannels));
    EXPECT_TRUE(
        in->read_image(0, 0, 0, image.spec.nchannels, OIIO::TypeFloat, image.pixels.data()));
    return image;
}

// Largest difference between two channels of equal length.
float largestDifference(const std::vector<float>& a, const std::vector<float>& b) {
    EXPECT_EQ(a.size(), b.size());
    float largest = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        largest = std::max(largest, std::abs(a[i] - b[i]));
    return largest;
}

// A float RGBA + Z render, 37 x 23 with its data window off the origin.
fs::path writeRgbaz(const TempFolder& folder, const std::string& name = "in.exr") {
    Part part({"R", "G", "B", "A", "Z"}, {5, 3, 37, 23}, {0, 0, 48, 32});
    part.type = OIIO::TypeDesc::FLOAT;
    exr_files::writeExr(folder / name, {part});
    return folder / name;
}

void writeText(const fs::path& file, const std::string& text) {
    std::ofstream(file) << text;
}

TEST(TaviRender, PassThroughIsBitExactWithTheInputAndKeepsItsWindows) {
    TempFolder folder;
    const fs::path input = writeRgbaz(folder);
    const auto result =
        tavi({"render", example("passthrough"), "--input", input, "-o", folder / "out.exr"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(result.out, HasSubstr("out.exr"));

    const Image in = readImage(input), out = readImage(folder / "out.exr");
    for (const char* name : {"R", "G", "B", "A"})
        EXPECT_EQ(out.channel(name), in.channel(name)) << name;
    EXPECT_EQ(out.spec.format, OIIO::TypeDesc::FLOAT);
    EXPECT_EQ(out.spec.x, 5);
    EXPECT_EQ(out.spec.y, 3);
    EXPECT_EQ(out.spec.full_width, 48);
    // No temporary file is left beside the output.
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.exr", "out.exr"}));

    // A multi-part half render with separate parts per view reads the same way.
    const fs::path sample = exr_files::sampleFolder() / "multipart.0001.exr";
    if (exr_files::sampleFolder().empty())
        GTEST_SKIP() << "sample renders not found";
    ASSERT_EQ(tavi({"render", example("passthrough"), "--input", sample, "-o",
                    folder / "multipart.exr", "-q"})
                  .exitCode,
              0);
    auto beauty = OIIO::ImageInput::open(sample.string());
    ASSERT_TRUE(beauty);
    Image expected{beauty->spec(), {}};
    expected.pixels.resize(expected.spec.image_pixels() * 4);
    beauty->read_image(0, 0, 0, 4, OIIO::TypeFloat, expected.pixels.data());
    const Image multipart = readImage(folder / "multipart.exr");
    for (const char* name : {"R", "G", "B", "A"})
        EXPECT_EQ(multipart.channel(name), expected.channel(name)) << name;
}

TEST(TaviRender, MultiplyMatchesOiiotool) {
    TempFolder folder;
    const fs::path input = writeRgbaz(folder);
    ASSERT_EQ(
        tavi({"render", example("multiply"), "--input", input, "-o", folder / "tavi.exr"}).exitCode,
        0);
    const auto reference = subprocess::run(
        {"oiiotool", input, "--mulc", "0.5", "-o", (folder / "oiiotool.exr").string()});
    ASSERT_EQ(reference.exitCode, 0) << "oiiotool (openimageio-tools) is needed: " << reference.err;
    const Image ours = readImage(folder / "tavi.exr"), theirs = readImage(folder / "oiiotool.exr");
    for (const char* name : {"R", "G", "B", "A"})
        EXPECT_LE(largestDifference(ours.channel(name), theirs.channel(name)), 1e-6f) << name;
}

TEST(TaviRender, MissingChannelsAreNamedAndPixelFiltersKeepWhatTheyWrite) {
    TempFolder folder;
    // The fog network needs Depth; this file has only colour and alpha.
    exr_files::writeExr(folder / "rgba.exr", std::vector<std::string>{"R", "G", "B", "A"});
    auto result = tavi({"render", example("fog_vignette"), "--input", folder / "rgba.exr", "-o",
                        folder / "fog.exr"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(result.err, HasSubstr("warning"));
    EXPECT_THAT(result.err, HasSubstr("Depth"));

    // A pixel filter that writes Raw Color from the colour: the EXR output
    // holds the written buffer beside RGBA.
    writeText(folder / "tint.json", R"({"tavi": 1, "pixelFilters": [{
      "type": "Tavi_NodePixelFilter",
      "network": {
        "nodes": [
          {"name": "access", "type": "Tavi_PixelFilterAccessNode"},
          {"name": "tint", "type": "color_multiply", "inputs": {"B": [1, 0.5, 0.25]}}
        ],
        "connections": [
          {"from": "access.Color", "to": "tint.A"},
          {"from": "tint.Result", "to": "Root.Raw Color"}
        ]
      }}]})");
    result = tavi({"render", folder / "tint.json", "--input", folder / "rgba.exr", "-o",
                   folder / "tint.exr"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const Image in = readImage(folder / "rgba.exr"), out = readImage(folder / "tint.exr");
    EXPECT_EQ(out.channel("R"), in.channel("R"));
    const std::vector<float> green = in.channel("G"), rawGreen = out.channel("raw_color.G");
    ASSERT_EQ(rawGreen.size(), green.size());
    for (std::size_t i = 0; i < green.size(); ++i)
        EXPECT_EQ(rawGreen[i], green[i] * 0.5f);
}

TEST(TaviRender, ErrorsGiveOneLineAndTheirExitCode) {
    TempFolder folder;
    const fs::path input = writeRgbaz(folder);
    exr_files::writeExr(folder / "depth_only.exr", std::vector<std::string>{"Z"});
    writeText(folder / "broken.json", "{\"tavi\": 1, \"imageFilters\": [");
    fs::create_directories(folder / "sub");
    writeText(folder / "file", "not a folder");
    const std::string pass = example("passthrough");
    const std::string out = (folder / "out.exr").string();
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string message;
    } cases[] = {
        {{"render", pass, "--input", folder / "missing.exr", "-o", out}, 1, "no such file"},
        {{"render", pass, "--input", folder / "broken.json", "-o", out}, 1, "not an EXR file"},
        {{"render", pass, "--input", folder / "depth_only.exr", "-o", out},
         1,
         "no colour channels"},
        {{"render", folder / "broken.json", "--input", input, "-o", out}, 1, "broken.json"},
        {{"render", folder / "nothing.json", "--input", input, "-o", out}, 1, "nothing.json"},
        {{"render", pass, "--input", input, "-o", folder / "none" / "out.exr"},
         1,
         "no such folder"},
        {{"render", pass, "--input", input, "-o", folder / "file" / "out.exr"}, 1, "cannot write"},
        {{"render", pass, "--input", input, "-o", folder / "sub"}, 2, "unknown image type"},
        {{"render", pass, "--input", input, "-o", folder / "out.bmp"}, 2, "unknown image type"},
        {{"render", pass, "--input", input, "-o", out, "--frames", "5-2"}, 2, "--frames"},
        {{"render", pass, "-o", out, "--frames", "1-3"}, 2, "'#'"},
        {{"render", pass, "--input", input, "-o", out, "--channel", "Depth"}, 2, "="},
        {{"render", pass, "--input", input, "-o", out, "--channel", "Colour=R"}, 2, "Colour"},
        {{"render", pass, "-o", out, "--size", "12"}, 2, "--size"},
        {{"render", pass, "--input", input, "-o", out, "--samples", "2"}, 2, "--samples"},
        {{"render", pass, "-o", out, "--jobs", "0"}, 2, "jobs"},
        {{"render", pass}, 2, "output"},
        {{"render", pass, "-o", out, "--no-such-option"}, 2, "no-such-option"},
        {{"frobnicate"}, 2, "frobnicate"},
        {{"render", pass, "-o", out, "--module", folder / "missing.so"}, 1, "missing.so"},
    };
    for (const Case& c : cases) {
        const auto result = tavi(c.arguments);
        std::string command;
        for (const auto& a : c.arguments)
            command += a + " ";
        EXPECT_EQ(result.exitCode, c.exitCode) << command << "\n" << result.err;
        EXPECT_THAT(result.err, HasSubstr(c.message)) << command;
        if (c.exitCode == 1) {
            EXPECT_THAT(result.err, testing::StartsWith("tavi: ")) << command;
            EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        }
    }
    // No output and no temporary file came out of any of them.
    EXPECT_EQ(folder.entries(),
              (std::vector<std::string>{"broken.json", "depth_only.exr", "file", "in.exr", "sub"}));
    EXPECT_TRUE(fs::is_empty(folder / "sub"));
}

TEST(TaviRender, HelpOnEveryCommandExitsZero) {
    for (const char* command : {"render", "demo", "panel", "servers"}) {
        const auto result = tavi({command, "--help"});
        EXPECT_EQ(result.exitCode, 0) << command;
        EXPECT_THAT(result.out, HasSubstr("Usage")) << command;
    }
    EXPECT_EQ(tavi({"--help"}).exitCode, 0);
}

TEST(TaviRender, FrameRangesExpandTheOutputPatternAndWorkersGiveTheSameFiles) {
    TempFolder folder;
    // A sequence of inputs, one per frame, each a little different.
    for (int frame = 3; frame <= 6; ++frame) {
        Part part({"R", "G", "B", "A", "Z"}, {0, 0, 24, 12}, {0, 0, 24, 12});
        part.type = OIIO::TypeDesc::FLOAT;
        exr_files::writeExr(folder / ("in." + std::to_string(frame) + ".exr"), {part});
    }
    const std::vector<std::string> common = {
        "render", example("lens_distortion"), "--input", folder / "in.#.exr", "--frames", "3-6",
        "-q"};
    auto one = common, two = common;
    one.insert(one.end(), {"-o", folder / "one.####.exr", "--jobs", "1"});
    two.insert(two.end(), {"-o", folder / "two.####.exr", "--jobs", "2"});
    const auto single = tavi(one);
    ASSERT_EQ(single.exitCode, 0) << single.err;
    const auto workers = tavi(two);
    ASSERT_EQ(workers.exitCode, 0) << workers.err;
    for (int frame = 3; frame <= 6; ++frame) {
        const std::string number = "000" + std::to_string(frame);
        const Image a = readImage(folder / ("one." + number + ".exr"));
        const Image b = readImage(folder / ("two." + number + ".exr"));
        EXPECT_EQ(a.pixels, b.pixels) << frame;
        EXPECT_FALSE(a.pixels.empty());
    }
    EXPECT_FALSE(fs::exists(folder / "one.0002.exr"));
    EXPECT_FALSE(fs::exists(folder / "one.0007.exr"));

    // A worker's failure is reported by its frames, and the command fails.
    fs::remove(folder / "in.5.exr");
    const auto failing = tavi(two);
    EXPECT_EQ(failing.exitCode, 1);
    EXPECT_THAT(failing.err, HasSubstr("frames 5-6 failed"));
    EXPECT_THAT(failing.err, HasSubstr("in.5.exr"));
}

TEST(TaviRender, BuiltInRendererFramesAndSizes) {
    TempFolder folder;
    const auto result = tavi({"render", example("toon_pixel"), "-o", folder / "toon.###.png",
                              "--frames", "9-10", "--size", "32x16", "--samples", "1"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(result.out, HasSubstr("frame 10: "));
    const Image frame = readImage(folder / "toon.009.png");
    EXPECT_EQ(frame.spec.width, 32);
    EXPECT_EQ(frame.spec.height, 16);
    EXPECT_EQ(frame.spec.nchannels, 4);
    EXPECT_TRUE(fs::exists(folder / "toon.010.png"));
}

TEST(TaviRender, CtrlCAbortsThePassKeepsNothingHalfDoneAndFails) {
    TempFolder folder;
    // Large enough that the lens distortion pass runs for seconds.
    subprocess::Child render(
        subprocess::taviCommand({"render", example("lens_distortion"), "-o", folder / "out.exr",
                                 "--size", "2400x1600", "--samples", "1"}));
    // Once tavi listens for Ctrl-C, and a little later, while it renders.
    for (int wait = 0; wait < 500 && !render.catches(SIGINT); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(render.catches(SIGINT));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    render.signal(SIGINT);
    const auto result = render.wait();
    EXPECT_EQ(result.exitCode, 130) << result.err;
    EXPECT_THAT(result.err, HasSubstr("interrupted"));
    EXPECT_THAT(result.err, HasSubstr("nothing was written"));
    EXPECT_TRUE(folder.entries().empty());
}

TEST(TaviRender, CtrlCReachesTheWorkersAndTheCommandFails) {
    TempFolder folder;
    subprocess::Child render(subprocess::taviCommand(
        {"render", example("lens_distortion"), "-o", folder / "out.#.exr", "--size", "2000x1400",
         "--samples", "1", "--frames", "1-2", "--jobs", "2"}));
    for (int wait = 0; wait < 500 && !render.catches(SIGINT); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    render.signal(SIGINT);
    const auto result = render.wait();
    EXPECT_EQ(result.exitCode, 130) << result.err;
    EXPECT_THAT(result.err, HasSubstr("frame 1 failed (interrupted)"));
    EXPECT_THAT(result.err, HasSubstr("frame 2 failed (interrupted)"));
    EXPECT_THAT(result.err, HasSubstr("interrupted"));
    EXPECT_TRUE(folder.entries().empty());
}

TEST(TaviDemo, WritesBeautyAndEveryExampleAndTheNetworksChangeTheImage) {
    TempFolder folder;
    const auto result = tavi({"demo", "-o", folder / "demo", "--size", "48x27", "--samples", "1"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    for (const char* step : {"rendered the built-in scene", "fog", "lens distortion", "toon"})
        EXPECT_THAT(result.out, HasSubstr(step));
    const fs::path demo = folder / "demo";
    for (const char* name : {"beauty", "fog_vignette", "lens_distortion", "toon_pixel"})
        for (const char* extension : {".png", ".exr"})
            EXPECT_TRUE(fs::exists(demo / (std::string(name) + extension))) << name << extension;

    // The PNGs are for looking at: opaque, so the sky does not vanish.
    EXPECT_EQ(readImage(demo / "beauty.png").spec.nchannels, 3);
    const Image beauty = readImage(demo / "beauty.exr");
    // The beauty keeps the passes the examples read, so it can feed them again.
    EXPECT_GE(beauty.spec.channelindex("depth.Z"), 0);
    EXPECT_GE(beauty.spec.channelindex("raw_color.R"), 0);
    for (const char* name : {"fog_vignette", "lens_distortion", "toon_pixel"}) {
        const Image filtered = readImage(demo / (std::string(name) + ".exr"));
        EXPECT_GT(largestDifference(filtered.channel("R"), beauty.channel("R")), 0.01f) << name;
        // Alpha is not part of any network: it passes through.
        EXPECT_EQ(filtered.channel("A"), beauty.channel("A")) << name;
    }
    // The demo's beauty runs through an example scene as an input render.
    const auto again = tavi({"render", example("fog_vignette"), "--input", demo / "beauty.exr",
                             "-o", folder / "fog.exr"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_THAT(again.err, testing::Not(HasSubstr("warning")));
}

TEST(TaviPanel, ListsTargetsShowsAndSetsValuesAndSavesTheScene) {
    TempFolder folder;
    auto result = tavi({"panel", example("toon_pixel")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(result.out, HasSubstr("1/sample"));
    EXPECT_THAT(result.out, HasSubstr("Tavi_PixelFilterAccessNode"));

    result = tavi({"panel", example("toon_pixel"), "sample"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(result.out, testing::ContainsRegex("Raw Color +on"));
    EXPECT_THAT(result.out, testing::ContainsRegex("Shadow +off"));

    result = tavi({"panel", example("toon_pixel"), "1", "--set", "Evaluate every pixel=off", "-o",
                   folder / "saved.json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(result.out, testing::ContainsRegex("Evaluate every pixel +off"));
    std::ifstream saved(folder / "saved.json");
    const auto json = nlohmann::json::parse(saved);
    EXPECT_EQ(json["pixelFilters"][0]["settings"]["Evaluate every pixel"], false);

    EXPECT_EQ(tavi({"panel", example("toon_pixel"), "nobody"}).exitCode, 2);
    EXPECT_EQ(
        tavi({"panel", example("toon_pixel"), "1", "--set", "Evaluate every pixel=maybe"}).exitCode,
        2);
    EXPECT_EQ(tavi({"panel", example("toon_pixel"), "1", "--set", "Nothing=1"}).exitCode, 2);
}

} // namespace
