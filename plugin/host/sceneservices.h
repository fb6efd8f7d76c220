// The host's scene-side services: communication ring, envelopes, instance
// update, and the time, scene and item records.
#pragma once

#include "handles.h"

// Listener: (attached data, a value it ignores, event code, payload).
typedef int32_t (*RingEventFunc)(void* data, void* portData, int32_t event, void* payload);

// "Communication Ring".
struct RingFuncs {
    int32_t (*attach)(const char* topic, void* data, RingEventFunc event);
    void (*detach)(const char* topic, void* data);
    // Reaches every attachment of the topic before it returns.
    void (*message)(const char* topic, int32_t event, void* payload);
};

// "Animation Envelopes".
struct EnvelopeFuncs {
    HostFunc reserved0[2];
    EnvGroupID (*createGroup)(EnvGroupID parent, const char* name);
};

// "Instance Update" is itself a function: (server class, instance).
typedef int32_t (*InstanceUpdateFunc)(const char* serverClass, void* instance);

// "Time Info".
struct TimeInfo {
    double time;
    int32_t frame;
};

// Returns the item that renders at the given time, or null.
typedef ItemID (*RenderCameraFunc)(double time);

// "Scene Info 4", as far as the module reads it.
struct SceneInfo {
    uint8_t reserved0[48];
    int32_t frameWidth;
    int32_t frameHeight;
    uint8_t reserved56[36];
    RenderCameraFunc renderCamera;
};

enum { ITEM_PARAM_POSITION = 8 };

// "Item Info 4".
struct ItemInfo {
    HostFunc reserved0[9];
    // (item, parameter code, time, three doubles out).
    int32_t (*param)(ItemID item, int32_t code, double time, double* out);
};

#if TAVI_ABI32
static_assert(offsetof(RingFuncs, message) == 8, "ring message is slot 2");
static_assert(offsetof(EnvelopeFuncs, createGroup) == 8, "create group is slot 2");
static_assert(offsetof(TimeInfo, frame) == 8, "frame follows the time");
static_assert(offsetof(SceneInfo, frameWidth) == 48, "frame width at byte 48");
static_assert(offsetof(SceneInfo, frameHeight) == 52, "frame height at byte 52");
static_assert(offsetof(SceneInfo, renderCamera) == 92, "render camera at byte 92");
static_assert(offsetof(ItemInfo, param) == 9 * 4, "item parameter is slot 9");
#endif
