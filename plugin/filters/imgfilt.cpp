// Server unit imgfilt: the node image filter. After a frame is rendered it
// evaluates its node network once for every pixel of the finished image and
// writes the network's Color and Alpha into the output image; a root input
// with nothing connected passes the rendered value through. Image access
// nodes in the network learn the frame's access record over the ring.
#include "../host/hostapi.h"
#include "../server/activations.h"
#include "../shared/channels.h"
#include "../shared/nodalsample.h"
#include "../shared/ring.h"
#include "../shared/servernames.h"

#include <cstdlib>
#include <cstring>

// One node image filter as the host holds it. The panel stays null: this
// filter offers no options panel, its interface opens the node editor.
struct IFInstance {
    PanelID panel;
    NodeID rootNode;
    NodeEditorID editor;
    NodeInputID colorInput;
    NodeInputID alphaInput;
    int32_t context; // 1 when create's context held 1; answers context queries
};

// Host services of this unit, written at activation and read afterwards;
// timeinfo is looked up anew at every pass.
static GlobalFunc globalFunc;
static const NodeEditorFuncs* nodeedf;
static const NodeInputFuncs* inputfuncs;
static const NodeFuncs* nodefuncs;
static const RingFuncs* cmfunc;
static const EnvelopeFuncs* envfunc;
static InstanceUpdateFunc instupdate;
static const PanelFuncs* panelf;
static const TimeInfo* timeinfo;

static const BlockID ImageNodeBlock[] = {
    {blockIdOf('I', 'N', 'O', 'D'), "Nodes"},
    {0, nullptr},
};

static const char* const kAllocError = "memory allocation error.";
static const char* const kEditorError = "Node editor creation failed!";
static const char* const kCopyError = "Couldn't copy data!";

enum { PROGRESS_ROWS_MASK = 7 }; // one progress step per eight rows

// Fills the fields of the sample that stay constant over a pass: a point of a
// screen-aligned plane facing the viewer. Pixel and position fields are left
// for the pass loop.
static void createNodalAccess(IFInstance*, const FilterAccess*, NodalSample* sample) {
    memset(sample, 0, sizeof *sample);
    sample->direction[2] = -1.0;
    sample->direction2[2] = -1.0;
    sample->direction3[2] = -1.0;
    sample->eyeDistance = 1.0;
    sample->constant1 = 0.001;
    sample->constant2 = 1.0;
    sample->constant3 = 0.0;
    for (int i = 0; i < 3; ++i) {
        sample->matrix1[i * 4] = 1.0;
        sample->matrix2[i * 4] = 1.0;
    }
}

// Called by the node editor when the user changes this filter's network; the
// node reference is the host's and is kept for no longer than the call.
static void IFNodeDispEventFunc(NodeID node) {
    if (!nodeedf || !instupdate)
        return;
    void* instance = nodeedf->userData(node);
    if (instance)
        instupdate(CLASS_IMAGE_FILTER_HANDLER, instance);
}

// Called by the node editor to size the root node; writes three (0, 1)
// pairs into the caller's six doubles and keeps nothing.
static int32_t IFNodeDispAutosize(void*, void*, double* sixDoubles) {
    if (sixDoubles) {
        for (int i = 0; i < 6; i += 2) {
            sixDoubles[i] = 0.0;
            sixDoubles[i + 1] = 1.0;
        }
    }
    return 0;
}

// Called by the ring for every message on the image topic; the payload is the
// sender's and is only touched during the call. Answers context queries only.
static int32_t IFRingEvent(void* data, void*, int32_t event, void* payload) {
    const IFInstance* inst = static_cast<const IFInstance*>(data);
    if (event == RING_CONTEXT_QUERY && inst && payload)
        static_cast<ContextQuery*>(payload)->context = inst->context;
    return 0;
}

// Called by the host when a filter is added; context (may be null) is read
// during the call only. The host owns the returned record until destroy.
static Instance IFCreate(void*, void* context, const char** error) {
    IFInstance* inst = static_cast<IFInstance*>(calloc(1, sizeof(IFInstance)));
    if (!inst) {
        if (error)
            *error = kAllocError;
        return nullptr;
    }
    NodeEditorInit init;
    memset(&init, 0, sizeof init);
    inst->editor = nodeedf->create("ImageFilter", "Node ImageFilter 1.00", &init, inst);
    if (!inst->editor) {
        // Nothing refers to the record yet: release it rather than leak it.
        free(inst);
        if (error)
            *error = kEditorError;
        return nullptr;
    }
    EnvGroupID group = envfunc->createGroup(nullptr, "NodeImageFilter");
    nodeedf->setEnvGroup(inst->editor, group);
    inst->rootNode = nodeedf->rootNode(inst->editor);
    nodefuncs->setNodeMode(inst->rootNode, 2);
    nodeedf->setDisplayEvent(inst->editor, IFNodeDispEventFunc);
    nodeedf->setAutosize(inst->editor, IFNodeDispAutosize);
    inst->colorInput = nodeedf->addRootInput(inst->editor, VALUE_COLOR, "Color", nullptr);
    inst->alphaInput = nodeedf->addRootInput(inst->editor, VALUE_SCALAR, "Alpha", nullptr);
    inst->context = (context && *static_cast<const int32_t*>(context) == 1) ? 1 : 0;
    cmfunc->attach(RING_TOPIC_IMAGE, inst, IFRingEvent);
    return inst;
}

