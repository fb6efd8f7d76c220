// The module descriptor: the one symbol the library exports. The host checks
// its synchronisation word and version, then calls Startup and walks the
// server table.
#include "../host/module.h"
#include "lifecycle.h"
#include "servertable.h"

#if defined(_WIN32)
#define TAVI_EXPORT __declspec(dllexport)
#else
#define TAVI_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
TAVI_EXPORT extern const ModuleDescriptor _mod_descrip;
const ModuleDescriptor _mod_descrip = {
    MODULE_SYNC_WORD, MODULE_DESCRIPTOR_VERSION, MODULE_MACHINE_TYPE, Startup, Shutdown, ServerDesc,
};
}
