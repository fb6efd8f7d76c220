// The sample record the host hands to every node evaluation. The filters fill
// it to present a pixel as a point of a screen-aligned plane facing the viewer.
#pragma once

#include "../host/handles.h"

struct NodalSample {
    int32_t pixelX;
    int32_t pixelY;
    double position[3];     // normalised pixel position (nx, ny, 0)
    double position2[3];    // the same again
    double direction[3];    // (0, 0, -1): facing the viewer
    double direction2[3];
    double direction3[3];
    double eyePosition[3];
    double eyeDistance;
    double constant1;       // 0.001
    double constant2;       // 1.0
    double constant3;       // 0.0
    double matrix1[9];      // identity, row by row
    double matrix2[9];
    HostFunc rayFunc1;      // the pixel access record's function words
    int32_t reserved332;
    HostFunc rayFunc2;
    HostFunc rayFunc3;
    HostFunc rayFunc4;
    int32_t reserved348;
    int32_t pixelFilter;    // 1 when filled by the pixel filter
    ItemID cameraItem;
    uint8_t reserved360[112];
};

#if TAVI_ABI32
static_assert(sizeof(NodalSample) == 472, "sample record is 472 bytes");
static_assert(offsetof(NodalSample, pixelY) == 4, "pixel y");
static_assert(offsetof(NodalSample, position) == 8, "first position");
static_assert(offsetof(NodalSample, position2) == 32, "second position");
static_assert(offsetof(NodalSample, direction) == 56, "first direction");
static_assert(offsetof(NodalSample, direction2) == 80, "second direction");
static_assert(offsetof(NodalSample, direction3) == 104, "third direction");
static_assert(offsetof(NodalSample, eyePosition) == 128, "eye position");
static_assert(offsetof(NodalSample, eyeDistance) == 152, "eye distance");
static_assert(offsetof(NodalSample, constant1) == 160, "first constant");
static_assert(offsetof(NodalSample, constant2) == 168, "second constant");
static_assert(offsetof(NodalSample, constant3) == 176, "third constant");
static_assert(offsetof(NodalSample, matrix1) == 184, "first matrix");
static_assert(offsetof(NodalSample, matrix2) == 256, "second matrix");
static_assert(offsetof(NodalSample, rayFunc1) == 328, "first ray function");
static_assert(offsetof(NodalSample, reserved332) == 332, "word 332");
static_assert(offsetof(NodalSample, rayFunc2) == 336, "second ray function");
static_assert(offsetof(NodalSample, rayFunc3) == 340, "third ray function");
static_assert(offsetof(NodalSample, rayFunc4) == 344, "fourth ray function");
static_assert(offsetof(NodalSample, reserved348) == 348, "word 348");
static_assert(offsetof(NodalSample, pixelFilter) == 352, "pixel-filter marker");
static_assert(offsetof(NodalSample, cameraItem) == 356, "camera item");
static_assert(offsetof(NodalSample, reserved360) == 360, "tail");
#endif
