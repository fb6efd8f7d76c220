#include "instance_updates.h"

#include "host.h"

#include <algorithm>

namespace minihost {

int32_t InstanceUpdates::update(const char* serverClass, void* instance) {
    Host* host = Host::tryCurrent();
    if (!host || !serverClass)
        return 0;
    try {
        host->updates().calls_.push_back({serverClass, instance});
    } catch (...) {
        return 0; // nothing may cross back into the module
    }
    return 1;
}

std::size_t InstanceUpdates::count(const std::string& serverClass, const void* instance) const {
    return static_cast<std::size_t>(std::count_if(calls_.begin(), calls_.end(), [&](const Call& c) {
        return c.serverClass == serverClass && c.instance == instance;
    }));
}

} // namespace minihost
