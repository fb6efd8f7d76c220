// Start-up: the module holds no module-wide resources, so there is nothing to
// prepare. The host only needs a non-null server data value back.
#include "lifecycle.h"

#include <cstdint>

void* Startup(void) { return reinterpret_cast<void*>(std::uintptr_t{4}); }
