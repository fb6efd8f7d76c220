// Basic types shared by every host record: opaque handles, the service lookup
// function, activation results and the macro that gates 32-bit layout checks.
#pragma once

#include <cstddef>
#include <cstdint>

// True where pointers are 4 bytes: the host's real ABI. Byte layouts of the
// records are asserted only there; a 64-bit development build keeps the same
// fields in the same order with natural alignment.
#if UINTPTR_MAX == 0xFFFFFFFFu
#define TAVI_ABI32 1
#else
#define TAVI_ABI32 0
#endif

// Opaque handles that only the host interprets. The module stores them and
// hands them back; it never looks behind them.
typedef struct HostNodeEditor* NodeEditorID;
typedef struct HostNode* NodeID;
typedef struct HostNodeInput* NodeInputID;
typedef struct HostNodeOutput* NodeOutputID;
typedef struct HostNodeValue* NodeValue;
typedef struct HostPanel* PanelID;
typedef struct HostEnvGroup* EnvGroupID;
typedef struct HostItem* ItemID;

// A server instance as the host sees it: whatever create returned.
typedef void* Instance;

// A host function the module copies or ignores but never calls.
typedef void (*HostFunc)(void);

// The host's service lookup: (service name, 0) -> service, or null when the
// host has no such service.
typedef void* (*GlobalFunc)(const char* serviceName, int useClass);

// Server activation: (handler version, lookup, handler record, server data).
typedef int (*ActivateFunc)(int version, GlobalFunc global, void* local, void* serverData);

// Activation result codes.
enum {
    ACTIVATE_OK = 0,              // handler record filled
    ACTIVATE_BAD_VERSION = 1,     // the offered record version is not accepted
    ACTIVATE_MISSING_SERVICE = 2, // a host service the server needs is missing
    ACTIVATE_NO_RECORD = 3        // no handler or interface record was given
};

// Node value types.
enum { VALUE_COLOR = 1, VALUE_SCALAR = 2 };
