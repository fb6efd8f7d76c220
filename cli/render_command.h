// `tavi render SCENE -o OUT [--input EXR]`: runs a scene's filters over
// render passes read from an EXR file or drawn by the built-in renderer, one
// frame or a range of frames, in this process or in worker processes.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>

namespace tavi {

// Registers the command; the returned function runs it and gives the exit
// code. It throws UsageError for a wrong command line, Interrupted after a
// Ctrl-C, and other exceptions for failed work.
std::function<int()> addRenderCommand(CLI::App& app);

} // namespace tavi
