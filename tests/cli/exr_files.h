// Test EXR files: a temporary folder, synthetic files written with the image
// library, and the sample renders beside the repository.
#pragma once

#include <cli/exr_layout.h>

#include <OpenImageIO/typedesc.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace exr_files {

// A fresh folder removed with everything in it at scope exit.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    std::vector<std::string> entries() const; // file names, sorted

  private:
    std::filesystem::path path_;
};

struct Part {
    explicit Part(std::vector<std::string> names, tavi::PixelWindow dataWindow = {0, 0, 4, 3},
                  tavi::PixelWindow displayWindow = {0, 0, 4, 3})
        : channels(std::move(names)), data(dataWindow), display(displayWindow) {}

    std::vector<std::string> channels;
    tavi::PixelWindow data;
    tavi::PixelWindow display;
    std::string name;
    std::string view;
    std::vector<std::string> multiView;
    OIIO::TypeDesc type = OIIO::TypeDesc::HALF;
    bool tiled = false;
};

// A value exact in half: distinct per part, channel and absolute pixel.
float patternValue(int part, int channel, int x, int y);

// Writes the parts (more than one: a multi-part file), each channel filled
// with patternValue at absolute pixel positions.
void writeExr(const std::filesystem::path& file, const std::vector<Part>& parts);

// One part with these channels, 4 x 3 at the origin.
void writeExr(const std::filesystem::path& file, const std::vector<std::string>& channels);

// The sample renders' folder; empty when it is not there.
std::filesystem::path sampleFolder();

} // namespace exr_files
