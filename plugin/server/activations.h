// Activation functions of the eight servers, one pair per filter unit.
#pragma once

#include "../host/handles.h"

int PFHandler(int version, GlobalFunc global, void* local, void* serverData);
int PFInterface(int version, GlobalFunc global, void* local, void* serverData);
int PNHandler(int version, GlobalFunc global, void* local, void* serverData);
int PNInterface(int version, GlobalFunc global, void* local, void* serverData);
int IFHandler(int version, GlobalFunc global, void* local, void* serverData);
int IFInterface(int version, GlobalFunc global, void* local, void* serverData);
int INHandler(int version, GlobalFunc global, void* local, void* serverData);
int INInterface(int version, GlobalFunc global, void* local, void* serverData);
