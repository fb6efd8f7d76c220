// Server unit pixfilt: the node pixel filter. While the host renders it runs
// the filter's node network once per sample and writes every connected root
// input into the matching render buffer; Color and Alpha are always written
// (passed through unchanged when nothing feeds them). Its pixel access nodes
// meet it on the ring topic "Tavi_NodePixelFilter": a flags gather learns which
// buffers they read, and each evaluate hands them the sample's access record.
#include "../host/hostapi.h"
#include "../server/activations.h"
#include "../shared/channels.h"
#include "../shared/nodalsample.h"
#include "../shared/ring.h"
#include "../shared/servernames.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

// Host services of this unit. Handler activation writes all but panelf,
// interface activation (and, as a convenience, handler activation) writes
// panelf; everything else only reads them. They belong to the host.
static NodeEditorFuncs* nodeedf;
static NodeInputFuncs* inputfuncs;
static NodeFuncs* nodefuncs;
static RingFuncs* cmfunc;
static EnvelopeFuncs* envfunc;
static SceneInfo* sceneinfo;
static ItemInfo* iteminfo;
static PanelFuncs* panelf;

// One node pixel filter. The host keeps its address as the instance handle
// from create to destroy.
struct PFInstance {
    PanelID panel;                         // root-node options panel, owned
    NodeID rootNode;                       // owned by the editor
    NodeEditorID editor;                   // owned
    NodeInputID rootInputs[CHANNEL_COUNT]; // one per channel, owned by the editor
    int32_t EveryPix;                      // "Evaluate every pixel"
    int32_t BeforeVol;                     // "Evaluate before volumetric"
    ItemID cameraItem;                     // render camera of the last new-time
    double cameraPosition[3];              // its position then
    int32_t frameWidth;                    // frame size at the last new-time
    int32_t frameHeight;                   // that found a render camera
};

enum : uint32_t {
    BLOCK_PFLG = blockIdOf('P', 'F', 'L', 'G'),
    BLOCK_PNOD = blockIdOf('P', 'N', 'O', 'D'),
    CTRL_EVERY_PIX = 0x8001u,
    CTRL_BEFORE_VOL = 0x8002u,
    FLAG_EVERY_PIX = 0x20000000u,
    FLAG_BEFORE_VOL = 0x40000000u,
    FLAG_PIXEL_FILTER = 0x80000000u
};

static const BlockID PixelNodeBlock[] = {
    {BLOCK_PFLG, "Flags"},
    {BLOCK_PNOD, "Nodes"},
    {0, nullptr},
};

static const PanelControl ctrlList[] = {
    {CTRL_EVERY_PIX, "Evaluate every pixel", "iBoolean"},
    {CTRL_BEFORE_VOL, "Evaluate before volumetric", "iBoolean"},
    {0, nullptr, nullptr},
};

static const PanelDataDesc dataDescrip[] = {
    {CTRL_EVERY_PIX, "EveryPix", "integer"},
    {CTRL_BEFORE_VOL, "BeforeVol", "integer"},
    {0, nullptr, nullptr},
};

static const char* const kCopyError = "Couldn't copy data!";

static PanelID PFRootNodePanel(NodeID node);

// Handed to node-editor create; static so that it outlives the call whatever
// the host does with the pointer.
static const NodeEditorInit rootInit = {{}, PFRootNodePanel, {}};

