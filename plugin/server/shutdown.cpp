// Shut-down: every instance frees its own record in destroy, so nothing is
// left to release here. Safe to call without any server ever activated.
#include "lifecycle.h"

void Shutdown(void) {}
