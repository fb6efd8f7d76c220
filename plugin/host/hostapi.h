// Everything the module knows of its host, in one include.
#pragma once

#include "access.h"
#include "handlers.h"
#include "handles.h"
#include "module.h"
#include "nodeservices.h"
#include "panels.h"
#include "sceneservices.h"
#include "streams.h"

// Names of the services the module looks up.
#define SERVICE_NODE_EDITOR "NodeEditorFuncs"
#define SERVICE_NODE "NodeFuncs"
#define SERVICE_NODE_INPUT "NodeInputFuncs"
#define SERVICE_NODE_OUTPUT "NodeOutputFuncs"
#define SERVICE_RING "Communication Ring"
#define SERVICE_ENVELOPES "Animation Envelopes"
#define SERVICE_INSTANCE_UPDATE "Instance Update"
#define SERVICE_TIME_INFO "Time Info"
#define SERVICE_SCENE_INFO "Scene Info 4"
#define SERVICE_ITEM_INFO "Item Info 4"
#define SERVICE_PANELS "PanelFuncs"