// Presents the sample as a point of a screen-aligned plane facing the viewer.
// A frame without a size (no new-time has found a render camera yet) has no
// meaningful normalised position, so both positions stay at the origin rather
// than holding infinities or not-a-number values.
static void createNodalAccess(const PFInstance* inst, const PixelAccess* access,
                              NodalSample* sample) {
    memset(sample, 0, sizeof *sample);
    sample->pixelX = static_cast<int32_t>(access->sx);
    sample->pixelY = static_cast<int32_t>(access->sy);
    if (inst->frameWidth > 0 && inst->frameHeight > 0) {
        const double nx = (access->sx / inst->frameWidth) * 2.0 - 1.0;
        const double ny = (access->sy / inst->frameHeight) * 2.0 - 1.0;
        sample->position[0] = sample->position2[0] = nx;
        sample->position[1] = sample->position2[1] = ny;
    }
    sample->direction[2] = sample->direction2[2] = sample->direction3[2] = -1.0;
    const double* p = inst->cameraPosition;
    for (int i = 0; i < 3; ++i)
        sample->eyePosition[i] = p[i];
    sample->eyeDistance = sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    sample->constant1 = 0.001;
    sample->constant2 = 1.0;
    sample->constant3 = 0.0;
    for (int i = 0; i < 3; ++i)
        sample->matrix1[i * 4] = sample->matrix2[i * 4] = 1.0;
    sample->rayFunc1 = access->rayFuncs[0];
    sample->rayFunc2 = access->rayFuncs[1];
    sample->rayFunc3 = access->rayFuncs[2];
    sample->rayFunc4 = access->rayFuncs[3];
    sample->pixelFilter = 1;
    sample->cameraItem = inst->cameraItem;
}

// Host: ring listener of every instance, called with the instance as data
// during any message on the topic; the filter has nothing to answer.
static int32_t PFRingEvent(void*, void*, int32_t, void*) {
    return 0;
}

// Node editor: a display event in the filter's editor; nothing to do.
static void PFNodeDispEventFunc(NodeID) {}

// Node editor: asks for the display extents; writes three (0, 1) pairs into
// the caller's six doubles and keeps nothing.
static int32_t PFNodeDispAutosize(void*, void*, double* out) {
    if (out)
        for (int i = 0; i < 6; ++i)
            out[i] = (i % 2) ? 1.0 : 0.0;
    return 0;
}

// Panel: the address of the setting behind a control, or null. The address
// stays valid while the instance lives.
static void* PFGet(void* instance, uint32_t controlId) {
    PFInstance* inst = static_cast<PFInstance*>(instance);
    if (!inst)
        return nullptr;
    if (controlId == CTRL_EVERY_PIX)
        return &inst->EveryPix;
    if (controlId == CTRL_BEFORE_VOL)
        return &inst->BeforeVol;
    return nullptr;
}

// Panel: stores the 32-bit value the panel owns at value (read during the
// call only). An ID the filter does not know is accepted and ignored.
static int32_t PFSet(void* instance, uint32_t controlId, void* value) {
    PFInstance* inst = static_cast<PFInstance*>(instance);
    if (!inst)
        return 0;
    int32_t* setting = static_cast<int32_t*>(PFGet(inst, controlId));
    if (!setting)
        return 1;
    if (!value)
        return 0;
    *setting = *static_cast<const int32_t*>(value);
    return 1;
}

// Node editor: the root node's options panel, built on the first request and
// kept by the instance until destroy. Without the panel service (no interface
// or handler activation has found it) there is no panel to give.
static PanelID PFRootNodePanel(NodeID node) {
    if (!nodeedf || !panelf)
        return nullptr;
    PFInstance* inst = static_cast<PFInstance*>(nodeedf->userData(node));
    if (!inst)
        return nullptr;
    if (inst->panel)
        return inst->panel;
    inst->panel = panelf->create(PANEL_TYPE_STANDARD, ctrlList);
    if (!inst->panel)
        return nullptr;
    panelf->describe(inst->panel, dataDescrip, PFGet, PFSet);
    const PanelHint hints[] = {PANEL_HINT_LABEL, 0, reinterpret_cast<PanelHint>("PixelFilter"),
                               PANEL_HINT_END, PANEL_HINT_END};
    panelf->hint(inst->panel, 0, hints);
    panelf->bindInstance(inst->panel, inst);
    panelf->bindUserData(inst->panel, 0, inst);
    return inst->panel;
}

