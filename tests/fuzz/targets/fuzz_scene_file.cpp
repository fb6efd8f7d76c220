// libFuzzer entry: one input for fuzzing::sceneFileInput.
#include "fuzz_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzzing::sceneFileInput(fuzzing::moduleHost(), data, size);
    return 0;
}
