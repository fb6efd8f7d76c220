// Server unit imgnode: the image access node. Inside a node image filter's
// network it outputs the rendered buffers at the pixel being filtered, or at
// the pixel its "Image X" and "Image Y" inputs choose. It learns the frame's
// access record, and reports the buffers its panel switched on, over the ring.
#include "../host/hostapi.h"
#include "../server/activations.h"
#include "../shared/channels.h"
#include "../shared/nodalsample.h"
#include "../shared/ring.h"
#include "../shared/servernames.h"

#include <cstdlib>
#include <cstring>

enum {
    OUTPUT_IMAGE_X = 0,
    OUTPUT_IMAGE_Y = 1,
    FIRST_CHANNEL_OUTPUT = 2, // outputs 2..18 are the channels, in table order
    OUTPUT_COUNT = 2 + CHANNEL_COUNT,
    FIRST_TOGGLE_FLAG = 4, // flags 4..18 are the fifteen panel toggles
    ALWAYS_ON_FLAGS = 4    // flags 0..3 (Image X, Image Y, Color, Alpha)
};

// One image access node as the host holds it.
struct INInstance {
    PanelID panel;                      // built by INPanel; owned, destroyed with us
    NodeID node;                        // the host node; not owned
    NodeInputID inputX;                 // "Image X"; owned by the host node
    NodeInputID inputY;                 // "Image Y"; owned by the host node
    NodeOutputID outputs[OUTPUT_COUNT]; // owned by the host node
    int32_t flags[OUTPUT_COUNT];        // one per output; non-zero means enabled
    int32_t lastX;                      // pixel last computed by evaluate, unclamped
    int32_t lastY;
    const FilterAccess* access; // this pass's record; not owned, null when none
};

// Host services of this unit, written at activation and read afterwards.
static const NodeInputFuncs* inputfuncs;
static const NodeOutputFuncs* outputfuncs;
static const NodeFuncs* nodefuncs;
static const RingFuncs* cmfunc;
static InstanceUpdateFunc instupdate; // required by activation, never called
static const PanelFuncs* panelf;

static const BlockID NodeBlock[] = {
    {blockIdOf('F', 'L', 'A', 'G'), "Flags"},
    {0, nullptr},
};

#define IN_TOGGLE(k, type)                                                                         \
    { 0x8001u + k, bufferChannels[FIRST_OPTIONAL_CHANNEL + k].name, type }
#define IN_TOGGLES(type)                                                                           \
    IN_TOGGLE(0, type), IN_TOGGLE(1, type), IN_TOGGLE(2, type), IN_TOGGLE(3, type),                \
        IN_TOGGLE(4, type), IN_TOGGLE(5, type), IN_TOGGLE(6, type), IN_TOGGLE(7, type),            \
        IN_TOGGLE(8, type), IN_TOGGLE(9, type), IN_TOGGLE(10, type), IN_TOGGLE(11, type),          \
        IN_TOGGLE(12, type), IN_TOGGLE(13, type), IN_TOGGLE(14, type)

static const PanelControl ctrlList[] = {IN_TOGGLES("iBoolean"), {0, nullptr, nullptr}};
static const PanelDataDesc dataDescrip[] = {IN_TOGGLES("integer"), {0, nullptr, nullptr}};

#undef IN_TOGGLES
#undef IN_TOGGLE

static const char* const kAllocError = "Couldn't allocate memory for instance.";

// Creates or removes one output so that it exists exactly when wanted is 1.
static NodeOutputID changeNodeOutput(NodeID node, int32_t wanted, NodeOutputID current,
                                     int32_t valueType, const char* name) {
    if (wanted == 0 && current) {
        outputfuncs->destroy(node, current);
        return nullptr;
    }
    if (wanted == 1 && !current)
        return outputfuncs->create(node, valueType, name);
    return current;
}

// Reads one buffer at (x, y) into out[0]; 0 in out[0] and a 0 result when the
// renderer did not fill that buffer.
static int32_t getScalerBuf(const FilterAccess* access, int32_t x, int32_t y, int32_t code,
                            double* out) {
    const float* row = access->getLine(code, y);
    if (row) {
        out[0] = row[x];
        return 1;
    }
    out[0] = 0.0;
    return 0;
}

