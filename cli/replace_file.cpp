#include "replace_file.h"

#include "image_file_error.h"

#include <unistd.h>

#include <atomic>
#include <string>
#include <system_error>

namespace tavi {

namespace fs = std::filesystem;

fs::path temporaryNameFor(const fs::path& file) {
    static std::atomic<unsigned> counter{0};
    const std::string name = "." + file.filename().string() + ".tmp" +
                             std::to_string(static_cast<long>(::getpid())) + "-" +
                             std::to_string(counter.fetch_add(1));
    return file.parent_path() / name;
}

void replaceFile(const fs::path& file, const std::function<void(const fs::path&)>& write) {
    if (file.filename().empty())
        throw ImageFileError("write", file, "the name is a folder");
    const fs::path temporary = temporaryNameFor(file);
    const auto discard = [&] {
        std::error_code ignored;
        fs::remove(temporary, ignored);
    };
    try {
        write(temporary);
    } catch (const ImageFileError&) {
        discard();
        throw;
    } catch (const std::exception& e) {
        discard();
        throw ImageFileError("write", file, e.what());
    } catch (...) {
        discard();
        throw;
    }
    std::error_code error;
    fs::rename(temporary, file, error);
    if (error) {
        discard();
        throw ImageFileError("write", file, error.message());
    }
}

} // namespace tavi
