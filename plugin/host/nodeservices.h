// The host's node-graph services: node editor, node, node input and node
// output tables, and the callbacks the module hands to the node editor.
#pragma once

#include "handles.h"

struct LoadState;
struct SaveState;
struct NodalSample;

// Callbacks a filter gives the node editor.
typedef void (*NodeDisplayEventFunc)(NodeID node);
typedef int32_t (*NodeAutosizeFunc)(void* first, void* second, double* sixDoubles);
typedef PanelID (*RootNodePanelFunc)(NodeID node);

// Node-editor init record: eight words, zero but for the root-node panel.
struct NodeEditorInit {
    void* reserved0[4];
    RootNodePanelFunc rootPanel;
    void* reserved5[3];
};

// "NodeEditorFuncs".
struct NodeEditorFuncs {
    NodeEditorID (*create)(const char* name, const char* title, const NodeEditorInit* init,
                           void* userData);
    void (*destroy)(NodeEditorID editor);
    HostFunc reserved2;
    void (*setDisplayEvent)(NodeEditorID editor, NodeDisplayEventFunc func);
    int32_t (*copy)(NodeEditorID to, NodeEditorID from);
    const char* (*save)(NodeEditorID editor, const SaveState* save);
    const char* (*load)(NodeEditorID editor, const LoadState* load);
    void (*init)(NodeEditorID editor, int32_t mode);
    void (*newTime)(NodeEditorID editor, int32_t frame, double time);
    void (*cleanup)(NodeEditorID editor);
    NodeInputID (*addRootInput)(NodeEditorID editor, int32_t type, const char* name,
                                void* reserved);
    void (*setEnvGroup)(NodeEditorID editor, EnvGroupID group);
    void (*setAutosize)(NodeEditorID editor, NodeAutosizeFunc func);
    HostFunc reserved13;
    void* (*userData)(NodeID node);
    HostFunc reserved15[5];
    void (*open)(NodeEditorID editor);
    HostFunc reserved21;
    NodeID (*rootNode)(NodeEditorID editor);
};

// "NodeFuncs".
struct NodeFuncs {
    const char* (*nodeName)(NodeID node);
    HostFunc reserved1[4];
    void (*setNodeMode)(NodeID node, int32_t mode);
};

// "NodeInputFuncs".
struct NodeInputFuncs {
    NodeInputID (*create)(NodeID node, int32_t type, const char* name, void* reserved);
    HostFunc reserved1;
    // Fills one double for a scalar input, three for a colour input.
    int32_t (*evaluate)(NodeInputID input, NodalSample* sample, double* out);
    int32_t (*connected)(NodeInputID input);
};

// "NodeOutputFuncs".
struct NodeOutputFuncs {
    NodeOutputID (*create)(NodeID node, int32_t type, const char* name);
    void (*destroy)(NodeID node, NodeOutputID output);
    int32_t (*setValue)(NodeValue value, const double* values);
};

#if TAVI_ABI32
static_assert(sizeof(NodeEditorInit) == 32, "init record is eight words");
static_assert(offsetof(NodeEditorInit, rootPanel) == 16, "root panel is word 4");
static_assert(offsetof(NodeEditorFuncs, setDisplayEvent) == 3 * 4, "slot 3");
static_assert(offsetof(NodeEditorFuncs, copy) == 4 * 4, "slot 4");
static_assert(offsetof(NodeEditorFuncs, save) == 5 * 4, "slot 5");
static_assert(offsetof(NodeEditorFuncs, load) == 6 * 4, "slot 6");
static_assert(offsetof(NodeEditorFuncs, init) == 7 * 4, "slot 7");
static_assert(offsetof(NodeEditorFuncs, newTime) == 8 * 4, "slot 8");
static_assert(offsetof(NodeEditorFuncs, cleanup) == 9 * 4, "slot 9");
static_assert(offsetof(NodeEditorFuncs, addRootInput) == 10 * 4, "slot 10");
static_assert(offsetof(NodeEditorFuncs, setEnvGroup) == 11 * 4, "slot 11");
static_assert(offsetof(NodeEditorFuncs, setAutosize) == 12 * 4, "slot 12");
static_assert(offsetof(NodeEditorFuncs, userData) == 14 * 4, "slot 14");
static_assert(offsetof(NodeEditorFuncs, open) == 20 * 4, "slot 20");
static_assert(offsetof(NodeEditorFuncs, rootNode) == 22 * 4, "slot 22");
static_assert(offsetof(NodeFuncs, setNodeMode) == 5 * 4, "node set mode is slot 5");
static_assert(offsetof(NodeInputFuncs, evaluate) == 2 * 4, "input evaluate is slot 2");
static_assert(offsetof(NodeInputFuncs, connected) == 3 * 4, "input connected is slot 3");
static_assert(offsetof(NodeOutputFuncs, destroy) == 1 * 4, "output destroy is slot 1");
static_assert(offsetof(NodeOutputFuncs, setValue) == 2 * 4, "output set value is slot 2");
#endif
