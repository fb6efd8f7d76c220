// The seed corpus and the regression inputs of each fuzz target.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace fuzzing {

// tests/fuzz/corpus/<target> and tests/fuzz/regressions/<target>.
std::filesystem::path corpusFolder(const std::string& target);
std::filesystem::path regressionFolder(const std::string& target);

// The regular files of a folder, sorted; none when it does not exist.
std::vector<std::filesystem::path> filesIn(const std::filesystem::path& folder);
std::vector<uint8_t> readBytes(const std::filesystem::path& file);

} // namespace fuzzing
