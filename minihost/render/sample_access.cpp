#include "sample_access.h"

#include <algorithm>

namespace minihost {

namespace {

thread_local SampleAccess* tCurrentSample = nullptr;

// Stand-ins for the host's ray functions: a filter only copies these words
// into its sample record, so they need to be distinct and callable, no more.
template <int N> void unusedRayFunction() {}

} // namespace

SampleAccess::SampleAccess() {
    record_.getValue = &SampleAccess::getValue;
    record_.setValue = &SampleAccess::setValue;
    record_.rayFuncs[0] = &unusedRayFunction<0>;
    record_.rayFuncs[1] = &unusedRayFunction<1>;
    record_.rayFuncs[2] = &unusedRayFunction<2>;
    record_.rayFuncs[3] = &unusedRayFunction<3>;
}

SampleAccess::Current::Current(SampleAccess& access) : previous_(tCurrentSample) {
    tCurrentSample = &access;
}

SampleAccess::Current::~Current() {
    tCurrentSample = previous_;
}

void SampleAccess::getValue(int32_t bufferCode, int32_t count, float* out) noexcept {
    if (!out)
        return;
    const SampleValues* values = tCurrentSample ? tCurrentSample->values_ : nullptr;
    for (int32_t i = 0; i < count; ++i) {
        // Widened so that a code near the int limit cannot wrap into range.
        const int64_t code = int64_t{bufferCode} + i;
        const bool valid = values && code >= 0 && code < kBufferCodeCount;
        out[i] = valid ? (*values)[static_cast<std::size_t>(code)] : 0.0f;
    }
}

void SampleAccess::setValue(int32_t bufferCode, int32_t count, const float* in) noexcept {
    SampleValues* values = tCurrentSample ? tCurrentSample->values_ : nullptr;
    if (!in || !values || count <= 0)
        return;
    // Only the in-range part of the run is touched, so a run that starts
    // below 0 or ends past 39 reads none of the caller's floats it skips.
    // Widened so that a code near the int limit cannot wrap into range.
    const int64_t first = std::max<int64_t>(bufferCode, 0);
    const int64_t end = std::min<int64_t>(int64_t{bufferCode} + count, kBufferCodeCount);
    for (int64_t code = first; code < end; ++code)
        (*values)[static_cast<std::size_t>(code)] = in[code - bufferCode];
}

} // namespace minihost
