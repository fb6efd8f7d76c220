// Server unit pixnode: not built yet. Its activations refuse honestly so that a
// host walking the server table can tell the server is unavailable.
#include "../host/hostapi.h"
#include "../server/activations.h"

int PNHandler(int, GlobalFunc, void* local, void*) {
    return local ? ACTIVATE_MISSING_SERVICE : ACTIVATE_NO_RECORD;
}

int PNInterface(int, GlobalFunc, void* local, void*) {
    return local ? ACTIVATE_MISSING_SERVICE : ACTIVATE_NO_RECORD;
}
