// The example scenes of examples/, compiled into the program so that
// `tavi demo` works from any folder.
#pragma once

#include <span>
#include <string_view>

namespace tavi {

struct EmbeddedExample {
    std::string_view name; // the file name without ".json"
    std::string_view json;
};

std::span<const EmbeddedExample> embeddedExamples();

// The example of that name; throws std::out_of_range when none has it.
const EmbeddedExample& embeddedExample(std::string_view name);

} // namespace tavi
