// Paths of the module under test and of the broken fixture modules.
#pragma once

#include <filesystem>
#include <string>

namespace testing_paths {

inline std::filesystem::path moduleFile() { return TAVI_MODULE_FILE; }

inline std::filesystem::path fixture(const std::string& name) {
#if defined(_WIN32)
    return std::filesystem::path(TAVI_FIXTURE_DIR) / (name + ".dll");
#else
    return std::filesystem::path(TAVI_FIXTURE_DIR) / (name + ".so");
#endif
}

} // namespace testing_paths
