#include "sample_filter.h"

#include "../filters.h"

namespace minihost {

uint32_t PixelFilterAdapter::flags() const {
    return filter_.flags();
}

void PixelFilterAdapter::init(int32_t mode) {
    filter_.init(mode);
}

void PixelFilterAdapter::newTime(int32_t frame, double time) {
    filter_.newTime(frame, time);
}

void PixelFilterAdapter::evaluate(const PixelAccess& access) {
    filter_.evaluate(access);
}

void PixelFilterAdapter::cleanup() {
    filter_.cleanup();
}

} // namespace minihost
