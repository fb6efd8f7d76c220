// What each fuzz target does with one input. The libFuzzer targets call
// these, and the normal suite replays the seed corpus and every input that
// once crashed through the same functions. They return normally whatever
// the bytes; a fault shows as a crash, a sanitizer report or a trap.
#pragma once

#include <minihost/host.h>

#include <cstddef>
#include <cstdint>

namespace fuzzing {

// Feeds the bytes, as a block tree and as raw integers, to the load
// callbacks of all four servers; each instance that accepted its load must
// then save, reload and save the same blocks, and the filters run a small
// pass with whatever network they loaded. `host` has the module loaded.
void loadStreamInput(minihost::Host& host, const uint8_t* data, std::size_t size);

// Parses the bytes as a scene file; a scene that loads must save, and its
// saved form must load again and save the same.
void sceneFileInput(minihost::Host& host, const uint8_t* data, std::size_t size);

// A host with the module under test loaded; tests and fuzz targets share it.
minihost::Host& moduleHost();

} // namespace fuzzing
