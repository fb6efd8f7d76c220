// Arbitrary bytes as an EXR render for the command's input: the EXR fuzz
// target and the normal suite's replay of its corpus both run this.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzzing {

// Writes the bytes to a file of this process and reads its layout and its
// frame; an unreadable file must end in an ImageFileError, nothing else.
void exrInput(const uint8_t* data, std::size_t size);

} // namespace fuzzing
