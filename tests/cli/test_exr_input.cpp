// Reading EXR files into frame buffers: the sample renders, synthetic files
// for placement, overrides and views, and the files that must be refused.
#include "exr_files.h"

#include <cli/exr_input.h>
#include <cli/image_file_error.h>

#include <OpenImageIO/imageio.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>

using namespace tavi;
using exr_files::Part;
using exr_files::patternValue;
using exr_files::TempFolder;
using exr_files::writeExr;
namespace fs = std::filesystem;

namespace {

constexpr uint32_t kAllPasses = 0xFFFFEu; // need-flag bits 1 to 19

std::set<std::string> foundChannels(const ChannelMapping& mapping) {
    std::set<std::string> names;
    for (const ChannelSource& source : mapping.found)
        names.insert(source.channel->name);
    return names;
}

// The message of the ImageFileError that reading `file` throws.
std::string readFailure(const fs::path& file) {
    try {
        readExrFrame(file, 0u);
    } catch (const ImageFileError& e) {
        return e.what();
    }
    return "(no error)";
}

// One float channel of a file read directly, at an absolute pixel.
float filePixel(const fs::path& file, int subimage, const std::string& channel, int x, int y) {
    auto in = OIIO::ImageInput::open(file.string());
    in->seek_subimage(subimage, 0);
    const OIIO::ImageSpec& spec = in->spec();
    const int c = spec.channelindex(channel);
    std::vector<float> row(static_cast<std::size_t>(spec.width));
    in->read_scanlines(subimage, 0, y, y + 1, 0, c, c + 1, OIIO::TypeFloat, row.data());
    return row[static_cast<std::size_t>(x - spec.x)];
}

} // namespace

TEST(SampleRenders, EachProvidesTheChannelsItHolds) {
    const fs::path folder = exr_files::sampleFolder();
    if (folder.empty())
        GTEST_SKIP() << "no sample renders at " << TAVI_SAMPLE_EXR_DIR;
    const std::map<std::string, std::set<std::string>> expected = {
        {"layers.exr", {"Color", "Alpha", "Diffuse", "Specular"}},
        {"singlepart.0001.exr", {"Color", "Alpha", "Depth", "Motion X", "Motion Y"}},
        {"singlepart.0007.exr", {"Color", "Alpha", "Depth", "Motion X", "Motion Y"}},
        {"multipart.0001.exr", {"Color", "Alpha", "Depth", "Motion X", "Motion Y"}},
        {"multichannel.exr", {"Color", "Alpha", "Raw Color"}},
        {"karma_cpu_solaris_one_crypto.exr", {"Color", "Alpha"}},
    };
    std::set<std::string> seen;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".exr")
            continue;
        const std::string name = entry.path().filename().string();
        seen.insert(name);
        SCOPED_TRACE(name);
        ASSERT_TRUE(expected.count(name)) << "a new sample render: add what it provides";
        const ExrFrame frame = readExrFrame(entry.path(), kAllPasses);
        EXPECT_EQ(foundChannels(frame.mapping), expected.at(name));
        // Every pass asked for and not found is named in a warning.
        EXPECT_EQ(frame.warnings.size(), 17u - expected.at(name).size());
        for (const ChannelSource& source : frame.mapping.found)
            for (int c = 0; c < source.channel->components; ++c)
                EXPECT_TRUE(frame.buffers.has(source.channel->bufferCode + c));
    }
    EXPECT_EQ(seen.size(), expected.size());
}

