// The server table and the tag lists that name each server to the user.
// Each handler class and its interface class share one server name.
#include "../shared/servernames.h"
#include "activations.h"
#include "servertable.h"

static const ServerTagInfo pfTags[] = {{TITLE_PIXEL_FILTER, 0}, {nullptr, 0}};
static const ServerTagInfo pnTags[] = {{TITLE_PIXEL_NODE, 0}, {nullptr, 0}};
static const ServerTagInfo ifTags[] = {{TITLE_IMAGE_FILTER, 0}, {nullptr, 0}};
static const ServerTagInfo inTags[] = {{TITLE_IMAGE_NODE, 0}, {nullptr, 0}};

const ServerRecord ServerDesc[] = {
    {CLASS_PIXEL_FILTER_HANDLER, SERVER_PIXEL_FILTER, PFHandler, pfTags},
    {CLASS_PIXEL_FILTER_INTERFACE, SERVER_PIXEL_FILTER, PFInterface, pfTags},
    {CLASS_NODE_HANDLER, SERVER_PIXEL_NODE, PNHandler, pnTags},
    {CLASS_NODE_INTERFACE, SERVER_PIXEL_NODE, PNInterface, pnTags},
    {CLASS_IMAGE_FILTER_HANDLER, SERVER_IMAGE_FILTER, IFHandler, ifTags},
    {CLASS_IMAGE_FILTER_INTERFACE, SERVER_IMAGE_FILTER, IFInterface, ifTags},
    {CLASS_NODE_HANDLER, SERVER_IMAGE_NODE, INHandler, inTags},
    {CLASS_NODE_INTERFACE, SERVER_IMAGE_NODE, INInterface, inTags},
    {nullptr, nullptr, nullptr, nullptr},
};
