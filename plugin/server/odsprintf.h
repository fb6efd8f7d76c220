// Debug print helpers for tracing: formatted text to the debugger output on
// Windows, to standard error elsewhere. No server calls them in normal work.
#pragma once

void ODSPrintf(const char* format, ...);
void ODSPrintf2(int enable, const char* format, ...);
