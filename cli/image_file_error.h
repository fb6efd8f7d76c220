// The one error type of image reading and writing: a single line that names
// the file, so that the command can print it as it is.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tavi {

class ImageFileError : public std::runtime_error {
  public:
    // "cannot read 'in.exr': reason"; `action` is "read" or "write".
    ImageFileError(std::string_view action, const std::filesystem::path& file,
                   std::string_view reason);
};

// Library messages may span lines; this joins them with "; " and trims.
std::string oneLine(std::string_view text);

} // namespace tavi
