// Who the process runs as, and who is logged on to its session.
#include <windows.h>
#include <sddl.h>
#include <wtsapi32.h>

#include <memory>

#include "platform/platform.h"

namespace platform {
namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { (void)::CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;
struct LocalFreer {
    void operator()(void* memory) const { (void)::LocalFree(memory); }
};
struct WtsFreer {
    void operator()(wchar_t* memory) const { ::WTSFreeMemory(memory); }
};

// UNLEN and DNLEN are 256 and 15; a longer name is left unread.
constexpr DWORD kNameChars = 257;

UniqueHandle OpenOwnToken() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
    return UniqueHandle(token);
}

bool QuerySessionText(WTS_INFO_CLASS what, std::wstring& text) {
    wchar_t* buffer = nullptr;
    DWORD bytes = 0;
    if (!::WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, what, &buffer, &bytes)) {
        return false;
    }
    const std::unique_ptr<wchar_t, WtsFreer> owned(buffer);
    if (buffer == nullptr) return false;
    text = buffer;
    return true;
}

}  // namespace

ProcessUser ReadProcessUser() {
    const UniqueHandle token = OpenOwnToken();
    if (!token) return {};
    alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    if (!::GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &size)) return {};
    wchar_t* sid = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) return {};
    const std::unique_ptr<wchar_t, LocalFreer> owned(sid);
    return {true, sid};
}

Elevation ReadProcessElevation() {
    const UniqueHandle token = OpenOwnToken();
    if (!token) return {};
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (!::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) return {};
    return {true, elevation.TokenIsElevated != 0};
}

AccountName LookupAccountOfSid(const std::wstring& sidText) {
    PSID sid = nullptr;
    if (!::ConvertStringSidToSidW(sidText.c_str(), &sid)) return {};
    const std::unique_ptr<void, LocalFreer> owned(sid);
    wchar_t name[kNameChars] = {};
    wchar_t domain[kNameChars] = {};
    DWORD nameChars = kNameChars;
    DWORD domainChars = kNameChars;
    SID_NAME_USE use = SidTypeUnknown;
    if (!::LookupAccountSidW(nullptr, sid, name, &nameChars, domain, &domainChars, &use)) return {};
    return {true, name, domain};
}

AccountName ReadSessionUser() {
    AccountName user;
    if (!QuerySessionText(WTSUserName, user.name) || !QuerySessionText(WTSDomainName, user.domain)) return {};
    user.read = true;
    return user;
}

SessionId ReadProcessSessionId() {
    DWORD id = 0;
    if (!::ProcessIdToSessionId(::GetCurrentProcessId(), &id)) return {};
    return {true, id};
}

bool SameNameIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

}  // namespace platform