// Host: a new filter. Keeps nothing of its arguments; the record it returns
// is the host's handle until destroy. Error texts are constants.
static Instance PFCreate(void*, void*, const char** error) {
    PFInstance* inst = static_cast<PFInstance*>(calloc(1, sizeof(PFInstance)));
    if (!inst) {
        if (error)
            *error = "memory allocation error.";
        return nullptr;
    }
    inst->editor = nodeedf->create("PixelFilter", "Node PixelFilter 1.00", &rootInit, inst);
    if (!inst->editor) {
        if (error)
            *error = "Node editor creation failed!";
        free(inst);
        return nullptr;
    }
    EnvGroupID group = envfunc->createGroup(nullptr, "NodePixelFilter");
    nodeedf->setEnvGroup(inst->editor, group);
    inst->rootNode = nodeedf->rootNode(inst->editor);
    nodefuncs->setNodeMode(inst->rootNode, 2);
    nodeedf->setDisplayEvent(inst->editor, PFNodeDispEventFunc);
    nodeedf->setAutosize(inst->editor, PFNodeDispAutosize);
    for (int i = 0; i < CHANNEL_COUNT; ++i)
        inst->rootInputs[i] = nodeedf->addRootInput(inst->editor, bufferChannels[i].valueType,
                                                    bufferChannels[i].name, nullptr);
    inst->EveryPix = 1;
    inst->BeforeVol = 0;
    cmfunc->attach(RING_TOPIC_PIXEL, inst, PFRingEvent);
    return inst;
}

// Host: the instance is going away. Detaches first so that no ring message
// reaches the record, then releases the panel and the editor it owns.
static void PFDestroy(Instance instance) {
    PFInstance* inst = static_cast<PFInstance*>(instance);
    if (!inst)
        return;
    cmfunc->detach(RING_TOPIC_PIXEL, inst);
    if (inst->panel && panelf)
        panelf->destroy(inst->panel);
    if (inst->editor)
        nodeedf->destroy(inst->editor);
    free(inst);
}

// Host: copies the network only; both instances stay the host's and the
// settings of the destination stay as they were.
static const char* PFCopy(Instance to, Instance from) {
    PFInstance* dst = static_cast<PFInstance*>(to);
    const PFInstance* src = static_cast<const PFInstance*>(from);
    if (!dst || !src)
        return kCopyError;
    nodeedf->copy(dst->editor, src->editor);
    return nullptr;
}

// Host: reads the settings and the network; the stream record is the host's
// and used during the call only. Blocks may come in any order or be missing.
static const char* PFLoad(Instance instance, const LoadState* load) {
    PFInstance* inst = static_cast<PFInstance*>(instance);
    if (!inst || !load)
        return nullptr;
    const char* result = nullptr;
    void* d = load->readData;
    for (uint32_t id; (id = load->findBlock(d, PixelNodeBlock)) != 0;) {
        if (id == BLOCK_PFLG) {
            // A short block leaves the settings it does not hold unchanged.
            int32_t settings[2] = {inst->EveryPix, inst->BeforeVol};
            load->readInts(d, settings, 2);
            inst->EveryPix = settings[0];
            inst->BeforeVol = settings[1];
        } else if (id == BLOCK_PNOD) {
            result = nodeedf->load(inst->editor, load);
        }
        load->endBlock(d);
    }
    return result;
}

// Host: writes the settings block, then the network block; the stream record
// is the host's and used during the call only.
static const char* PFSave(Instance instance, const SaveState* save) {
    const PFInstance* inst = static_cast<const PFInstance*>(instance);
    if (!inst || !save)
        return nullptr;
    void* d = save->writeData;
    const int32_t settings[2] = {inst->EveryPix, inst->BeforeVol};
    save->beginBlock(d, &PixelNodeBlock[0], 1);
    save->writeInts(d, settings, 2);
    save->endBlock(d);
    save->beginBlock(d, &PixelNodeBlock[1], 0);
    const char* result = nodeedf->save(inst->editor, save);
    save->endBlock(d);
    return result;
}

// Host: the filter's name for the user, a constant whatever the instance.
static const char* PFDescribe(Instance) {
    return TITLE_PIXEL_FILTER;
}

