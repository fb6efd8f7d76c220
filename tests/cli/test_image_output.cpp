// Writing output images: EXR float round trips, display bytes for PNG, JPEG
// and TIFF, and that a failed write leaves no file under the final name.
#include "exr_files.h"

#include <cli/exr_input.h>
#include <cli/image_file_error.h>
#include <cli/image_output.h>
#include <cli/render_channels.h>
#include <cli/replace_file.h>

#include <OpenImageIO/imageio.h>

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <fstream>
#include <limits>

using namespace tavi;
using exr_files::TempFolder;
namespace fs = std::filesystem;

namespace {

// A 5 x 3 frame with every render buffer; values differ per buffer and
// pixel and include ones that any conversion would change.
minihost::FrameBuffers fullFrame() {
    minihost::BufferCodeSet codes;
    for (const BufferChannel& channel : renderChannels())
        for (int c = 0; c < channel.components; ++c)
            codes.set(static_cast<std::size_t>(channel.bufferCode + c));
    minihost::FrameBuffers frame(5, 3, codes);
    for (int32_t code = 0; code < minihost::kBufferCodeCount; ++code)
        for (int32_t y = 0; y < 3; ++y)
            if (float* row = frame.row(code, y))
                for (int32_t x = 0; x < 5; ++x)
                    row[x] = static_cast<float>(code) + 0.1f * x - 0.37f * y;
    *frame.element(32, 0, 0) = 1e-40f; // subnormal
    *frame.element(33, 0, 0) = -0.0f;
    *frame.element(34, 0, 0) = std::numeric_limits<float>::infinity();
    *frame.element(35, 0, 0) = 3.0e38f;
    frame.resetOutput();
    return frame;
}

std::vector<float> readFloats(const fs::path& file, OIIO::ImageSpec& spec) {
    auto in = OIIO::ImageInput::open(file.string());
    EXPECT_TRUE(in);
    spec = in->spec();
    std::vector<float> pixels(spec.image_pixels() * static_cast<std::size_t>(spec.nchannels));
    in->read_image(0, 0, 0, spec.nchannels, OIIO::TypeFloat, pixels.data());
    return pixels;
}

// The bytes as stored: the reader is told not to multiply colour by alpha.
std::vector<uint8_t> readBytes(const fs::path& file, OIIO::ImageSpec& spec) {
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto in = OIIO::ImageInput::open(file.string(), &config);
    EXPECT_TRUE(in);
    spec = in->spec();
    std::vector<uint8_t> pixels(spec.image_pixels() * static_cast<std::size_t>(spec.nchannels));
    in->read_image(0, 0, 0, spec.nchannels, OIIO::TypeUInt8, pixels.data());
    return pixels;
}

std::string fileText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

} // namespace

TEST(ExrOutput, KeepsEveryFloatBitTheWindowsAndTheExtraChannels) {
    TempFolder folder;
    const minihost::FrameBuffers frame = fullFrame();
    ImageWriteOptions options;
    options.windows = FrameWindows{{-2, 7, 5, 3}, {0, 0, 4, 8}};
    options.extraChannels = {
        {findRenderChannel("Depth"), {}},
        {findRenderChannel("Raw Color"), {"albedo.R", "albedo.G", "albedo.B"}}};
    EXPECT_TRUE(writeImage(folder / "out.exr", frame, options).empty());

    OIIO::ImageSpec spec;
    const std::vector<float> pixels = readFloats(folder / "out.exr", spec);
    EXPECT_EQ(spec.format, OIIO::TypeDesc::FLOAT);
    EXPECT_EQ((FrameWindows{{spec.x, spec.y, spec.width, spec.height},
                            {spec.full_x, spec.full_y, spec.full_width, spec.full_height}}),
              *options.windows);
    ASSERT_EQ(spec.nchannels, 8);
    const std::pair<const char*, int32_t> channels[] = {
        {"R", 32},       {"G", 33},       {"B", 34},       {"A", 35},
        {"depth.Z", 12}, {"albedo.R", 6}, {"albedo.G", 7}, {"albedo.B", 8}};
    for (const auto& [name, code] : channels) {
        const int c = spec.channelindex(name);
        ASSERT_GE(c, 0) << name;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(
                    std::bit_cast<uint32_t>(pixels[static_cast<std::size_t>((y * 5 + x) * 8 + c)]),
                    std::bit_cast<uint32_t>(*frame.element(code, x, y)))
                    << x << "," << y << " " << name;
    }
}

TEST(ExrOutput, DefaultNamesOfAllChannelsReadBackAsTheSameChannels) {
    TempFolder folder;
    const minihost::FrameBuffers frame = fullFrame();
    ImageWriteOptions options;
    for (const BufferChannel& channel : renderChannels())
        if (channel.needFlags != 0)
            options.extraChannels.push_back({&channel, {}});
    writeImage(folder / "all.exr", frame, options);

    const ExrFrame back = readExrFrame(folder / "all.exr", 0xFFFFEu);
    EXPECT_TRUE(back.warnings.empty());
    EXPECT_EQ(back.mapping.found.size(), 17u);
    for (int32_t code = 0; code < minihost::kBufferCodeCount; ++code) {
        ASSERT_EQ(back.buffers.has(code), frame.has(code)) << code;
        if (frame.has(code)) {
            EXPECT_EQ(*back.buffers.element(code, 4, 2), *frame.element(code, 4, 2)) << code;
        }
    }
}

