#include "exr_files.h"

#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <random>
#include <stdexcept>

namespace exr_files {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    std::random_device random;
    path_ = fs::temp_directory_path() / ("tavi-cli-test-" + std::to_string(random()));
    fs::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::vector<std::string> TempFolder::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

float patternValue(int part, int channel, int x, int y) {
    return static_cast<float>(part * 64 + channel * 8) + static_cast<float>((x + 2 * y) & 7) / 8;
}

void writeExr(const fs::path& file, const std::vector<Part>& parts) {
    std::vector<OIIO::ImageSpec> specs;
    for (const Part& part : parts) {
        OIIO::ImageSpec spec(part.data.width, part.data.height,
                             static_cast<int>(part.channels.size()), part.type);
        spec.x = part.data.x;
        spec.y = part.data.y;
        spec.full_x = part.display.x;
        spec.full_y = part.display.y;
        spec.full_width = part.display.width;
        spec.full_height = part.display.height;
        spec.channelnames = part.channels;
        spec.alpha_channel = -1;
        if (part.tiled) {
            spec.tile_width = 16;
            spec.tile_height = 16;
        }
        if (!part.name.empty())
            spec.attribute("name", part.name);
        if (!part.view.empty())
            spec.attribute("view", part.view);
        if (!part.multiView.empty()) {
            std::vector<OIIO::ustring> views(part.multiView.begin(), part.multiView.end());
            spec.attribute("multiView",
                           OIIO::TypeDesc(OIIO::TypeDesc::STRING, static_cast<int>(views.size())),
                           views.data());
        }
        specs.push_back(spec);
    }
    auto out = OIIO::ImageOutput::create("openexr");
    if (!out || !out->open(file.string(), static_cast<int>(specs.size()), specs.data()))
        throw std::runtime_error("cannot create test file " + file.string());
    for (std::size_t p = 0; p < parts.size(); ++p) {
        if (p > 0 && !out->open(file.string(), specs[p], OIIO::ImageOutput::AppendSubimage))
            throw std::runtime_error("cannot append part: " + out->geterror());
        const Part& part = parts[p];
        const std::size_t n = part.channels.size();
        std::vector<float> pixels(static_cast<std::size_t>(part.data.width) *
                                  static_cast<std::size_t>(part.data.height) * n);
        std::size_t i = 0;
        for (int y = 0; y < part.data.height; ++y)
            for (int x = 0; x < part.data.width; ++x)
                for (std::size_t c = 0; c < n; ++c)
                    pixels[i++] = patternValue(static_cast<int>(p), static_cast<int>(c),
                                               part.data.x + x, part.data.y + y);
        if (!out->write_image(OIIO::TypeFloat, pixels.data()))
            throw std::runtime_error("cannot write test pixels: " + out->geterror());
    }
    if (!out->close())
        throw std::runtime_error("cannot close test file: " + out->geterror());
}

void writeExr(const fs::path& file, const std::vector<std::string>& channels) {
    writeExr(file, std::vector<Part>{Part(channels)});
}

fs::path sampleFolder() {
    const fs::path folder = TAVI_SAMPLE_EXR_DIR;
    return fs::is_directory(folder) ? folder : fs::path();
}

} // namespace exr_files
