#include "image_output.h"

#include "image_file_error.h"
#include "render_channels.h"
#include "replace_file.h"

#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace tavi {

namespace {

namespace fs = std::filesystem;
namespace oiio = OIIO;

const char* formatName(ImageFormat format) {
    switch (format) {
    case ImageFormat::Exr:
        return "openexr";
    case ImageFormat::Png:
        return "png";
    case ImageFormat::Jpeg:
        return "jpeg";
    case ImageFormat::Tiff:
        return "tiff";
    }
    return "";
}

// One writer call sequence; every failure becomes an ImageFileError naming
// the final file, not the temporary one.
void writePixels(const fs::path& file, const fs::path& temporary, ImageFormat format,
                 const oiio::ImageSpec& imageSpec, oiio::TypeDesc type, const void* pixels) {
    auto output = oiio::ImageOutput::create(formatName(format));
    if (!output)
        throw ImageFileError("write", file, "no writer for this format: " + oiio::geterror());
    if (!output->open(temporary.string(), imageSpec))
        throw ImageFileError("write", file, output->geterror());
    const bool written = output->write_image(type, pixels);
    const bool closed = output->close();
    if (!written || !closed)
        throw ImageFileError("write", file, output->geterror());
}

struct ExtraBuffers {
    std::vector<std::string> names;
    std::vector<int32_t> codes;
};

ExtraBuffers collectExtras(const fs::path& file, const minihost::FrameBuffers& frame,
                           const std::vector<ExtraChannel>& extras,
                           std::vector<std::string>& warnings) {
    ExtraBuffers collected;
    std::set<std::string> used = {"R", "G", "B", "A"};
    for (const ExtraChannel& extra : extras) {
        if (!extra.channel)
            continue;
        const BufferChannel& channel = *extra.channel;
        const std::vector<std::string> names =
            extra.exrNames.empty() ? defaultExrNames(channel) : extra.exrNames;
        if (names.size() != static_cast<std::size_t>(channel.components))
            throw ImageFileError("write", file,
                                 std::string(channel.name) + " needs " +
                                     std::to_string(channel.components) + " EXR channel names");
        bool present = true;
        for (int32_t c = 0; c < channel.components; ++c)
            present = present && frame.has(channel.bufferCode + c);
        if (!present) {
            warnings.push_back(file.string() + ": the frame has no " + channel.name +
                               " buffer; it is not written");
            continue;
        }
        for (int32_t c = 0; c < channel.components; ++c) {
            const std::string& name = names[static_cast<std::size_t>(c)];
            if (name.empty() || !used.insert(name).second)
                throw ImageFileError("write", file,
                                     "EXR channel name '" + name + "' is empty or used twice");
            collected.names.push_back(name);
            collected.codes.push_back(channel.bufferCode + c);
        }
    }
    return collected;
}

std::vector<std::string> writeExr(const fs::path& file, const minihost::FrameBuffers& frame,
                                  const ImageWriteOptions& options) {
    std::vector<std::string> warnings;
    const ExtraBuffers extras = collectExtras(file, frame, options.extraChannels, warnings);
    const int32_t width = frame.width(), height = frame.height();
    const FrameWindows windows =
        options.windows.value_or(FrameWindows{{0, 0, width, height}, {0, 0, width, height}});
    if (windows.data.width != width || windows.data.height != height)
        throw ImageFileError("write", file,
                             "the data window is " + std::to_string(windows.data.width) + " x " +
                                 std::to_string(windows.data.height) + " but the frame is " +
                                 std::to_string(width) + " x " + std::to_string(height));

    const int channels = 4 + static_cast<int>(extras.codes.size());
    oiio::ImageSpec imageSpec(width, height, channels, oiio::TypeFloat);
    imageSpec.x = windows.data.x;
    imageSpec.y = windows.data.y;
    imageSpec.full_x = windows.display.x;
    imageSpec.full_y = windows.display.y;
    imageSpec.full_width = windows.display.width;
    imageSpec.full_height = windows.display.height;
    imageSpec.channelnames = {"R", "G", "B", "A"};
    imageSpec.channelnames.insert(imageSpec.channelnames.end(), extras.names.begin(),
                                  extras.names.end());
    imageSpec.alpha_channel = 3;
    imageSpec.attribute("compression", "zip");

    std::vector<float> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                              static_cast<std::size_t>(channels));
    float* out = pixels.data();
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            out = std::copy_n(frame.output().pixel(x, y), 4, out);
            for (int32_t code : extras.codes)
                *out++ = *frame.element(code, x, y);
        }
    replaceFile(file, [&](const fs::path& temporary) {
        writePixels(file, temporary, ImageFormat::Exr, imageSpec, oiio::TypeFloat, pixels.data());
    });
    return warnings;
}

