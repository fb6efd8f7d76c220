// Debug print helpers. The text is cut at 256 characters and always ends with
// a terminator at position 256 at the latest.
#include "odsprintf.h"

#include <cstdarg>
#include <cstdio>

#if defined(_WIN32)
#include <windows.h>
#endif

static void sendDebugText(const char* format, va_list args) {
    char text[257];
    vsnprintf(text, sizeof text, format, args);
    text[256] = '\0';
#if defined(_WIN32)
    OutputDebugStringA(text);
#else
    fputs(text, stderr);
#endif
}

void ODSPrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    sendDebugText(format, args);
    va_end(args);
}

void ODSPrintf2(int enable, const char* format, ...) {
    if (!enable)
        return;
    va_list args;
    va_start(args, format);
    sendDebugText(format, args);
    va_end(args);
}
