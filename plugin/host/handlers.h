// Handler and interface records that an activation fills, and the callback
// tables they point to.
#pragma once

#include "handles.h"

struct LoadState;
struct SaveState;
struct FilterAccess;
struct PixelAccess;
struct NodalSample;

// Instance table: private data, then the lifecycle callbacks. Node servers
// leave the describe slot as the host gave it.
struct InstanceFuncs {
    void* priv;
    Instance (*create)(void* priv, void* context, const char** error);
    void (*destroy)(Instance instance);
    const char* (*copy)(Instance to, Instance from);
    const char* (*load)(Instance instance, const LoadState* load);
    const char* (*save)(Instance instance, const SaveState* save);
    const char* (*describe)(Instance instance);
};

// Item table (optional in a handler record).
struct ItemFuncs {
    const ItemID* (*useItems)(Instance instance);
    void (*changeID)(Instance instance, const ItemID* ids);
};

// Render table: the render state the host opens and closes around a frame.
struct RenderFuncs {
    const char* (*init)(Instance instance, int32_t mode);
    void (*cleanup)(Instance instance);
    const char* (*newTime)(Instance instance, int32_t frame, double time);
};

// "ImageFilterHandler".
struct ImageFilterHandler {
    InstanceFuncs* inst;
    ItemFuncs* item;
    void (*process)(Instance instance, const FilterAccess* access);
    uint32_t (*flags)(Instance instance);
};

// "PixelFilterHandler".
struct PixelFilterHandler {
    InstanceFuncs* inst;
    ItemFuncs* item;
    RenderFuncs* rend;
    void (*evaluate)(Instance instance, const PixelAccess* access);
    uint32_t (*flags)(Instance instance);
};

// "NodeHandler". Word 1 belongs to the host; node servers leave it alone.
struct NodeHandler {
    InstanceFuncs* inst;
    void* hostWord;
    RenderFuncs* rend;
    void (*evaluate)(Instance instance, NodalSample* sample, NodeOutputID output,
                     NodeValue value);
};

// Interface record for every "...Interface" class: the instance, the panel
// to show, and two further hooks this module sets to null.
struct InterfaceRecord {
    Instance inst;
    PanelID panel;
    void* options;
    void* command;
};

#if TAVI_ABI32
static_assert(sizeof(InstanceFuncs) == 28, "instance table is seven words");
static_assert(offsetof(InstanceFuncs, describe) == 24, "describe is word 6");
static_assert(sizeof(ItemFuncs) == 8, "item table is two words");
static_assert(sizeof(RenderFuncs) == 12, "render table is three words");
static_assert(sizeof(ImageFilterHandler) == 16, "image filter handler is four words");
static_assert(offsetof(ImageFilterHandler, flags) == 12, "image flags is word 3");
static_assert(sizeof(PixelFilterHandler) == 20, "pixel filter handler is five words");
static_assert(offsetof(PixelFilterHandler, flags) == 16, "pixel flags is word 4");
static_assert(sizeof(NodeHandler) == 16, "node handler is four words");
static_assert(offsetof(NodeHandler, evaluate) == 12, "node evaluate is word 3");
static_assert(sizeof(InterfaceRecord) == 16, "interface record is four words");
#endif
