// Server unit pixnode: the pixel access node. Inside a node pixel filter's
// network it outputs the render buffers of the sample being rendered, read
// through the pixel access record that the filter broadcasts on the ring topic
// "Tavi_NodePixelFilter" just before it evaluates its network. Its panel's
// fifteen check boxes choose which buffers it asks the renderer to fill.
#include "../host/hostapi.h"
#include "../server/activations.h"
#include "../shared/channels.h"
#include "../shared/nodalsample.h"
#include "../shared/ring.h"
#include "../shared/servernames.h"

#include <cstdlib>

// Host services of this unit. Handler activation writes all but panelf,
// interface activation writes panelf; everything else only reads them. They
// belong to the host.
static NodeInputFuncs* inputfuncs;
static NodeOutputFuncs* outputfuncs;
static NodeFuncs* nodefuncs;
static RingFuncs* cmfunc;
static InstanceUpdateFunc instupdate;
static PanelFuncs* panelf;

// One pixel access node. The host keeps its address as the instance handle
// from create to destroy, binds its panel to it and passes it as ring data.
struct PNInstance {
    PanelID panel;                       // options panel, owned
    NodeID node;                         // the host's node, not owned
    NodeOutputID outputs[CHANNEL_COUNT]; // one per channel, owned by the node
    int32_t flags[CHANNEL_COUNT];        // per channel, non-zero on; Color, Alpha always 1
    const PixelAccess* access;           // the current sample's record, the host's
    int32_t initMode;                    // mode of the latest init; 0 serves nothing
};

enum : uint32_t { BLOCK_FLAG = blockIdOf('F', 'L', 'A', 'G') };

static const BlockID NodeBlock[] = {
    {BLOCK_FLAG, "Flags"},
    {0, nullptr},
};

#define PN_CONTROL(row, type)                                                                      \
    { bufferChannels[row].controlId, bufferChannels[row].name, type }

static const PanelControl ctrlList[] = {
    PN_CONTROL(2, "iBoolean"),  PN_CONTROL(3, "iBoolean"),  PN_CONTROL(4, "iBoolean"),
    PN_CONTROL(5, "iBoolean"),  PN_CONTROL(6, "iBoolean"),  PN_CONTROL(7, "iBoolean"),
    PN_CONTROL(8, "iBoolean"),  PN_CONTROL(9, "iBoolean"),  PN_CONTROL(10, "iBoolean"),
    PN_CONTROL(11, "iBoolean"), PN_CONTROL(12, "iBoolean"), PN_CONTROL(13, "iBoolean"),
    PN_CONTROL(14, "iBoolean"), PN_CONTROL(15, "iBoolean"), PN_CONTROL(16, "iBoolean"),
    {0, nullptr, nullptr},
};

static const PanelDataDesc dataDescrip[] = {
    PN_CONTROL(2, "integer"),  PN_CONTROL(3, "integer"),  PN_CONTROL(4, "integer"),
    PN_CONTROL(5, "integer"),  PN_CONTROL(6, "integer"),  PN_CONTROL(7, "integer"),
    PN_CONTROL(8, "integer"),  PN_CONTROL(9, "integer"),  PN_CONTROL(10, "integer"),
    PN_CONTROL(11, "integer"), PN_CONTROL(12, "integer"), PN_CONTROL(13, "integer"),
    PN_CONTROL(14, "integer"), PN_CONTROL(15, "integer"), PN_CONTROL(16, "integer"),
    {0, nullptr, nullptr},
};

#undef PN_CONTROL

// Creates or removes one output so that it exists exactly when wanted; the
// node only ever asks for outputs, so the check boxes never reach here.
static NodeOutputID changeNodeOutput(NodeID node, int wanted, NodeOutputID current,
                                     int32_t valueType, const char* name) {
    if (!wanted && current) {
        outputfuncs->destroy(node, current);
        return nullptr;
    }
    if (wanted && !current)
        return outputfuncs->create(node, valueType, name);
    return current;
}

// The flags word behind a panel control, or null for an ID that is not one of
// the fifteen check boxes.
static int32_t* flagForControl(PNInstance* inst, uint32_t controlId) {
    const BufferChannel* channel = channelForControl(controlId);
    return channel ? &inst->flags[channel - bufferChannels] : nullptr;
}

// Host: ring listener, called with the instance as data during any message on
// the topic. Keeps the sample's access record address (the host's, valid only
// during the filter call that sent it) until the next sample or cleanup.
static int32_t PNRingEvent(void* data, void*, int32_t event, void* payload) {
    PNInstance* inst = static_cast<PNInstance*>(data);
    if (!inst || !payload)
        return 0;
    if (event == RING_GATHER_FLAGS) {
        FlagQuery* query = static_cast<FlagQuery*>(payload);
        for (int i = FIRST_OPTIONAL_CHANNEL; i < CHANNEL_COUNT; ++i)
            if (inst->flags[i])
                query->flags |= bufferChannels[i].needFlags;
    } else if (event == RING_SAMPLE_ACCESS) {
        inst->access =
            static_cast<const PixelAccess*>(static_cast<AccessMessage*>(payload)->access);
    }
    return 0;
}