// Reads three consecutive buffers at (x, y); all three zero and a 0 result
// when any of the rows is missing.
static int32_t getVectorBuf(const FilterAccess* access, int32_t x, int32_t y, int32_t code,
                            double* out) {
    const float* first = access->getLine(code, y);
    const float* second = access->getLine(code + 1, y);
    const float* third = access->getLine(code + 2, y);
    if (first && second && third) {
        out[0] = first[x];
        out[1] = second[x];
        out[2] = third[x];
        return 1;
    }
    out[0] = out[1] = out[2] = 0.0;
    return 0;
}

// Maps a position value (-1 at the first pixel, towards 1 at the far edge) to
// a pixel index by truncation. A product that does not fit a signed 32-bit
// integer, or is not a number, becomes the most negative one, which later
// clamps to pixel 0; converting it directly would be undefined.
static int32_t positionToPixel(double value, int32_t size) {
    const double product = (value + 1.0) * 0.5 * static_cast<double>(size);
    if (product > -2147483649.0 && product < 2147483648.0)
        return static_cast<int32_t>(product);
    return INT32_MIN;
}

// The position output at pixel index i of size: 2i / size - 1.
static double pixelToPosition(int32_t index, int32_t size) {
    return static_cast<double>(2 * static_cast<int64_t>(index)) / size - 1.0;
}

// Called by the ring for every message on the image topic; the payload is the
// sender's. A flags gather reads nothing of it but word 1; an access hand-over
// leaves the record's address here until the next hand-over or cleanup.
static int32_t INRingEvent(void* data, void*, int32_t event, void* payload) {
    INInstance* inst = static_cast<INInstance*>(data);
    if (!inst || !payload)
        return 0;
    if (event == RING_GATHER_FLAGS) {
        FlagQuery* query = static_cast<FlagQuery*>(payload);
        for (int k = 0; k < OPTIONAL_CHANNEL_COUNT; ++k)
            if (inst->flags[FIRST_TOGGLE_FLAG + k] != 0)
                query->flags |= bufferChannels[FIRST_OPTIONAL_CHANNEL + k].needFlags;
    } else if (event == RING_FILTER_ACCESS) {
        inst->access =
            static_cast<const FilterAccess*>(static_cast<const AccessMessage*>(payload)->access);
    }
    return 0;
}

// Called by the host when the node is placed in a network; context is the
// host node, which the instance refers to but does not own. The host owns the
// returned record until destroy.
static Instance INCreate(void*, void* context, const char** error) {
    INInstance* inst = static_cast<INInstance*>(calloc(1, sizeof(INInstance)));
    if (!inst) {
        if (error)
            *error = kAllocError;
        return nullptr;
    }
    inst->node = static_cast<NodeID>(context);
    inst->panel = nullptr;
    nodefuncs->setNodeMode(inst->node, 2);
    inst->inputX = inputfuncs->create(inst->node, VALUE_SCALAR, "Image X", nullptr);
    inst->inputY = inputfuncs->create(inst->node, VALUE_SCALAR, "Image Y", nullptr);
    for (int i = 0; i < ALWAYS_ON_FLAGS; ++i)
        inst->flags[i] = 1;
    inst->outputs[OUTPUT_IMAGE_X] =
        changeNodeOutput(inst->node, 1, inst->outputs[OUTPUT_IMAGE_X], VALUE_SCALAR, "Image X");
    inst->outputs[OUTPUT_IMAGE_Y] =
        changeNodeOutput(inst->node, 1, inst->outputs[OUTPUT_IMAGE_Y], VALUE_SCALAR, "Image Y");
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        NodeOutputID& output = inst->outputs[FIRST_CHANNEL_OUTPUT + c];
        output = changeNodeOutput(inst->node, 1, output, bufferChannels[c].valueType,
                                  bufferChannels[c].name);
    }
    cmfunc->attach(RING_TOPIC_IMAGE, inst, INRingEvent);
    return inst;
}

// Called by the host when the node is removed; detaches before its panel and
// record are released. Inputs and outputs belong to the host node.
static void INDestroy(Instance instance) {
    INInstance* inst = static_cast<INInstance*>(instance);
    if (!inst)
        return;
    cmfunc->detach(RING_TOPIC_IMAGE, inst);
    if (inst->panel && panelf)
        panelf->destroy(inst->panel);
    free(inst);
}

// Called by the host to duplicate a node; the toggles are not copied.
static const char* INCopy(Instance, Instance) {
    return nullptr;
}