std::vector<std::string> writeDisplayImage(const fs::path& file, ImageFormat format,
                                           const minihost::FrameBuffers& frame,
                                           const ImageWriteOptions& options) {
    std::vector<std::string> warnings;
    if (!options.extraChannels.empty())
        warnings.push_back(file.string() + ": only EXR holds extra channels; they are not written");
    // JPEG has no alpha; an opaque image leaves it out on purpose.
    const int channels = (format == ImageFormat::Jpeg || options.opaque) ? 3 : 4;
    const int32_t width = frame.width(), height = frame.height();
    oiio::ImageSpec imageSpec(width, height, channels, oiio::TypeUInt8);
    imageSpec.attribute("oiio:ColorSpace", "sRGB");
    if (channels == 4) {
        imageSpec.alpha_channel = 3;
        // The bytes are final: the writer must not divide colour by alpha.
        imageSpec.attribute("oiio:UnassociatedAlpha", 1);
    }
    if (format == ImageFormat::Jpeg)
        imageSpec.attribute("compression", "jpeg:95");

    std::vector<uint8_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                                static_cast<std::size_t>(channels));
    uint8_t* out = pixels.data();
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const float* rgba = frame.output().pixel(x, y);
            for (int c = 0; c < 3; ++c)
                *out++ = colourByte(rgba[c]);
            if (channels == 4)
                *out++ = alphaByte(rgba[3]);
        }
    replaceFile(file, [&](const fs::path& temporary) {
        writePixels(file, temporary, format, imageSpec, oiio::TypeUInt8, pixels.data());
    });
    return warnings;
}

} // namespace

ImageFormat imageFormatFor(const fs::path& file) {
    const std::string extension = lowerCase(file.extension().string());
    if (extension == ".exr")
        return ImageFormat::Exr;
    if (extension == ".png")
        return ImageFormat::Png;
    if (extension == ".jpg" || extension == ".jpeg")
        return ImageFormat::Jpeg;
    if (extension == ".tif" || extension == ".tiff")
        return ImageFormat::Tiff;
    throw ImageFileError("write", file,
                         "unknown image type '" + extension + "' (use .exr, .png, .jpg or .tif)");
}

std::vector<std::string> defaultExrNames(const BufferChannel& channel) {
    const std::string code = foldName(channel.name);
    if (code == "color")
        return {"R", "G", "B"};
    if (code == "alpha")
        return {"A"};
    if (code == "depth")
        return {"depth.Z"};
    if (code == "motionx")
        return {"motion.X"};
    if (code == "motiony")
        return {"motion.Y"};
    // "Raw Color" -> "raw_color", "Diffuse Shading" -> "diffuse_shading".
    std::string layer = lowerCase(channel.name);
    std::replace(layer.begin(), layer.end(), ' ', '_');
    if (channel.components == 3)
        return {layer + ".R", layer + ".G", layer + ".B"};
    return {layer + ".Y"};
}

std::vector<std::string> writeImage(const fs::path& file, const minihost::FrameBuffers& frame,
                                    const ImageWriteOptions& options) {
    const ImageFormat format = imageFormatFor(file);
    try {
        return format == ImageFormat::Exr ? writeExr(file, frame, options)
                                          : writeDisplayImage(file, format, frame, options);
    } catch (const std::bad_alloc&) {
        throw ImageFileError("write", file, "not enough memory");
    }
}

float srgbEncode(float linear) {
    const float v = std::clamp(linear, 0.0f, 1.0f);
    return v <= 0.0031308f ? 12.92f * v : 1.055f * std::pow(v, 1.0f / 2.4f) - 0.055f;
}

uint8_t colourByte(float linear) {
    if (std::isnan(linear))
        return 0;
    return static_cast<uint8_t>(std::lround(srgbEncode(linear) * 255.0f));
}

uint8_t alphaByte(float alpha) {
    if (std::isnan(alpha))
        return 0;
    return static_cast<uint8_t>(std::lround(std::clamp(alpha, 0.0f, 1.0f) * 255.0f));
}

} // namespace tavi
