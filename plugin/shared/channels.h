// The seventeen render buffer channels that both filters and both access
// nodes work on. Row order is creation, panel and reporting order; it is not
// the order of the buffer codes.
#pragma once

#include <cstdint>

struct BufferChannel {
    const char* name;    // input or output name; panel label of optional channels
    int32_t valueType;   // 1 colour (three components), 2 scalar
    int32_t bufferCode;  // first buffer; a colour channel occupies code..code+2
    int32_t components;  // 3 or 1
    uint32_t needFlags;  // bits the renderer must be asked for; 0 for Color and Alpha
    uint32_t controlId;  // panel toggle of an access node; 0 for Color and Alpha
};

// The need flags of a channel: one bit per component, starting at its code.
constexpr uint32_t channelNeedFlags(int32_t bufferCode, int32_t components) {
    return ((1u << components) - 1u) << bufferCode;
}

enum {
    CHANNEL_COUNT = 17,
    OPTIONAL_CHANNEL_COUNT = 15,
    FIRST_OPTIONAL_CHANNEL = 2, // rows 0 and 1 are Color and Alpha
    BUFFER_RED = 32,
    BUFFER_GREEN = 33,
    BUFFER_BLUE = 34,
    BUFFER_ALPHA = 35
};

#define TAVI_OPTIONAL_CHANNEL(name, type, code, comps, ctl)                                       \
    { name, type, code, comps, channelNeedFlags(code, comps), ctl }

inline constexpr BufferChannel bufferChannels[CHANNEL_COUNT] = {
    {"Color", 1, 32, 3, 0u, 0u},
    {"Alpha", 2, 35, 1, 0u, 0u},
    TAVI_OPTIONAL_CHANNEL("Luminous", 2, 1, 1, 0x8001u),
    TAVI_OPTIONAL_CHANNEL("Diffuse", 2, 2, 1, 0x8002u),
    TAVI_OPTIONAL_CHANNEL("Specular", 2, 3, 1, 0x8003u),
    TAVI_OPTIONAL_CHANNEL("Mirror", 2, 4, 1, 0x8004u),
    TAVI_OPTIONAL_CHANNEL("Transparency", 2, 5, 1, 0x8005u),
    TAVI_OPTIONAL_CHANNEL("Raw Color", 1, 6, 3, 0x8006u),
    TAVI_OPTIONAL_CHANNEL("Shading", 2, 9, 1, 0x8007u),
    TAVI_OPTIONAL_CHANNEL("Diffuse Shading", 2, 13, 1, 0x8008u),
    TAVI_OPTIONAL_CHANNEL("Specular Shading", 2, 14, 1, 0x8009u),
    TAVI_OPTIONAL_CHANNEL("Shadow", 2, 10, 1, 0x800Au),
    TAVI_OPTIONAL_CHANNEL("Geometry", 2, 11, 1, 0x800Bu),
    TAVI_OPTIONAL_CHANNEL("Depth", 2, 12, 1, 0x800Cu),
    TAVI_OPTIONAL_CHANNEL("Motion X", 2, 15, 1, 0x800Du),
    TAVI_OPTIONAL_CHANNEL("Motion Y", 2, 16, 1, 0x800Eu),
    TAVI_OPTIONAL_CHANNEL("Reflection Color", 1, 17, 3, 0x800Fu),
};

#undef TAVI_OPTIONAL_CHANNEL

// The row of the optional channel whose panel toggle has this control ID, or
// null for an ID outside 0x8001..0x800F.
constexpr const BufferChannel* channelForControl(uint32_t controlId) {
    return (controlId >= 0x8001u && controlId < 0x8001u + OPTIONAL_CHANNEL_COUNT)
               ? &bufferChannels[FIRST_OPTIONAL_CHANNEL + (controlId - 0x8001u)]
               : nullptr;
}

static_assert(bufferChannels[7].needFlags == 0x1C0u, "Raw Color sets bits 6 to 8");
static_assert(bufferChannels[16].needFlags == 0xE0000u, "Reflection Color sets bits 17 to 19");
