// Conversions between the portable handles and the Windows ones.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "platform/platform.h"

namespace platform {

inline HINSTANCE ToNative(ModuleHandle module) { return reinterpret_cast<HINSTANCE>(module); }
inline HWND ToNative(WindowHandle window) { return reinterpret_cast<HWND>(window); }
inline HANDLE ToNative(ProcessHandle process) { return reinterpret_cast<HANDLE>(process); }
inline HANDLE ToNative(MutexHandle mutex) { return reinterpret_cast<HANDLE>(mutex); }
inline HKEY ToNative(KeyHandle key) { return reinterpret_cast<HKEY>(key); }
inline IShellLinkW* ToNative(ShellLink link) { return reinterpret_cast<IShellLinkW*>(link); }
inline IPersistFile* ToNative(PersistFile file) { return reinterpret_cast<IPersistFile*>(file); }

// The TASKDIALOGCONFIG that ShowTaskDialog passes, member by member.
TASKDIALOGCONFIG ToNative(const TaskDialogConfig& config, TASKDIALOG_BUTTON* buttons,
                          TASKDIALOG_BUTTON* radioButtons);

}  // namespace platform