TEST(SampleRenders, MultiViewFilesReadTheHeroViewInTheBeautysDataWindow) {
    const fs::path folder = exr_files::sampleFolder();
    if (folder.empty())
        GTEST_SKIP() << "no sample renders at " << TAVI_SAMPLE_EXR_DIR;

    const fs::path single = folder / "singlepart.0001.exr";
    const ExrFrame frame = readExrFrame(single, kAllPasses);
    EXPECT_EQ(frame.mapping.heroView, "right");
    EXPECT_EQ(frame.windows.data, (PixelWindow{654, 245, 911, 876}));
    EXPECT_EQ(frame.windows.display, (PixelWindow{0, 0, 2048, 1556}));
    EXPECT_EQ(frame.mapping.source("Motion X")->describe(), "forward.right.u");
    EXPECT_EQ(frame.mapping.source("Motion Y")->describe(), "forward.right.v");
    for (auto [x, y] : {std::pair{300, 400}, std::pair{910, 875}}) {
        EXPECT_EQ(*frame.buffers.element(12, x, y), filePixel(single, 0, "Z", 654 + x, 245 + y));
        EXPECT_EQ(*frame.buffers.element(15, x, y),
                  filePixel(single, 0, "forward.right.u", 654 + x, 245 + y));
        EXPECT_EQ(frame.buffers.output().pixel(x, y)[0],
                  filePixel(single, 0, "R", 654 + x, 245 + y));
    }

    // The same frame split in parts: depth and motion come from the right
    // view's parts, placed by absolute position.
    const fs::path multi = folder / "multipart.0001.exr";
    const ExrFrame parts = readExrFrame(multi, kAllPasses);
    EXPECT_EQ(parts.windows.data, (PixelWindow{654, 245, 877, 876}));
    EXPECT_EQ(parts.mapping.source("Depth")->exrChannels[0].part, 5);
    EXPECT_EQ(parts.mapping.source("Motion Y")->exrChannels[0].part, 6);
    EXPECT_EQ(*parts.buffers.element(12, 500, 600), filePixel(multi, 5, "Z", 1154, 845));
    EXPECT_EQ(*parts.buffers.element(12, 500, 600), *frame.buffers.element(12, 500, 600));
}

TEST(SampleRenders, ColourLayersReadAsLuminanceForScalarPasses) {
    const fs::path folder = exr_files::sampleFolder();
    if (folder.empty())
        GTEST_SKIP() << "no sample renders at " << TAVI_SAMPLE_EXR_DIR;
    // Every channel of this file is a constant: R..B 1..3, A 4, diffuse 5..7,
    // specular 8..10.
    const ExrFrame frame = readExrFrame(folder / "layers.exr", 0x4u | 0x8u);
    EXPECT_TRUE(frame.warnings.empty());
    const float* rgba = frame.buffers.output().pixel(3, 3);
    EXPECT_EQ((std::vector<float>(rgba, rgba + 4)), (std::vector<float>{1, 2, 3, 4}));
    EXPECT_FLOAT_EQ(*frame.buffers.element(2, 0, 0), 0.2126f * 5 + 0.7152f * 6 + 0.0722f * 7);
    EXPECT_FLOAT_EQ(*frame.buffers.element(3, 2, 1), 0.2126f * 8 + 0.7152f * 9 + 0.0722f * 10);
}

TEST(ExrInput, PlacesPartsByAbsolutePositionAndZeroesWhatTheyDoNotCover) {
    TempFolder folder;
    Part beauty({"R", "G", "B", "A"}, {2, 1, 4, 3}, {0, 0, 8, 6});
    beauty.type = OIIO::TypeDesc::FLOAT;
    const Part depth({"Z"}, {4, 0, 4, 4}, {0, 0, 8, 6});
    writeExr(folder / "parts.exr", {beauty, depth});

    const ExrFrame frame = readExrFrame(folder / "parts.exr", 0x1000u);
    EXPECT_EQ(frame.windows.data, (PixelWindow{2, 1, 4, 3}));
    EXPECT_EQ(frame.windows.display, (PixelWindow{0, 0, 8, 6}));
    ASSERT_EQ(frame.buffers.width(), 4);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            const int ax = 2 + x, ay = 1 + y;
            const bool covered = ax >= 4 && ay <= 3;
            EXPECT_EQ(*frame.buffers.element(12, x, y), covered ? patternValue(1, 0, ax, ay) : 0)
                << x << "," << y;
            EXPECT_EQ(frame.buffers.output().pixel(x, y)[3], patternValue(0, 3, ax, ay));
        }

    Part tiled({"B", "G", "R", "A"}, {-3, 5, 40, 20}, {0, 0, 32, 32});
    tiled.tiled = true;
    writeExr(folder / "tiled.exr", {tiled});
    const ExrFrame tiles = readExrFrame(folder / "tiled.exr", 0u);
    EXPECT_EQ(tiles.windows.data, (PixelWindow{-3, 5, 40, 20}));
    EXPECT_EQ(tiles.buffers.output().pixel(39, 19)[0], patternValue(0, 2, 36, 24));
}

