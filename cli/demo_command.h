// `tavi demo [-o DIR]`: the built-in default. Renders the built-in scene and
// writes the raw beauty and what the built-in example networks make of it.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>

namespace tavi {

std::function<int()> addDemoCommand(CLI::App& app);

} // namespace tavi
