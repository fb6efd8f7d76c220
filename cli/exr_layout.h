// What an EXR file holds, before any pixel is read: its parts (subimages),
// their channel names, views and pixel windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavi {

// A rectangle of pixels in the file's absolute pixel coordinates.
struct PixelWindow {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;

    bool contains(int32_t px, int32_t py) const {
        return px >= x && py >= y && px - x < width && py - y < height;
    }
    friend bool operator==(const PixelWindow&, const PixelWindow&) = default;
};

// The data window (where pixels are stored) and the display window (the
// frame a viewer shows); the data window may lie partly outside it.
struct FrameWindows {
    PixelWindow data;
    PixelWindow display;
    friend bool operator==(const FrameWindows&, const FrameWindows&) = default;
};

struct ExrPart {
    int subimage = 0;
    std::string name;                   // the part's "name" attribute, may be empty
    std::string view;                   // the part's "view" attribute, may be empty
    std::vector<std::string> multiView; // the "multiView" attribute: hero view first
    std::vector<std::string> channels;  // full channel names, in reading order
    FrameWindows windows;
};

struct ExrLayout {
    std::vector<ExrPart> parts;
};

} // namespace tavi