// Called by the host while reading a scene; the stream record is the host's
// and is used only during the call. Reads the toggles from a "FLAG" block.
static const char* INLoad(Instance instance, const LoadState* load) {
    INInstance* inst = static_cast<INInstance*>(instance);
    if (!inst || !load)
        return nullptr;
    for (;;) {
        const uint32_t id = load->findBlock(load->readData, NodeBlock);
        if (id == 0)
            break;
        if (id == NodeBlock[0].id)
            load->readInts(load->readData, inst->flags, OUTPUT_COUNT);
        load->endBlock(load->readData);
    }
    for (int i = 0; i < ALWAYS_ON_FLAGS; ++i)
        inst->flags[i] = 1;
    return nullptr;
}

// Called by the host while writing a scene; the stream record is the host's
// and is used only during the call. Writes the nineteen flag words.
static const char* INSave(Instance instance, const SaveState* save) {
    const INInstance* inst = static_cast<const INInstance*>(instance);
    if (!inst || !save)
        return nullptr;
    save->beginBlock(save->writeData, &NodeBlock[0], 1);
    save->writeInts(save->writeData, inst->flags, OUTPUT_COUNT);
    save->endBlock(save->writeData);
    return nullptr;
}

// Called through the node editor when a pass opens its network; nothing to do.
static const char* INInit(Instance, int32_t) {
    return nullptr;
}

// Called through the node editor when a pass closes: the pass's access record
// stops being valid, so it is forgotten.
static void INCleanup(Instance instance) {
    INInstance* inst = static_cast<INInstance*>(instance);
    if (inst)
        inst->access = nullptr;
}

// Called through the node editor at the start of a pass: no pixel position is
// (-1, -1), so the first evaluate of the frame always computes its position.
static const char* INNewTime(Instance instance, int32_t, double) {
    INInstance* inst = static_cast<INInstance*>(instance);
    if (inst) {
        inst->lastX = -1;
        inst->lastY = -1;
    }
    return nullptr;
}

// Called by the host, inside a filter pass, for one output at one sample. The
// sample and value handle are the host's for this call; the access record
// kept from the ring is read only here, while the pass that sent it runs.
static void INEvaluate(Instance instance, NodalSample* sample, NodeOutputID output,
                       NodeValue value) {
    INInstance* inst = static_cast<INInstance*>(instance);
    if (!inst || !sample)
        return;
    const FilterAccess* access = inst->access;
    if (!access)
        return;

    double buffer[3] = {0.0, 0.0, 0.0};
    const int32_t width = access->width;
    const int32_t height = access->height;

    // The inputs are evaluated only when the sample moved to another pixel
    // than the one last computed.
    if (inst->lastX != sample->pixelX || inst->lastY != sample->pixelY) {
        if (inputfuncs->connected(inst->inputX)) {
            inputfuncs->evaluate(inst->inputX, sample, buffer);
            inst->lastX = positionToPixel(buffer[0], width);
        } else {
            inst->lastX = sample->pixelX;
        }
        if (inputfuncs->connected(inst->inputY)) {
            inputfuncs->evaluate(inst->inputY, sample, buffer);
            inst->lastY = positionToPixel(buffer[0], height);
        } else {
            inst->lastY = sample->pixelY;
        }
    }

    int32_t x = inst->lastX;
    if (x < 0)
        x = 0;
    if (x >= width)
        x = width - 1;
    int32_t y = inst->lastY;
    if (y < 0)
        y = 0;
    if (y >= height)
        y = height - 1;
    // An empty image has no pixel to read.
    const bool readable = x >= 0 && y >= 0;

    int index = 0;
    while (index < OUTPUT_COUNT && inst->outputs[index] != output)
        ++index;

    buffer[0] = buffer[1] = buffer[2] = 0.0;
    if (!readable || index == OUTPUT_COUNT) {
        // Nothing to read, or an output that is none of ours: zeros.
    } else if (index == OUTPUT_IMAGE_X) {
        buffer[0] = pixelToPosition(x, width);
    } else if (index == OUTPUT_IMAGE_Y) {
        buffer[0] = pixelToPosition(y, height);
    } else {
        const BufferChannel& channel = bufferChannels[index - FIRST_CHANNEL_OUTPUT];
        if (channel.valueType == VALUE_COLOR)
            getVectorBuf(access, x, y, channel.bufferCode, buffer);
        else
            getScalerBuf(access, x, y, channel.bufferCode, buffer);
    }
    outputfuncs->setValue(value, buffer);
}

// The flag word behind a panel control, or null for an ID outside the
// fifteen toggles, so that nothing else of the record can be reached.
static int32_t* toggleWord(INInstance* inst, uint32_t controlId) {
    if (!inst || !channelForControl(controlId))
        return nullptr;
    return &inst->flags[FIRST_TOGGLE_FLAG + (controlId - PANEL_FIRST_CONTROL)];
}