TEST(ExrInput, ReadsOverridesAndFindsNamesWhateverTheirCaseOrPrefix) {
    TempFolder folder;
    Part part({"ViewLayer.Combined.R", "ViewLayer.Combined.G", "ViewLayer.Combined.B",
               "viewlayer.DEPTH.z", "custom.V"});
    writeExr(folder / "blend.exr", {part});

    const ExrFrame byDefault = readExrFrame(folder / "blend.exr", 0x1000u);
    EXPECT_EQ(*byDefault.buffers.element(12, 1, 2), patternValue(0, 3, 1, 2));
    const ExrFrame overridden =
        readExrFrame(folder / "blend.exr", 0x1000u, {parseChannelOverride("Depth=CUSTOM.v")});
    EXPECT_EQ(*overridden.buffers.element(12, 1, 2), patternValue(0, 4, 1, 2));
}

TEST(ExrInput, TakesTheHeroViewNamedInTheFile) {
    TempFolder folder;
    Part part({"R", "G", "B", "A", "other.R", "other.G", "other.B", "Z", "other.Z"});
    part.multiView = {"hero", "other"};
    writeExr(folder / "views.exr", {part});

    const ExrFrame frame = readExrFrame(folder / "views.exr", 0x1000u);
    EXPECT_EQ(frame.mapping.heroView, "hero");
    EXPECT_EQ(frame.mapping.source("Depth")->describe(), "Z");
    EXPECT_EQ(frame.buffers.output().pixel(0, 0)[0], patternValue(0, 0, 0, 0));
}

TEST(ExrInput, WarnsAboutMissingChannelsAndLeavesTheirBuffersMissing) {
    TempFolder folder;
    const fs::path file = folder / "rgb.exr";
    writeExr(file, std::vector<std::string>{"R", "G", "B"});

    const ExrFrame frame = readExrFrame(file, 0x1000u | 0x400u | 0x1C0u);
    for (int32_t code : {6, 7, 8, 10, 12})
        EXPECT_EQ(frame.buffers.row(code, 0), nullptr) << code;
    ASSERT_EQ(frame.warnings.size(), 4u);
    for (const char* channel : {"alpha", "Raw Color", "Shadow", "Depth"}) {
        const bool named = std::any_of(frame.warnings.begin(), frame.warnings.end(),
                                       [&](const std::string& warning) {
                                           return warning.find(channel) != std::string::npos &&
                                                  warning.find(file.string()) == 0;
                                       });
        EXPECT_TRUE(named) << channel;
    }
    // Without alpha the image is opaque, not transparent.
    EXPECT_EQ(frame.buffers.output().pixel(2, 2)[3], 1.0f);
}

TEST(ExrInput, RefusesFilesItCannotUseWithOneLineNamingTheFile) {
    TempFolder folder;
    std::ofstream(folder / "notes.exr") << "plain text\nover two lines\n";
    writeExr(folder / "depth-only.exr", std::vector<std::string>{"Z"});
    writeExr(folder / "whole.exr", std::vector<std::string>{"R", "G", "B", "A"});
    {
        std::ifstream whole(folder / "whole.exr", std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(whole)), {});
        std::ofstream(folder / "cut.exr", std::ios::binary)
            << bytes.substr(0, bytes.size() * 2 / 3);
        // The end of the compressed pixels overwritten.
        std::fill(bytes.end() - 60, bytes.end(), '\xA5');
        std::ofstream(folder / "garbled.exr", std::ios::binary) << bytes;
    }
    {
        auto png = OIIO::ImageOutput::create("png");
        ASSERT_TRUE(png->open((folder / "picture.exr").string(),
                              OIIO::ImageSpec(2, 2, 3, OIIO::TypeDesc::UINT8)));
        const uint8_t pixels[12] = {};
        png->write_image(OIIO::TypeDesc::UINT8, pixels);
        png->close();
    }

    const std::map<std::string, std::string> reasons = {
        {"absent.exr", "no such file"},
        {"notes.exr", "not an EXR file"},
        {"picture.exr", "not an EXR file"},
        {"depth-only.exr", "no colour"},
        {"cut.exr", ""}, // the library says why, in its own words
        {"garbled.exr", ""},
    };
    for (const auto& [name, reason] : reasons) {
        SCOPED_TRACE(name);
        const std::string message = readFailure(folder / name);
        EXPECT_EQ(message.find("cannot read '" + (folder / name).string() + "': "), 0u) << message;
        EXPECT_NE(message.find(reason), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
    EXPECT_NE(readFailure(folder.path()).find("folder"), std::string::npos);
}