// Called by the host when the filter is removed; the record is freed here and
// the ring stops delivering to it before anything is released.
static void IFDestroy(Instance instance) {
    IFInstance* inst = static_cast<IFInstance*>(instance);
    if (!inst)
        return;
    cmfunc->detach(RING_TOPIC_IMAGE, inst);
    if (inst->panel && panelf)
        panelf->destroy(inst->panel);
    if (inst->editor)
        nodeedf->destroy(inst->editor);
    free(inst);
}

// Called by the host to duplicate a filter; copies the network only, the
// destination keeps its own editor, handles and context flag.
static const char* IFCopy(Instance to, Instance from) {
    IFInstance* dst = static_cast<IFInstance*>(to);
    const IFInstance* src = static_cast<const IFInstance*>(from);
    if (!dst || !src)
        return kCopyError;
    nodeedf->copy(dst->editor, src->editor);
    return nullptr;
}

// Called by the host while reading a scene; the stream record is the host's
// and is used only during the call. Loads every "INOD" block into the editor.
static const char* IFLoad(Instance instance, const LoadState* load) {
    IFInstance* inst = static_cast<IFInstance*>(instance);
    if (!inst || !load)
        return nullptr;
    const char* result = nullptr;
    for (;;) {
        const uint32_t id = load->findBlock(load->readData, ImageNodeBlock);
        if (id == 0)
            break;
        if (id == ImageNodeBlock[0].id)
            result = nodeedf->load(inst->editor, load);
        load->endBlock(load->readData);
    }
    return result;
}

// Called by the host while writing a scene; the stream record is the host's
// and is used only during the call. Writes one "INOD" block with the network.
static const char* IFSave(Instance instance, const SaveState* save) {
    IFInstance* inst = static_cast<IFInstance*>(instance);
    if (!inst || !save)
        return nullptr;
    save->beginBlock(save->writeData, &ImageNodeBlock[0], 0);
    const char* result = nodeedf->save(inst->editor, save);
    save->endBlock(save->writeData);
    return result;
}

// Called by the host for the filter's name in lists; returns a constant.
static const char* IFDescribe(Instance) {
    return TITLE_IMAGE_FILTER;
}

// Called by the host to learn which items the filter uses: none.
static const ItemID* IFUseItems(Instance) {
    return nullptr;
}

// Called by the host when item IDs change; the filter keeps no items.
static void IFChangeID(Instance, const ItemID*) {}

// Called by the host before rendering to learn which buffers to fill: the
// union of the need flags of every image access node on the topic.
static uint32_t IFFlags(Instance) {
    FlagQuery query;
    query.flags = 0;
    cmfunc->message(RING_TOPIC_IMAGE, RING_GATHER_FLAGS, &query);
    return query.flags;
}

