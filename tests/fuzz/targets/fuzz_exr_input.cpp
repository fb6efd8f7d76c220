// libFuzzer entry: one input for fuzzing::exrInput.
#include "cli/exr_input_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzzing::exrInput(data, size);
    return 0;
}