// Panel: the address of a check box's word, valid while the instance lives;
// null for a null instance or an ID outside 0x8001 to 0x800F.
static void* PNGet(void* instance, uint32_t controlId) {
    PNInstance* inst = static_cast<PNInstance*>(instance);
    return inst ? flagForControl(inst, controlId) : nullptr;
}

// Panel: stores the 32-bit value the panel owns at value (read during the
// call only) into a check box. Nothing else changes until the next gather.
static int32_t PNSet(void* instance, uint32_t controlId, void* value) {
    PNInstance* inst = static_cast<PNInstance*>(instance);
    if (!inst || !value)
        return 0;
    int32_t* flag = flagForControl(inst, controlId);
    if (!flag)
        return 0;
    *flag = *static_cast<const int32_t*>(value);
    return 1;
}

// Panel: a value changed; asks the host to redraw the panel, which it owns.
static int32_t PNChangeNotify(PanelID panel, void*, void*) {
    if (!panel || !panelf)
        return 0;
    return panelf->changeRefresh(panel, 0);
}

// Host: the node's options panel, built on the first request and kept by the
// instance until destroy. Every call that hands out a panel tells the host
// the instance's settings may be shown anew.
static PanelID PNPanel(Instance instance) {
    PNInstance* inst = static_cast<PNInstance*>(instance);
    if (!inst || !panelf)
        return nullptr;
    if (!inst->panel) {
        const char* name = nodefuncs ? nodefuncs->nodeName(inst->node) : nullptr;
        inst->panel = panelf->create(PANEL_TYPE_STANDARD, ctrlList);
        if (!inst->panel)
            return nullptr;
        panelf->describe(inst->panel, dataDescrip, PNGet, PNSet);
        const PanelHint hints[] = {PANEL_HINT_CHANGE_NOTIFY,
                                   reinterpret_cast<PanelHint>(PNChangeNotify),
                                   PANEL_HINT_LABEL,
                                   0,
                                   reinterpret_cast<PanelHint>(name),
                                   PANEL_HINT_END,
                                   PANEL_HINT_END};
        panelf->hint(inst->panel, 0, hints);
        panelf->bindInstance(inst->panel, inst);
        panelf->bindUserData(inst->panel, 0, inst);
    }
    if (instupdate)
        instupdate(CLASS_NODE_HANDLER, inst);
    return inst->panel;
}

// Host: a node placed in a network. Keeps the host's node (context) for the
// node's life; the record it returns is the host's handle until destroy.
static Instance PNCreate(void*, void* context, const char** error) {
    PNInstance* inst = static_cast<PNInstance*>(calloc(1, sizeof(PNInstance)));
    if (!inst) {
        if (error)
            *error = "Couldn't allocate memory for instance.";
        return nullptr;
    }
    inst->node = static_cast<NodeID>(context);
    inst->panel = nullptr;
    nodefuncs->setNodeMode(inst->node, 2);
    inst->flags[0] = 1; // Color and Alpha are always there
    inst->flags[1] = 1;
    for (int i = 0; i < CHANNEL_COUNT; ++i)
        inst->outputs[i] = changeNodeOutput(inst->node, 1, inst->outputs[i],
                                            bufferChannels[i].valueType, bufferChannels[i].name);
    cmfunc->attach(RING_TOPIC_PIXEL, inst, PNRingEvent);
    return inst;
}

// Host: the node is going away. Detaches first so that no ring message reaches
// the record, then releases its panel; the outputs go with the host's node.
static void PNDestroy(Instance instance) {
    PNInstance* inst = static_cast<PNInstance*>(instance);
    if (!inst)
        return;
    cmfunc->detach(RING_TOPIC_PIXEL, inst);
    if (inst->panel && panelf)
        panelf->destroy(inst->panel);
    free(inst);
}

// Host: the node has nothing to copy; the check boxes stay as they were.
static const char* PNCopy(Instance, Instance) {
    return nullptr;
}

// Host: reads the check boxes; the stream record is the host's and used during
// the call only. Color and Alpha are on whatever the stream held.
static const char* PNLoad(Instance instance, const LoadState* load) {
    PNInstance* inst = static_cast<PNInstance*>(instance);
    if (!inst || !load)
        return nullptr;
    void* d = load->readData;
    for (uint32_t id; (id = load->findBlock(d, NodeBlock)) != 0;) {
        if (id == BLOCK_FLAG)
            load->readInts(d, inst->flags, CHANNEL_COUNT);
        load->endBlock(d);
    }
    inst->flags[0] = 1;
    inst->flags[1] = 1;
    return nullptr;
}

