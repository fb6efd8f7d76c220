// Module start-up and shut-down, named in the descriptor.
#pragma once

void* Startup(void);
void Shutdown(void);
