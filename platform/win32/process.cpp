// Process start-up, COM and the common controls.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "platform/platform.h"

namespace platform {

bool RestrictDllSearchToSystem32() {
    return ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
}

HResult InitializeComApartment() { return ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }

void UninitializeCom() { ::CoUninitialize(); }

bool InitCommonControls(std::uint32_t size, std::uint32_t classes) {
    INITCOMMONCONTROLSEX init = {};
    init.dwSize = size;
    init.dwICC = classes;
    return ::InitCommonControlsEx(&init) != FALSE;
}

void FreeTaskMemory(void* memory) { ::CoTaskMemFree(memory); }

}  // namespace platform
