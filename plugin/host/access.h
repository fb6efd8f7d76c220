// The records the host hands a filter at render time: the image filter access
// record with its progress monitor, and the per-sample pixel access record.
// The host owns them; they are valid only during the call that delivered them.
#pragma once

#include "handles.h"

// Progress monitor reached through the image filter access record.
struct ProgressMonitor {
    void* data;
    void (*init)(void* data, uint32_t totalSteps);
    // Returns non-zero when the user asked to abort.
    int32_t (*step)(void* data, uint32_t increment);
    void (*done)(void* data);
};

// Argument of the image filter's process callback: the finished frame.
struct FilterAccess {
    int32_t width;
    int32_t height;
    HostFunc reserved[6];
    // The floats of one row of one buffer, one per column; null for a buffer
    // the renderer did not fill.
    float* (*getLine)(int32_t bufferCode, int32_t row);
    void (*setRGB)(int32_t column, int32_t row, const float rgb[3]);
    void (*setAlpha)(int32_t column, int32_t row, float alpha);
    ProgressMonitor* monitor;
};

// Argument of the pixel filter's evaluate callback: one render sample.
struct PixelAccess {
    double sx;
    double sy;
    // Reads count consecutive buffers starting at the code.
    void (*getValue)(int32_t bufferCode, int32_t count, float* out);
    HostFunc reserved;
    // Writes count consecutive buffers starting at the code.
    void (*setValue)(int32_t bufferCode, int32_t count, const float* in);
    // Host functions the module never calls; copied into the sample record.
    HostFunc rayFuncs[4];
};

#if TAVI_ABI32
static_assert(sizeof(ProgressMonitor) == 16, "monitor is four words");
static_assert(offsetof(FilterAccess, height) == 4, "height at byte 4");
static_assert(offsetof(FilterAccess, getLine) == 32, "get line at byte 32");
static_assert(offsetof(FilterAccess, setRGB) == 36, "set RGB at byte 36");
static_assert(offsetof(FilterAccess, setAlpha) == 40, "set alpha at byte 40");
static_assert(offsetof(FilterAccess, monitor) == 44, "monitor at byte 44");
static_assert(offsetof(PixelAccess, sy) == 8, "sy at byte 8");
static_assert(offsetof(PixelAccess, getValue) == 16, "get value at byte 16");
static_assert(offsetof(PixelAccess, setValue) == 24, "set value at byte 24");
static_assert(offsetof(PixelAccess, rayFuncs) == 28, "function words at bytes 28-43");
#endif
