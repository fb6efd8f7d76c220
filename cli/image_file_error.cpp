#include "image_file_error.h"

namespace tavi {

namespace {

std::string message(std::string_view action, const std::filesystem::path& file,
                    std::string_view reason) {
    return "cannot " + std::string(action) + " '" + file.string() + "': " + oneLine(reason);
}

} // namespace

ImageFileError::ImageFileError(std::string_view action, const std::filesystem::path& file,
                               std::string_view reason)
    : std::runtime_error(message(action, file, reason)) {}

std::string oneLine(std::string_view text) {
    std::string line;
    bool pendingBreak = false;
    for (char c : text) {
        if (c == '\n' || c == '\r') {
            pendingBreak = !line.empty();
            continue;
        }
        if (pendingBreak) {
            line += "; ";
            pendingBreak = false;
        }
        line += c;
    }
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
        line.pop_back();
    return line.empty() ? "unknown error" : line;
}

} // namespace tavi