TEST(ExrOutput, SkipsExtraChannelsTheFrameLacksWithAWarning) {
    TempFolder folder;
    minihost::FrameBuffers frame(2, 2);
    const auto warnings =
        writeImage(folder / "few.exr", frame, {std::nullopt, {{findRenderChannel("Shadow"), {}}}});
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("Shadow"), std::string::npos);
    OIIO::ImageSpec spec;
    readFloats(folder / "few.exr", spec);
    EXPECT_EQ(spec.nchannels, 4);
}

TEST(DisplayOutput, AppliesTheSrgbCurveClampsAndRounds) {
    EXPECT_EQ(colourByte(0.0f), 0);
    EXPECT_EQ(colourByte(0.5f), 188);      // 1.055 * 0.5^(1/2.4) - 0.055 = 0.7354
    EXPECT_EQ(colourByte(0.0031308f), 10); // end of the linear segment: 12.92 x
    EXPECT_EQ(colourByte(0.001f), 3);
    EXPECT_EQ(colourByte(0.18f), 118);
    EXPECT_EQ(colourByte(1.0f), 255);
    EXPECT_EQ(colourByte(7.0f), 255);
    EXPECT_EQ(colourByte(-1.0f), 0);
    EXPECT_EQ(colourByte(std::nanf("")), 0);
    EXPECT_EQ(alphaByte(0.5f), 128);
    EXPECT_EQ(alphaByte(2.0f), 255);

    TempFolder folder;
    minihost::FrameBuffers frame(3, 1);
    const float values[3][4] = {
        {0.5f, 0.18f, 0.001f, 0.5f}, {1.0f, 7.0f, -1.0f, 0.0f}, {0.0f, 0.25f, 0.75f, 1.0f}};
    for (int x = 0; x < 3; ++x)
        std::copy_n(values[x], 4, frame.output().pixel(x, 0));

    for (const char* name : {"out.png", "out.tif"}) {
        SCOPED_TRACE(name);
        writeImage(folder / name, frame);
        OIIO::ImageSpec spec;
        const std::vector<uint8_t> bytes = readBytes(folder / name, spec);
        EXPECT_EQ(spec.format, OIIO::TypeDesc::UINT8);
        ASSERT_EQ(spec.nchannels, 4);
        for (int x = 0; x < 3; ++x) {
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(bytes[static_cast<std::size_t>(x * 4 + c)], colourByte(values[x][c]));
            // Colour is not divided by alpha on the way out.
            EXPECT_EQ(bytes[static_cast<std::size_t>(x * 4 + 3)], alphaByte(values[x][3]));
        }
    }

    writeImage(folder / "out.JPG", frame);
    OIIO::ImageSpec spec;
    readBytes(folder / "out.JPG", spec);
    EXPECT_EQ(spec.nchannels, 3);
    EXPECT_EQ(spec.width, 3);
}

TEST(OutputFiles, AFailedWriteLeavesNothingUnderTheFinalOrATemporaryName) {
    TempFolder folder;
    minihost::FrameBuffers frame(2, 2);

    // No such folder.
    const fs::path lost = folder / "missing" / "out.exr";
    try {
        writeImage(lost, frame);
        ADD_FAILURE() << "wrote into a missing folder";
    } catch (const ImageFileError& e) {
        EXPECT_EQ(std::string(e.what()).find("cannot write '" + lost.string() + "': "), 0u)
            << e.what();
    }

    // The final name is taken by a folder: the temporary is written, the
    // rename fails, and the temporary goes.
    fs::create_directory(folder / "taken.png");
    EXPECT_THROW(writeImage(folder / "taken.png", frame), ImageFileError);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"taken.png"});

    // A writer that fails half-way keeps the earlier file as it was.
    std::ofstream(folder / "keep.exr") << "earlier";
    EXPECT_THROW(replaceFile(folder / "keep.exr",
                             [](const fs::path& temporary) {
                                 std::ofstream(temporary) << "half";
                                 throw std::runtime_error("disk full");
                             }),
                 ImageFileError);
    EXPECT_EQ(fileText(folder / "keep.exr"), "earlier");
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"keep.exr", "taken.png"}));

    // Unknown types and a data window of another size are refused up front.
    EXPECT_THROW(writeImage(folder / "out.bmp", frame), ImageFileError);
    EXPECT_THROW(
        writeImage(folder / "out.exr", frame, {FrameWindows{{0, 0, 3, 2}, {0, 0, 3, 2}}, {}}),
        ImageFileError);

    // A successful write replaces the earlier file and leaves no temporary.
    writeImage(folder / "keep.exr", frame);
    EXPECT_NE(fileText(folder / "keep.exr"), "earlier");
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"keep.exr", "taken.png"}));
}
