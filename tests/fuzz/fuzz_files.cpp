#include "fuzz_files.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace fuzzing {

std::filesystem::path corpusFolder(const std::string& target) {
    return std::filesystem::path(TAVI_SOURCE_DIR) / "tests" / "fuzz" / "corpus" / target;
}

std::filesystem::path regressionFolder(const std::string& target) {
    return std::filesystem::path(TAVI_SOURCE_DIR) / "tests" / "fuzz" / "regressions" / target;
}

std::vector<std::filesystem::path> filesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace fuzzing
