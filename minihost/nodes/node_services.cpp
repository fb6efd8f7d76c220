// Placeholder until the node editor lands: no node services yet.
#include "../node_services.h"

namespace minihost {
void provideNodeServices(Host&) {}
} // namespace minihost
