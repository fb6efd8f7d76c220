// Shared set-up of the lifecycle stress tests: a host with the module, and
// the number of cycles each test runs. Valgrind runs set TAVI_STRESS_CYCLES
// lower: a leak or a use after free shows in any number of cycles.
#pragma once

#include "module_file.h"

#include <minihost/host.h>
#include <minihost/ring.h>
#include <shared/ring.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace stress {

inline int cycles(int normal) {
    if (const char* text = std::getenv("TAVI_STRESS_CYCLES"))
        return std::max(1, std::min(normal, std::atoi(text)));
    return normal;
}

class Lifecycle : public ::testing::Test {
  protected:
    Lifecycle() { host.loadModule(testing_paths::moduleFile()); }

    // Every message the filters and access nodes exchange, with nobody
    // answering but them.
    uint32_t ringTraffic() {
        FlagQuery image{0, 0}, pixel{0, 0};
        host.ring().message(RING_TOPIC_IMAGE, RING_GATHER_FLAGS, &image);
        host.ring().message(RING_TOPIC_PIXEL, RING_GATHER_FLAGS, &pixel);
        ContextQuery context{0, -1};
        host.ring().message(RING_TOPIC_IMAGE, RING_CONTEXT_QUERY, &context);
        return image.flags | pixel.flags;
    }

    std::size_t attachments() {
        return host.ring().attachments(RING_TOPIC_IMAGE) +
               host.ring().attachments(RING_TOPIC_PIXEL);
    }

    minihost::Host host;
};

} // namespace stress
