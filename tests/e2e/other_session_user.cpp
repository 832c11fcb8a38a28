// A stand-in wtsapi32.dll: the session's user is another account of this
// computer, 张伟. Only runs with WINEDLLOVERRIDES=wtsapi32=n load it.
#include <windows.h>

#include <cstring>
#include <cwchar>

extern "C" __declspec(dllexport) BOOL WINAPI WTSQuerySessionInformationW(HANDLE, DWORD, int what, LPWSTR* buffer,
                                                                         DWORD* bytes) {
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = L"";
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    // WTSUserName, WTSDomainName
    const wchar_t* text = what == 5 ? L"张伟" : what == 7 && ::GetComputerNameW(computer, &length) ? computer : nullptr;
    if (text == nullptr) return FALSE;
    *bytes = static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t));
    *buffer = static_cast<LPWSTR>(::HeapAlloc(::GetProcessHeap(), 0, *bytes));
    if (*buffer != nullptr) std::memcpy(*buffer, text, *bytes);
    return *buffer != nullptr;
}

extern "C" __declspec(dllexport) void WINAPI WTSFreeMemory(void* memory) { ::HeapFree(::GetProcessHeap(), 0, memory); }