// Host: writes the seventeen channel words; the stream record is the host's
// and used during the call only.
static const char* PNSave(Instance instance, const SaveState* save) {
    const PNInstance* inst = static_cast<const PNInstance*>(instance);
    if (!inst || !save)
        return nullptr;
    void* d = save->writeData;
    save->beginBlock(d, &NodeBlock[0], 1);
    save->writeInts(d, inst->flags, CHANNEL_COUNT);
    save->endBlock(d);
    return nullptr;
}

// Host (through the filter's network): a render is starting. Only zero and
// non-zero modes differ to the node.
static const char* PNInit(Instance instance, int32_t mode) {
    PNInstance* inst = static_cast<PNInstance*>(instance);
    if (inst)
        inst->initMode = mode;
    return nullptr;
}

// Host (through the filter's network): the render is over; the access record
// it was reading is no longer valid.
static void PNCleanup(Instance instance) {
    PNInstance* inst = static_cast<PNInstance*>(instance);
    if (inst)
        inst->access = nullptr;
}

// Host (through the filter's network): a new frame; the node keeps nothing.
static const char* PNNewTime(Instance, int32_t, double) {
    return nullptr;
}

// Host: the value of one output for the current sample, called inside the
// filter's evaluate that delivered the access record. The sample record and
// the value handle are the host's, used during the call only. Allocates
// nothing.
static void PNEvaluate(Instance instance, NodalSample*, NodeOutputID output, NodeValue value) {
    const PNInstance* inst = static_cast<const PNInstance*>(instance);
    if (!inst || !inst->initMode || !inst->access)
        return;
    float buffer[3] = {0.0f, 0.0f, 0.0f};
    // A null output is none of the node's, even where an output create failed.
    for (int i = 0; output && i < CHANNEL_COUNT; ++i) {
        if (inst->outputs[i] == output) {
            inst->access->getValue(bufferChannels[i].bufferCode, bufferChannels[i].components,
                                   buffer);
            break;
        }
    }
    const double doubles[3] = {buffer[0], buffer[1], buffer[2]};
    outputfuncs->setValue(value, doubles);
}

// Host: activation of the node handler. Keeps the host's service tables (they
// live as long as the host) and fills the host's handler record.
int PNHandler(int version, GlobalFunc global, void* local, void*) {
    NodeHandler* handler = static_cast<NodeHandler*>(local);
    if (!handler || !handler->inst)
        return ACTIVATE_NO_RECORD;
    if (version != 1)
        return ACTIVATE_BAD_VERSION;
    if (!global)
        return ACTIVATE_MISSING_SERVICE;
    inputfuncs = static_cast<NodeInputFuncs*>(global(SERVICE_NODE_INPUT, 0));
    outputfuncs = static_cast<NodeOutputFuncs*>(global(SERVICE_NODE_OUTPUT, 0));
    nodefuncs = static_cast<NodeFuncs*>(global(SERVICE_NODE, 0));
    cmfunc = static_cast<RingFuncs*>(global(SERVICE_RING, 0));
    instupdate = reinterpret_cast<InstanceUpdateFunc>(global(SERVICE_INSTANCE_UPDATE, 0));
    if (!inputfuncs || !outputfuncs || !nodefuncs || !cmfunc || !instupdate)
        return ACTIVATE_MISSING_SERVICE;

    InstanceFuncs* inst = handler->inst;
    inst->priv = reinterpret_cast<void*>(global);
    inst->create = PNCreate;
    inst->destroy = PNDestroy;
    inst->copy = PNCopy;
    inst->load = PNLoad;
    inst->save = PNSave;
    if (handler->rend) {
        handler->rend->init = PNInit;
        handler->rend->cleanup = PNCleanup;
        handler->rend->newTime = PNNewTime;
    }
    handler->evaluate = PNEvaluate;
    return ACTIVATE_OK;
}

// Host: the user opens the node's options; the interface record is the
// host's and used during the call only. Hands back the node's panel.
int PNInterface(int, GlobalFunc global, void* local, void*) {
    InterfaceRecord* record = static_cast<InterfaceRecord*>(local);
    if (!record)
        return ACTIVATE_NO_RECORD;
    panelf = global ? static_cast<PanelFuncs*>(global(SERVICE_PANELS, 0)) : nullptr;
    if (!panelf)
        return ACTIVATE_MISSING_SERVICE;
    record->panel = PNPanel(record->inst);
    record->options = nullptr;
    record->command = nullptr;
    return ACTIVATE_OK;
}
