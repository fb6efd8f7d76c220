// Load and save streams: the records the host passes to every load and save
// callback, and the block-ID tables that name the blocks a server knows.
#pragma once

#include "handles.h"

// Packs four characters into a block ID, first character in the top byte.
constexpr uint32_t blockIdOf(char a, char b, char c, char d) {
    return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) |
           (uint32_t(uint8_t(c)) << 8) | uint32_t(uint8_t(d));
}

// One row of a block-ID table; a row of two zero words ends the table.
struct BlockID {
    uint32_t id;
    const char* name;
};

// Load stream. Word 1 is the stream's data pointer, the first argument of
// every operation. Words the module never calls are left to the host.
struct LoadState {
    int32_t ioMode;
    void* readData;
    HostFunc reserved2[3];
    // Reads up to count integers of the current block; returns how many were
    // read. A read past the block's end leaves the rest of the array alone.
    int32_t (*readInts)(void* data, int32_t* values, int32_t count);
    HostFunc reserved6[6];
    // The ID of the next block of the current level that the table lists,
    // skipping others; 0 at the end of the enclosing block.
    uint32_t (*findBlock)(void* data, const BlockID* table);
    // Skips what is left of the block that find block entered.
    void (*endBlock)(void* data);
};

// Save stream, the mirror of the load stream.
struct SaveState {
    int32_t ioMode;
    void* writeData;
    HostFunc reserved2[3];
    void (*writeInts)(void* data, const int32_t* values, int32_t count);
    HostFunc reserved6[6];
    // Opens a block; leaf 1 means it holds only integers, 0 nested blocks.
    void (*beginBlock)(void* data, const BlockID* row, int32_t leaf);
    void (*endBlock)(void* data);
};

#if TAVI_ABI32
static_assert(sizeof(BlockID) == 8, "block row is two words");
static_assert(offsetof(LoadState, readData) == 4, "load data is word 1");
static_assert(offsetof(LoadState, readInts) == 20, "read integers is word 5");
static_assert(offsetof(LoadState, findBlock) == 48, "find block is word 12");
static_assert(offsetof(LoadState, endBlock) == 52, "end block is word 13");
static_assert(offsetof(SaveState, writeData) == 4, "save data is word 1");
static_assert(offsetof(SaveState, writeInts) == 20, "write integers is word 5");
static_assert(offsetof(SaveState, beginBlock) == 48, "begin block is word 12");
static_assert(offsetof(SaveState, endBlock) == 52, "end block is word 13");
#endif
