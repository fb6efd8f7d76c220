// The module descriptor, the server table and tag lists: what the host reads
// from the loaded library before it activates any server.
#pragma once

#include "handles.h"

enum : uint32_t {
    MODULE_SYNC_WORD = 0x04121994u,
    MODULE_DESCRIPTOR_VERSION = 3u,
    MODULE_MACHINE_TYPE = 0x300u
};

// One row of a tag list: (text, tag code). Tag code 0 is the user-visible name.
struct ServerTagInfo {
    const char* text;
    uint32_t tag;
};

// One row of the server table; a row of four zero words ends the table.
struct ServerRecord {
    const char* className;
    const char* name;
    ActivateFunc activate;
    const ServerTagInfo* tags;
};

// The exported descriptor, six words.
struct ModuleDescriptor {
    uint32_t syncWord;
    uint32_t version;
    uint32_t machine;
    void* (*startup)(void);
    void (*shutdown)(void);
    const ServerRecord* servers;
};

// Name of the one symbol a module exports.
#define MODULE_DESCRIPTOR_SYMBOL "_mod_descrip"

#if TAVI_ABI32
static_assert(sizeof(ServerTagInfo) == 8, "tag row is two words");
static_assert(sizeof(ServerRecord) == 16, "server row is four words");
static_assert(offsetof(ServerRecord, activate) == 8, "activation is word 2");
static_assert(offsetof(ServerRecord, tags) == 12, "tag list is word 3");
static_assert(sizeof(ModuleDescriptor) == 24, "descriptor is six words");
static_assert(offsetof(ModuleDescriptor, startup) == 12, "start-up is word 3");
static_assert(offsetof(ModuleDescriptor, shutdown) == 16, "shut-down is word 4");
static_assert(offsetof(ModuleDescriptor, servers) == 20, "server table is word 5");
#endif
