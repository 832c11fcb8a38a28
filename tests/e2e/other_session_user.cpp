// A stand-in for wtsapi32.dll: whoever asks is told that another user, 张伟,
// is logged on to the session, an account of this computer. The tests put it
// into the prefix's system32 and choose it over Wine's own with
// WINEDLLOVERRIDES=wtsapi32=n, for the runs that are to meet it.
#include <windows.h>

#include <cstring>
#include <cwchar>

namespace {

constexpr int kUserName = 5;    // WTSUserName
constexpr int kDomainName = 7;  // WTSDomainName

// Handed out as Wine's own does, for WTSFreeMemory to free.
BOOL Hand(const wchar_t* text, LPWSTR* buffer, DWORD* bytes) {
    const std::size_t size = (std::wcslen(text) + 1) * sizeof(wchar_t);
    *buffer = static_cast<LPWSTR>(::HeapAlloc(::GetProcessHeap(), 0, size));
    if (*buffer == nullptr) return FALSE;
    std::memcpy(*buffer, text, size);
    *bytes = static_cast<DWORD>(size);
    return TRUE;
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI WTSQuerySessionInformationW(HANDLE, DWORD, int what, LPWSTR* buffer,
                                                                         DWORD* bytes) {
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    if (what == kUserName) return Hand(L"张伟", buffer, bytes);
    if (what == kDomainName && ::GetComputerNameW(computer, &length)) return Hand(computer, buffer, bytes);
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

extern "C" __declspec(dllexport) void WINAPI WTSFreeMemory(void* memory) {
    (void)::HeapFree(::GetProcessHeap(), 0, memory);
}