// Called by the host after rendering with the finished frame; the access
// record is the host's and valid only during this call, so the nodes are told
// to forget it (node-editor cleanup, then a hand-over of no record on the
// ring) before the pass returns, abort or not.
static void IFProcess(Instance instance, const FilterAccess* access) {
    IFInstance* inst = static_cast<IFInstance*>(instance);
    if (!inst || !access)
        return;

    timeinfo =
        globalFunc ? static_cast<const TimeInfo*>(globalFunc(SERVICE_TIME_INFO, 0)) : nullptr;
    // Without a time service the pass still runs, at frame 0 and time 0.
    const int32_t frame = timeinfo ? timeinfo->frame : 0;
    const double time = timeinfo ? timeinfo->time : 0.0;

    nodeedf->init(inst->editor, 1);
    nodeedf->newTime(inst->editor, frame, time);

    AccessMessage message;
    message.access = access;
    message.zero = nullptr;
    cmfunc->message(RING_TOPIC_IMAGE, RING_FILTER_ACCESS, &message);

    NodalSample sample;
    createNodalAccess(inst, access, &sample);

    const int32_t width = access->width;
    const int32_t height = access->height;
    const ProgressMonitor* monitor = access->monitor;
    if (monitor)
        monitor->init(monitor->data, static_cast<uint32_t>(height / 8));

    double value[3] = {0.0, 0.0, 0.0};
    bool aborted = false;
    for (int32_t y = 0; y < height && !aborted; ++y) {
        sample.pixelY = y;
        const double ny = (static_cast<double>(y) / height) * 2.0 - 1.0;
        sample.position[1] = ny;
        sample.position2[1] = ny;

        const float* red = access->getLine(BUFFER_RED, y);
        const float* green = access->getLine(BUFFER_GREEN, y);
        const float* blue = access->getLine(BUFFER_BLUE, y);
        const float* alpha = access->getLine(BUFFER_ALPHA, y);

        for (int32_t x = 0; x < width; ++x) {
            sample.pixelX = x;
            const double nx = (static_cast<double>(x) / width) * 2.0 - 1.0;
            sample.position[0] = nx;
            sample.position2[0] = nx;

            float rgb[3];
            if (inputfuncs->connected(inst->colorInput)) {
                inputfuncs->evaluate(inst->colorInput, &sample, value);
                rgb[0] = static_cast<float>(value[0]);
                rgb[1] = static_cast<float>(value[1]);
                rgb[2] = static_cast<float>(value[2]);
                access->setRGB(x, y, rgb);
            } else if (red && green && blue) {
                // Copied as bits: the pass-through must equal the render.
                memcpy(&rgb[0], &red[x], sizeof(float));
                memcpy(&rgb[1], &green[x], sizeof(float));
                memcpy(&rgb[2], &blue[x], sizeof(float));
                access->setRGB(x, y, rgb);
            }

            if (inputfuncs->connected(inst->alphaInput)) {
                inputfuncs->evaluate(inst->alphaInput, &sample, value);
                access->setAlpha(x, y, static_cast<float>(value[0]));
            } else if (alpha) {
                access->setAlpha(x, y, alpha[x]);
            }
        }

        if ((y & PROGRESS_ROWS_MASK) == PROGRESS_ROWS_MASK && monitor &&
            monitor->step(monitor->data, 1) != 0)
            aborted = true;
    }

    if (!aborted && monitor)
        monitor->done(monitor->data);
    nodeedf->cleanup(inst->editor);
    // Access nodes in other filters' networks heard the hand-over too, and
    // no cleanup of this editor reaches them: a hand-over of no record makes
    // every node on the topic forget the one that dies with this call.
    message.access = nullptr;
    cmfunc->message(RING_TOPIC_IMAGE, RING_FILTER_ACCESS, &message);
}

// Handler activation: called by the host with its lookup function and the
// handler record to fill. The record is the host's; the unit keeps only the
// service pointers, which stay valid while the host runs.
int IFHandler(int, GlobalFunc global, void* local, void*) {
    ImageFilterHandler* handler = static_cast<ImageFilterHandler*>(local);
    if (!handler || !handler->inst)
        return ACTIVATE_NO_RECORD;
    globalFunc = global;
    if (!global)
        return ACTIVATE_MISSING_SERVICE;
    nodeedf = static_cast<const NodeEditorFuncs*>(global(SERVICE_NODE_EDITOR, 0));
    inputfuncs = static_cast<const NodeInputFuncs*>(global(SERVICE_NODE_INPUT, 0));
    nodefuncs = static_cast<const NodeFuncs*>(global(SERVICE_NODE, 0));
    cmfunc = static_cast<const RingFuncs*>(global(SERVICE_RING, 0));
    envfunc = static_cast<const EnvelopeFuncs*>(global(SERVICE_ENVELOPES, 0));
    instupdate = reinterpret_cast<InstanceUpdateFunc>(global(SERVICE_INSTANCE_UPDATE, 0));
    if (!nodeedf || !inputfuncs || !nodefuncs || !cmfunc || !envfunc || !instupdate)
        return ACTIVATE_MISSING_SERVICE;

    InstanceFuncs* table = handler->inst;
    table->priv = reinterpret_cast<void*>(global);
    table->create = IFCreate;
    table->destroy = IFDestroy;
    table->copy = IFCopy;
    table->load = IFLoad;
    table->save = IFSave;
    table->describe = IFDescribe;
    if (handler->item) {
        handler->item->useItems = IFUseItems;
        handler->item->changeID = IFChangeID;
    }
    handler->process = IFProcess;
    handler->flags = IFFlags;
    return ACTIVATE_OK;
}

// Interface activation: called when the user opens the filter's options with
// the instance in word 0 of the interface record, which stays the host's.
// There is no panel: it opens the instance's node editor instead.
int IFInterface(int version, GlobalFunc global, void* local, void*) {
    InterfaceRecord* record = static_cast<InterfaceRecord*>(local);
    if (!record)
        return ACTIVATE_NO_RECORD;
    if (version != 4)
        return ACTIVATE_BAD_VERSION;
    panelf = global ? static_cast<const PanelFuncs*>(global(SERVICE_PANELS, 0)) : nullptr;
    record->panel = nullptr;
    record->options = nullptr;
    record->command = nullptr;
    const IFInstance* inst = static_cast<const IFInstance*>(record->inst);
    if (inst && inst->editor && nodeedf)
        nodeedf->open(inst->editor);
    return ACTIVATE_OK;
}