// Host: the filter refers to no scene items.
static const ItemID* PFUseItems(Instance) {
    return nullptr;
}

// Host: item IDs changed; the filter keeps none.
static void PFChangeID(Instance, const ItemID*) {}

// Host: a render is starting; the mode goes through to the network's nodes.
static const char* PFInit(Instance instance, int32_t mode) {
    const PFInstance* inst = static_cast<const PFInstance*>(instance);
    if (inst)
        nodeedf->init(inst->editor, mode);
    return nullptr;
}

// Host: the render is over; the network's nodes forget the render state.
static void PFCleanup(Instance instance) {
    const PFInstance* inst = static_cast<const PFInstance*>(instance);
    if (inst)
        nodeedf->cleanup(inst->editor);
}

// Host: the render moves to a frame. Passes it to the network and keeps the
// render camera (a host handle, valid for the frame) with its position and the
// frame size for the sample fill.
static const char* PFNewTime(Instance instance, int32_t frame, double time) {
    PFInstance* inst = static_cast<PFInstance*>(instance);
    if (!inst)
        return nullptr;
    nodeedf->newTime(inst->editor, frame, time);
    inst->cameraItem = sceneinfo->renderCamera ? sceneinfo->renderCamera(time) : nullptr;
    if (inst->cameraItem) {
        iteminfo->param(inst->cameraItem, ITEM_PARAM_POSITION, time, inst->cameraPosition);
        inst->frameWidth = sceneinfo->frameWidth;
        inst->frameHeight = sceneinfo->frameHeight;
    }
    return nullptr;
}

// Host: which buffers the renderer must fill and how to run the filter: the
// access nodes' needs, the needs of connected root inputs and bits 29 to 31.
static uint32_t PFFlags(Instance instance) {
    const PFInstance* inst = static_cast<const PFInstance*>(instance);
    if (!inst)
        return 0;
    FlagQuery query = {0, 0};
    cmfunc->message(RING_TOPIC_PIXEL, RING_GATHER_FLAGS, &query);
    uint32_t flags = query.flags | FLAG_PIXEL_FILTER;
    if (inst->EveryPix)
        flags |= FLAG_EVERY_PIX;
    if (inst->BeforeVol)
        flags |= FLAG_BEFORE_VOL;
    // Color and Alpha are always there; asking keeps the host's view of the
    // root inputs current, but they add no need.
    inputfuncs->connected(inst->rootInputs[0]);
    inputfuncs->connected(inst->rootInputs[1]);
    for (int i = FIRST_OPTIONAL_CHANNEL; i < CHANNEL_COUNT; ++i)
        if (inputfuncs->connected(inst->rootInputs[i]))
            flags |= bufferChannels[i].needFlags;
    return flags;
}

// Host: one render sample. The access record is the host's and valid only
// during this call; the access nodes hold its address until the next sample
// or their cleanup. Allocates nothing.
static void PFEvaluate(Instance instance, const PixelAccess* access) {
    const PFInstance* inst = static_cast<const PFInstance*>(instance);
    if (!inst || !access)
        return;
    AccessMessage message = {access, nullptr};
    cmfunc->message(RING_TOPIC_PIXEL, RING_SAMPLE_ACCESS, &message);

    NodalSample sample;
    createNodalAccess(inst, access, &sample);

    double value[3] = {0.0, 0.0, 0.0};
    float buffer[3] = {0.0f, 0.0f, 0.0f};

    // Color and Alpha: the network's value, or the rendered one passed through.
    if (inputfuncs->connected(inst->rootInputs[0])) {
        inputfuncs->evaluate(inst->rootInputs[0], &sample, value);
        for (int c = 0; c < 3; ++c)
            buffer[c] = static_cast<float>(value[c]);
    } else {
        access->getValue(BUFFER_RED, 3, buffer);
    }
    access->setValue(BUFFER_RED, 3, buffer);

    if (inputfuncs->connected(inst->rootInputs[1])) {
        inputfuncs->evaluate(inst->rootInputs[1], &sample, value);
        buffer[0] = static_cast<float>(value[0]);
    } else {
        access->getValue(BUFFER_ALPHA, 1, buffer);
    }
    access->setValue(BUFFER_ALPHA, 1, buffer);

    for (int i = FIRST_OPTIONAL_CHANNEL; i < CHANNEL_COUNT; ++i) {
        if (!inputfuncs->connected(inst->rootInputs[i]))
            continue;
        const BufferChannel& channel = bufferChannels[i];
        inputfuncs->evaluate(inst->rootInputs[i], &sample, value);
        for (int c = 0; c < channel.components; ++c)
            buffer[c] = static_cast<float>(value[c]);
        access->setValue(channel.bufferCode, channel.components, buffer);
    }
}

