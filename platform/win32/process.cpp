// Process start-up, COM and the common controls.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "platform/platform.h"

namespace platform {

namespace {

// The setup program hands these sizes to the platform as plain numbers.
static_assert(sizeof(INITCOMMONCONTROLSEX) == 8, "InitCommonControls is given 8 as dwSize");

}  // namespace

// Windows 7 without its 2011 loader update has no SetDefaultDllDirectories:
// a static import would keep the installer from starting there at all.
bool RestrictDllSearchToSystem32() {
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    if (kernel32 == nullptr) return false;
    const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(::GetProcAddress(kernel32, "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories == nullptr) return false;
    return setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
}

bool RemoveCurrentDirectoryFromDllSearch() { return ::SetDllDirectoryW(L"") != FALSE; }

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
