#include "module_path.h"

#include <cstdlib>
#include <system_error>

namespace tavi {

namespace {
#if defined(_WIN32)
constexpr const char* kModuleFile = "tavinodes.dll";
#else
constexpr const char* kModuleFile = "tavinodes.so";
#endif
} // namespace

std::filesystem::path defaultModulePath() {
    if (const char* env = std::getenv("TAVI_MODULE"); env && *env)
        return env;
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return kModuleFile;
    return self.parent_path() / kModuleFile;
}

} // namespace tavi