// Called by the panel to read a toggle; the returned address stays valid as
// long as the instance.
static void* INGet(void* instance, uint32_t controlId) {
    return toggleWord(static_cast<INInstance*>(instance), controlId);
}

// Called by the panel to store a toggle; the value address is the panel's and
// is read during the call only.
static int32_t INSet(void* instance, uint32_t controlId, void* value) {
    int32_t* word = toggleWord(static_cast<INInstance*>(instance), controlId);
    if (!word || !value)
        return 0;
    memcpy(word, value, sizeof *word);
    return 1;
}

// Called by the panel after a value changed; refreshes the panel.
static int32_t INChangeNotify(PanelID panel, void*, void*) {
    if (!panel || !panelf)
        return 0;
    return panelf->changeRefresh(panel, 0);
}

// Builds the node's panel once and keeps it until destroy; later calls return
// the same panel. The hint list is read by the panel during the call only.
static PanelID INPanel(INInstance* inst) {
    if (!inst)
        return nullptr;
    if (inst->panel)
        return inst->panel;
    if (!panelf)
        return nullptr;
    const char* label = nodefuncs->nodeName(inst->node);
    inst->panel = panelf->create(PANEL_TYPE_STANDARD, ctrlList);
    if (!inst->panel)
        return nullptr;
    panelf->describe(inst->panel, dataDescrip, INGet, INSet);
    const PanelHint hints[] = {PANEL_HINT_CHANGE_NOTIFY,
                               reinterpret_cast<PanelHint>(INChangeNotify),
                               PANEL_HINT_LABEL,
                               0,
                               reinterpret_cast<PanelHint>(label),
                               PANEL_HINT_END,
                               PANEL_HINT_END};
    panelf->hint(inst->panel, 0, hints);
    panelf->bindInstance(inst->panel, inst);
    panelf->bindUserData(inst->panel, 0, inst);
    return inst->panel;
}

// Handler activation: called by the host with its lookup function and the
// handler record to fill. The record is the host's; the unit keeps only the
// service pointers, which stay valid while the host runs.
int INHandler(int version, GlobalFunc global, void* local, void*) {
    NodeHandler* handler = static_cast<NodeHandler*>(local);
    if (!handler || !handler->inst || !handler->rend)
        return ACTIVATE_NO_RECORD;
    if (version != 1)
        return ACTIVATE_BAD_VERSION;
    if (!global)
        return ACTIVATE_MISSING_SERVICE;
    inputfuncs = static_cast<const NodeInputFuncs*>(global(SERVICE_NODE_INPUT, 0));
    outputfuncs = static_cast<const NodeOutputFuncs*>(global(SERVICE_NODE_OUTPUT, 0));
    nodefuncs = static_cast<const NodeFuncs*>(global(SERVICE_NODE, 0));
    cmfunc = static_cast<const RingFuncs*>(global(SERVICE_RING, 0));
    instupdate = reinterpret_cast<InstanceUpdateFunc>(global(SERVICE_INSTANCE_UPDATE, 0));
    if (!inputfuncs || !outputfuncs || !nodefuncs || !cmfunc || !instupdate)
        return ACTIVATE_MISSING_SERVICE;

    InstanceFuncs* table = handler->inst;
    table->priv = reinterpret_cast<void*>(global);
    table->create = INCreate;
    table->destroy = INDestroy;
    table->copy = INCopy;
    table->load = INLoad;
    table->save = INSave;
    RenderFuncs* render = handler->rend;
    render->init = INInit;
    render->cleanup = INCleanup;
    render->newTime = INNewTime;
    handler->evaluate = INEvaluate;
    return ACTIVATE_OK;
}

// Interface activation: called when the user opens the node's options with the
// instance in word 0 of the interface record, which stays the host's. Puts
// the node's panel (built once, owned by the instance) in word 1.
int INInterface(int, GlobalFunc global, void* local, void*) {
    InterfaceRecord* record = static_cast<InterfaceRecord*>(local);
    if (!record)
        return ACTIVATE_NO_RECORD;
    panelf = global ? static_cast<const PanelFuncs*>(global(SERVICE_PANELS, 0)) : nullptr;
    if (!panelf)
        return ACTIVATE_MISSING_SERVICE;
    record->panel = INPanel(static_cast<INInstance*>(record->inst));
    record->options = nullptr;
    record->command = nullptr;
    return ACTIVATE_OK;
}
