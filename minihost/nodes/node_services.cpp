// The four node-graph service tables the module looks up: "NodeEditorFuncs",
// "NodeFuncs", "NodeInputFuncs" and "NodeOutputFuncs". Every function here is
// called by the module; none lets an exception out, and each answers a
// handle it does not know (or null) with its failure value.
#include "../node_services.h"

#include "../host.h"
#include "network_io.h"
#include "node_editor.h"

namespace minihost {

namespace {

// What a service answers when the module hands it no editor or no stream.
constexpr const char* kNoEditor = "No such node editor or stream.";

// Evaluations the module asks for without a sample see an empty one.
const NodalSample kEmptySample{};

NodeEditor* editorOf(NodeEditorID handle) {
    Host* host = Host::tryCurrent();
    return host && handle ? host->nodeEditors().find(handle) : nullptr;
}

// ---- "NodeEditorFuncs" ----

// Called by a filter's create. The editor belongs to the host's registry
// until node-editor destroy; userData is only stored, never dereferenced.
NodeEditorID editorCreate(const char* name, const char* title, const NodeEditorInit* init,
                          void* userData) {
    Host* host = Host::tryCurrent();
    if (!host)
        return nullptr;
    try {
        return host->nodeEditors()
            .create(name ? name : "", title ? title : "", init, userData)
            .handle();
    } catch (...) {
        return nullptr;
    }
}

// Called by a filter's destroy; the handle is invalid afterwards.
void editorDestroy(NodeEditorID editor) {
    if (Host* host = Host::tryCurrent())
        host->nodeEditors().destroy(editor);
}

// The function is kept until replaced; it is a module function, not owned.
void editorSetDisplayEvent(NodeEditorID editor, NodeDisplayEventFunc func) {
    if (NodeEditor* e = editorOf(editor))
        e->setDisplayEvent(func);
}

// Called by a filter's copy: 1 after copying, 0 when nothing was copied
// (the destination is then as it was).
int32_t editorCopy(NodeEditorID to, NodeEditorID from) {
    NodeEditor* destination = editorOf(to);
    NodeEditor* source = editorOf(from);
    if (!destination || !source)
        return 0;
    try {
        copyNetwork(destination->network(), source->network());
        destination->setLastError({});
        return 1;
    } catch (const std::exception& e) {
        destination->setLastError(e.what());
        return 0;
    } catch (...) {
        return 0;
    }
}

// Called by a filter's save inside its own open block; the record belongs to
// the caller and is used only during the call.
const char* editorSave(NodeEditorID editor, const SaveState* save) {
    NodeEditor* e = editorOf(editor);
    if (!e || !save)
        return kNoEditor;
    try {
        saveNetwork(e->network(), *save);
        e->setLastError({});
        return nullptr;
    } catch (const NetworkIoError& error) {
        e->setLastError(error.what());
        return error.text();
    } catch (const std::exception& error) {
        e->setLastError(error.what());
        return kNetworkNodeSave;
    } catch (...) {
        return kNetworkNodeSave;
    }
}

// Called by a filter's load after it found its network block; the record
// belongs to the caller. On failure the network is left as it was.
const char* editorLoad(NodeEditorID editor, const LoadState* load) {
    NodeEditor* e = editorOf(editor);
    if (!e || !load)
        return kNoEditor;
    try {
        loadNetwork(e->network(), *load);
        e->setLastError({});
        return nullptr;
    } catch (const NetworkIoError& error) {
        e->setLastError(error.what());
        return error.text();
    } catch (const std::exception& error) {
        e->setLastError(error.what());
        return kNetworkMalformed;
    } catch (...) {
        return kNetworkMalformed;
    }
}

// Render state: reaches every module node's render table. Module callbacks
// are C functions and do not throw.
void editorInit(NodeEditorID editor, int32_t mode) {
    if (NodeEditor* e = editorOf(editor))
        e->network().init(mode);
}

void editorNewTime(NodeEditorID editor, int32_t frame, double time) {
    if (NodeEditor* e = editorOf(editor))
        e->network().newTime(frame, time);
}

void editorCleanup(NodeEditorID editor) {
    if (NodeEditor* e = editorOf(editor))
        e->network().cleanup();
}

// Called by a filter's create; the input lives as long as the editor. The
// name is copied.
NodeInputID editorAddRootInput(NodeEditorID editor, int32_t type, const char* name, void*) {
    NodeEditor* e = editorOf(editor);
    if (!e || !name || !isValueType(type))
        return nullptr;
    try {
        return e->addRootInput(static_cast<ValueType>(type), name).handle();
    } catch (...) {
        return nullptr;
    }
}

// The group is the envelope service's handle; stored, not owned.
void editorSetEnvGroup(NodeEditorID editor, EnvGroupID group) {
    if (NodeEditor* e = editorOf(editor))
        e->setEnvelopeGroup(group);
}

// Kept until replaced; the host calls it when it sizes the editor view.
void editorSetAutosize(NodeEditorID editor, NodeAutosizeFunc func) {
    if (NodeEditor* e = editorOf(editor))
        e->setAutosize(func);
}

// Called from display-event and root-panel functions with any node of an
// editor, the root included.
void* editorUserData(NodeID node) {
    const Node* n = Node::fromHandle(node);
    return n ? n->network().editor().userData() : nullptr;
}

// Called by a filter's interface activation; a headless host only counts it.
void editorOpen(NodeEditorID editor) {
    if (NodeEditor* e = editorOf(editor))
        e->open();
}

// The root node lives as long as the editor.
NodeID editorRootNode(NodeEditorID editor) {
    NodeEditor* e = editorOf(editor);
    return e ? e->network().root().handle() : nullptr;
}

// ---- "NodeFuncs" ----

// The text stays valid until the node is renamed or removed.
const char* nodeName(NodeID node) {
    const Node* n = Node::fromHandle(node);
    return n ? n->name().c_str() : nullptr;
}

// Called once on every node a server sets up; the mode is recorded.
void nodeSetMode(NodeID node, int32_t mode) {
    if (Node* n = Node::fromHandle(node))
        n->setMode(mode);
}

// ---- "NodeInputFuncs" ----

// Called by a node's create; the input lives as long as the node.
NodeInputID inputCreate(NodeID node, int32_t type, const char* name, void*) {
    Node* n = Node::fromHandle(node);
    if (!n || !name || !isValueType(type))
        return nullptr;
    try {
        return n->addInput(name, static_cast<ValueType>(type)).handle();
    } catch (...) {
        return nullptr;
    }
}

// The hot path: called for every pixel or sample. Writes one double for a
// scalar input, three for a colour input; 1 when it wrote, 0 otherwise.
int32_t inputEvaluate(NodeInputID input, NodalSample* sample, double* out) {
    const Input* in = Input::fromHandle(input);
    if (!in || !out)
        return 0;
    in->evaluate(sample ? *sample : kEmptySample, out);
    return 1;
}

// Callable at any time, also outside evaluation: 1 when an output feeds it.
int32_t inputConnected(NodeInputID input) {
    const Input* in = Input::fromHandle(input);
    return in && in->connected() ? 1 : 0;
}

// ---- "NodeOutputFuncs" ----

// Called by a node's create; the output lives until output destroy or the
// node goes.
NodeOutputID outputCreate(NodeID node, int32_t type, const char* name) {
    Node* n = Node::fromHandle(node);
    if (!n || !name || !isValueType(type))
        return nullptr;
    try {
        return n->addOutput(name, static_cast<ValueType>(type)).handle();
    } catch (...) {
        return nullptr;
    }
}

// Removes the output and the connections it fed.
void outputDestroy(NodeID node, NodeOutputID output) {
    Node* n = Node::fromHandle(node);
    Output* out = Output::fromHandle(output);
    if (!n || !out || &out->node() != n)
        return;
    try {
        n->removeOutput(*out);
    } catch (...) {
    }
}

// Called from a node's evaluate with the value handle it was given; copies
// one double for a scalar output, three for a colour output.
int32_t outputSetValue(NodeValue value, const double* values) {
    ValueSlot* slot = ValueSlot::fromHandle(value);
    if (!slot || !values)
        return 0;
    for (int i = 0; i < slot->count; ++i)
        slot->values[i] = values[i];
    return 1;
}

const NodeEditorFuncs kEditorTable = {
    editorCreate,
    editorDestroy,
    nullptr,
    editorSetDisplayEvent,
    editorCopy,
    editorSave,
    editorLoad,
    editorInit,
    editorNewTime,
    editorCleanup,
    editorAddRootInput,
    editorSetEnvGroup,
    editorSetAutosize,
    nullptr,
    editorUserData,
    {},
    editorOpen,
    nullptr,
    editorRootNode,
};

const NodeFuncs kNodeTable = {nodeName, {}, nodeSetMode};
const NodeInputFuncs kInputTable = {inputCreate, nullptr, inputEvaluate, inputConnected};
const NodeOutputFuncs kOutputTable = {outputCreate, outputDestroy, outputSetValue};

} // namespace

void provideNodeServices(Host& host) {
    host.provide(SERVICE_NODE_EDITOR, const_cast<NodeEditorFuncs*>(&kEditorTable));
    host.provide(SERVICE_NODE, const_cast<NodeFuncs*>(&kNodeTable));
    host.provide(SERVICE_NODE_INPUT, const_cast<NodeInputFuncs*>(&kInputTable));
    host.provide(SERVICE_NODE_OUTPUT, const_cast<NodeOutputFuncs*>(&kOutputTable));
}

} // namespace minihost
