#include "buffer_codes.h"

namespace minihost {

BufferCodeSet buffersForNeedFlags(uint32_t flags) {
    BufferCodeSet codes;
    for (int32_t code = 0; code <= kLastRenderPass; ++code)
        if (flags & (1u << code))
            codes.set(static_cast<std::size_t>(code));
    return codes;
}

BufferCodeSet frameBuffersForNeedFlags(uint32_t flags) {
    BufferCodeSet codes = buffersForNeedFlags(flags);
    for (int32_t code : {kBufferFinalRed, kBufferFinalGreen, kBufferFinalBlue, kBufferAlpha})
        codes.set(static_cast<std::size_t>(code));
    return codes;
}

} // namespace minihost
