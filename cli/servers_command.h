// `tavi servers [MODULE]`: lists the servers a module offers.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>

namespace tavi {

// Registers the command; the returned function runs it and gives the exit code.
std::function<int()> addServersCommand(CLI::App& app);

} // namespace tavi
