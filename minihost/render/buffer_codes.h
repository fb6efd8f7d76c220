// Render buffer codes: which float buffer of a frame or a sample holds what,
// and how a filter's need-flag word selects the buffers to fill.
#pragma once

#include <bitset>
#include <cstdint>

namespace minihost {

// Codes 0 to 39 address a buffer; 0-19 are render passes, 32-35 the final
// image. The others exist so that any code a filter may name has a slot.
inline constexpr int32_t kBufferCodeCount = 40;

enum BufferCode : int32_t {
    kBufferLuminous = 1,
    kBufferDiffuse = 2,
    kBufferSpecular = 3,
    kBufferMirror = 4,
    kBufferTransparency = 5,
    kBufferRawRed = 6, // raw (unlit) surface colour: 6, 7, 8
    kBufferRawGreen = 7,
    kBufferRawBlue = 8,
    kBufferShading = 9,
    kBufferShadow = 10,
    kBufferGeometry = 11,
    kBufferDepth = 12,
    kBufferDiffuseShading = 13,
    kBufferSpecularShading = 14,
    kBufferMotionX = 15,
    kBufferMotionY = 16,
    kBufferReflectionRed = 17, // colour seen in the mirror direction: 17, 18, 19
    kBufferReflectionGreen = 18,
    kBufferReflectionBlue = 19,
    kBufferFinalRed = 32,
    kBufferFinalGreen = 33,
    kBufferFinalBlue = 34,
    kBufferAlpha = 35,
};

// The highest render pass a need flag can ask for.
inline constexpr int32_t kLastRenderPass = 19;

using BufferCodeSet = std::bitset<kBufferCodeCount>;

constexpr bool isBufferCode(int32_t code) {
    return code >= 0 && code < kBufferCodeCount;
}

// The render passes a need-flag word asks for: bit b selects code b for
// b = 0..19. Higher bits are not buffers (the pixel filter keeps its own
// option bits 29 to 31 in the same word), so they select nothing.
BufferCodeSet buffersForNeedFlags(uint32_t flags);

// What a frame rendered for these flags holds: the passes asked for plus the
// final colour and alpha, which are always there.
BufferCodeSet frameBuffersForNeedFlags(uint32_t flags);

} // namespace minihost
