// A look at an EXR file's headers before the image library reads them. The
// library trusts the sizes a header declares and allocates for them before
// it finds that the file cannot hold them, so a file of a few hundred bytes
// could make it ask for gigabytes. This check walks the header attributes
// and refuses any whose declared size runs past the end of the file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tavi {

// Why the headers cannot be right, or nothing when every attribute fits in
// the file. Files that are not EXR at all pass through (the library says
// what they are).
std::optional<std::string> exrHeaderProblem(const std::filesystem::path& file);

} // namespace tavi
