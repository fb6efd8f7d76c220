// The panel service and the static records handed to it: control lists, data
// descriptions and hint lists, plus the callbacks a panel calls back.
#pragma once

#include "handles.h"

// One control: (ID, label, control type). A row of three zeros ends the list.
struct PanelControl {
    uint32_t id;
    const char* label;
    const char* type;
};

// One value: (ID, value name, value type). Pairs with a control by ID.
struct PanelDataDesc {
    uint32_t id;
    const char* name;
    const char* type;
};

// A hint list is a run of words read left to right; each word is wide enough
// to hold a pointer (a function or a text) where one is expected.
typedef uintptr_t PanelHint;

enum : uint32_t {
    PANEL_HINT_CHANGE_NOTIFY = 0x3d000f01u, // then a change-notify function
    PANEL_HINT_LABEL = 0x3d000b03u,         // then a control ID and a label text
    PANEL_HINT_END = 0u
};

enum : uint32_t { PANEL_FIRST_CONTROL = 0x8001u };
enum { PANEL_TYPE_STANDARD = 1 };

// get (instance, control ID) -> address of the 32-bit value, or null.
typedef void* (*PanelGetFunc)(void* instance, uint32_t controlId);
// set (instance, control ID, address of the new value) -> 1 stored, 0 not.
typedef int32_t (*PanelSetFunc)(void* instance, uint32_t controlId, void* value);
// change notify (panel, control, user data): called after a value changed.
typedef int32_t (*PanelChangeNotifyFunc)(PanelID panel, void* control, void* userData);

// "PanelFuncs".
struct PanelFuncs {
    HostFunc reserved0[2];
    PanelID (*create)(int32_t type, const PanelControl* controls);
    void (*destroy)(PanelID panel);
    int32_t (*describe)(PanelID panel, const PanelDataDesc* data, PanelGetFunc get,
                        PanelSetFunc set);
    void (*hint)(PanelID panel, uint32_t controlId, const PanelHint* hints);
    int32_t (*changeRefresh)(PanelID panel, int32_t flags);
    void (*bindUserData)(PanelID panel, uint32_t controlId, void* userData);
    HostFunc reserved8[2];
    void (*bindInstance)(PanelID panel, void* instance);
};

#if TAVI_ABI32
static_assert(sizeof(PanelControl) == 12, "control row is three words");
static_assert(sizeof(PanelDataDesc) == 12, "data row is three words");
static_assert(sizeof(PanelHint) == 4, "hint words are 32-bit");
static_assert(offsetof(PanelFuncs, create) == 2 * 4, "panel create is slot 2");
static_assert(offsetof(PanelFuncs, destroy) == 3 * 4, "panel destroy is slot 3");
static_assert(offsetof(PanelFuncs, describe) == 4 * 4, "panel describe is slot 4");
static_assert(offsetof(PanelFuncs, hint) == 5 * 4, "panel hint is slot 5");
static_assert(offsetof(PanelFuncs, changeRefresh) == 6 * 4, "change refresh is slot 6");
static_assert(offsetof(PanelFuncs, bindUserData) == 7 * 4, "bind user data is slot 7");
static_assert(offsetof(PanelFuncs, bindInstance) == 10 * 4, "bind instance is slot 10");
#endif