// Host: activation of the handler. Keeps the host's service tables (they live
// as long as the host) and fills the host's handler record.
int PFHandler(int, GlobalFunc global, void* local, void*) {
    PixelFilterHandler* handler = static_cast<PixelFilterHandler*>(local);
    if (!handler || !handler->inst)
        return ACTIVATE_NO_RECORD;
    if (!global)
        return ACTIVATE_MISSING_SERVICE;
    nodeedf = static_cast<NodeEditorFuncs*>(global(SERVICE_NODE_EDITOR, 0));
    inputfuncs = static_cast<NodeInputFuncs*>(global(SERVICE_NODE_INPUT, 0));
    nodefuncs = static_cast<NodeFuncs*>(global(SERVICE_NODE, 0));
    cmfunc = static_cast<RingFuncs*>(global(SERVICE_RING, 0));
    envfunc = static_cast<EnvelopeFuncs*>(global(SERVICE_ENVELOPES, 0));
    sceneinfo = static_cast<SceneInfo*>(global(SERVICE_SCENE_INFO, 0));
    iteminfo = static_cast<ItemInfo*>(global(SERVICE_ITEM_INFO, 0));
    // Not required: lets the root-node panel work before the interface was
    // ever opened. A missing panel service only means no root-node panel.
    panelf = static_cast<PanelFuncs*>(global(SERVICE_PANELS, 0));
    if (!nodeedf || !inputfuncs || !nodefuncs || !cmfunc || !envfunc || !sceneinfo || !iteminfo)
        return ACTIVATE_MISSING_SERVICE;

    InstanceFuncs* inst = handler->inst;
    inst->priv = reinterpret_cast<void*>(global);
    inst->create = PFCreate;
    inst->destroy = PFDestroy;
    inst->copy = PFCopy;
    inst->load = PFLoad;
    inst->save = PFSave;
    inst->describe = PFDescribe;
    if (handler->item) {
        handler->item->useItems = PFUseItems;
        handler->item->changeID = PFChangeID;
    }
    if (handler->rend) {
        handler->rend->init = PFInit;
        handler->rend->cleanup = PFCleanup;
        handler->rend->newTime = PFNewTime;
    }
    handler->evaluate = PFEvaluate;
    handler->flags = PFFlags;
    return ACTIVATE_OK;
}

// Host: the user opens the filter; the interface record is the host's and
// used during the call only. Opens the filter's network in the node editor.
int PFInterface(int version, GlobalFunc global, void* local, void*) {
    InterfaceRecord* record = static_cast<InterfaceRecord*>(local);
    if (!record)
        return ACTIVATE_NO_RECORD;
    if (version != 4)
        return ACTIVATE_BAD_VERSION;
    if (!global)
        return ACTIVATE_MISSING_SERVICE;
    panelf = static_cast<PanelFuncs*>(global(SERVICE_PANELS, 0));
    record->panel = nullptr;
    record->options = nullptr;
    record->command = nullptr;
    const PFInstance* inst = static_cast<const PFInstance*>(record->inst);
    if (inst && inst->editor && nodeedf)
        nodeedf->open(inst->editor);
    return ACTIVATE_OK;
}
