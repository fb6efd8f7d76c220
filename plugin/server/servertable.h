// The server table the descriptor points to.
#pragma once

#include "../host/module.h"

extern const ServerRecord ServerDesc[];
