// Writing a file so that its final name only ever holds a complete file:
// the content goes to a temporary name in the same folder, which is renamed
// over the final name once it is written.
#pragma once

#include <filesystem>
#include <functional>

namespace tavi {

// Calls write(temporary path); on success renames the temporary to `file`,
// replacing any file there. When write throws or the rename fails, the
// temporary is removed and ImageFileError("write", file, reason) is thrown;
// the final name is left as it was.
void replaceFile(const std::filesystem::path& file,
                 const std::function<void(const std::filesystem::path&)>& write);

// The temporary name used for `file`: hidden, in the same folder, unique to
// this process and call.
std::filesystem::path temporaryNameFor(const std::filesystem::path& file);

} // namespace tavi
