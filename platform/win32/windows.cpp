// Windows of other processes, their processes, and the wait between checks.
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

ProcessHandle OpenWindowProcess(WindowHandle window) {
    DWORD processId = 0;
    if (::GetWindowThreadProcessId(ToNative(window), &processId) == 0 || processId == 0) return nullptr;
    return reinterpret_cast<ProcessHandle>(::OpenProcess(SYNCHRONIZE, FALSE, processId));
}

bool ProcessEnded(ProcessHandle process) {
    return ::WaitForSingleObject(ToNative(process), 0) == WAIT_OBJECT_0;
}

void CloseProcess(ProcessHandle process) { ::CloseHandle(ToNative(process)); }

int ShowMessageBox(const wchar_t* text, const wchar_t* caption, std::uint32_t style) {
    return ::MessageBoxW(nullptr, text, caption, style);
}

}  // namespace platform
