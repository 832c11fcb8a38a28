// Named mutexes: what keeps two setup runs of one session apart.
#include <windows.h>

#include "platform/win32/handles.h"

namespace platform {

MutexHandle CreateNamedMutex(const std::wstring& name) {
    return reinterpret_cast<MutexHandle>(::CreateMutexW(nullptr, FALSE, name.c_str()));
}

std::uint32_t TryTakeMutex(MutexHandle mutex) { return ::WaitForSingleObject(ToNative(mutex), 0); }

void ReleaseTakenMutex(MutexHandle mutex) { (void)::ReleaseMutex(ToNative(mutex)); }

void CloseMutex(MutexHandle mutex) { (void)::CloseHandle(ToNative(mutex)); }

}  // namespace platform
