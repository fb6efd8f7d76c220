// Where `tavi` finds the module when the user names none.
#pragma once

#include <filesystem>

namespace tavi {

// The module built alongside this executable: TAVI_MODULE when set, else the
// module file in the executable's own folder.
std::filesystem::path defaultModulePath();

} // namespace tavi
