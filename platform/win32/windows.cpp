// Windows of other processes, and the wait between checks.
#include <windows.h>

#include "platform/win32/handles.h"

namespace platform {

WindowHandle FindTopLevelWindow(const std::wstring& className) {
    return reinterpret_cast<WindowHandle>(::FindWindowW(className.c_str(), nullptr));
}

bool PostWindowMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                       std::intptr_t lParam) {
    return ::PostMessageW(ToNative(window), message, wParam, lParam) != FALSE;
}

bool WindowExists(WindowHandle window) { return ::IsWindow(ToNative(window)) != FALSE; }

void SleepMilliseconds(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

int ShowMessageBox(const wchar_t* text, const wchar_t* caption, std::uint32_t style) {
    return ::MessageBoxW(nullptr, text, caption, style);
}

}  // namespace platform
