// `tavi panel SCENE [TARGET] [--set NAME=VALUE]... [-o OUT.json]`: shows the
// panel controls of a scene's filter or network node with their values, read
// through the module's own panel callbacks; sets values the same way and
// saves the scene.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>

namespace tavi {

std::function<int()> addPanelCommand(CLI::App& app);

} // namespace tavi
