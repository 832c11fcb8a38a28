// Named mutexes: what keeps two setup runs of one session apart.
#include <windows.h>

#include "platform/win32/handles.h"

namespace platform {

CreatedMutex CreateNamedMutex(const std::wstring& name) {
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
    return {reinterpret_cast<MutexHandle>(mutex), mutex == nullptr ? ::GetLastError() : 0};
}

std::uint32_t TryTakeMutex(MutexHandle mutex) { return ::WaitForSingleObject(ToNative(mutex), 0); }

void ReleaseTakenMutex(MutexHandle mutex) { (void)::ReleaseMutex(ToNative(mutex)); }

void CloseMutex(MutexHandle mutex) { (void)::CloseHandle(ToNative(mutex)); }

}  // namespace platform
