// Library load and unload entry on Windows: no work, success for every reason.
// Other platforms need no entry point.
#if defined(_WIN32)
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
#endif
