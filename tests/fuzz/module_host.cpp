#include "fuzz_inputs.h"

namespace fuzzing {

minihost::Host& moduleHost() {
    // One host per process: every input of a run, or every replayed file of
    // a test program, meets the same loaded module, as a long session would.
    static minihost::Host host;
    static const bool loaded = (host.loadModule(TAVI_MODULE_FILE), true);
    (void)loaded;
    return host;
}

} // namespace fuzzing
