// What a filter and its access nodes say to each other on the communication
// ring: topics, event codes and payloads.
#pragma once

#include <cstdint>

// The topics are the filter server names.
#define RING_TOPIC_IMAGE "Tavi_NodeImageFilter"
#define RING_TOPIC_PIXEL "Tavi_NodePixelFilter"

enum {
    RING_GATHER_FLAGS = 0,  // both topics; payload FlagQuery
    RING_CONTEXT_QUERY = 1, // image topic; payload two words, word 1 answered
    RING_SAMPLE_ACCESS = 1, // pixel topic; payload AccessMessage (pixel record)
    RING_FILTER_ACCESS = 2  // image topic; payload AccessMessage (image record)
};

// Flags gather: the sender zeroes word 1, every listening node ORs in its
// need flags. Word 0 is neither set nor read.
struct FlagQuery {
    int32_t unused;
    uint32_t flags;
};

// Access hand-over: the access record's address, then a zero word.
struct AccessMessage {
    const void* access;
    void* zero;
};

// Context query: word 1 receives the image filter's context flag.
struct ContextQuery {
    int32_t unused;
    int32_t context;
};
