#include "core/session_user.h"

#include "platform/platform.h"

namespace lumiran {
namespace {

// LocalSystem, LocalService, NetworkService: their profiles belong to no
// person, and no person is at their screen.
bool IsServiceAccount(const std::wstring& sid) {
    return sid == L"S-1-5-18" || sid == L"S-1-5-19" || sid == L"S-1-5-20";
}

bool SameAccount(const platform::AccountName& a, const platform::AccountName& b) {
    return platform::SameNameIgnoringCase(a.name, b.name) && platform::SameNameIgnoringCase(a.domain, b.domain);
}

std::wstring FullName(const platform::AccountName& account) {
    return account.domain.empty() ? account.name : account.domain + L"\\" + account.name;
}

}  // namespace

// Only an elevated run can be another account's without being meant: a run
// that is not elevated was started as that account on purpose (runas), and
// a session without a user (a scheduled task) has no one else to install for.
// The calls that cost something, the session and the account name, are made
// for an elevated run alone.
SessionUserCheck CheckRunIsForSessionUser() {
    const platform::ProcessUser user = platform::ReadProcessUser();
    if (user.read && IsServiceAccount(user.sid)) return {true, false, {}, {}};
    const platform::Elevation elevation = platform::ReadProcessElevation();
    if (!user.read || !elevation.read || !elevation.elevated) return {};
    const platform::AccountName session = platform::ReadSessionUser();
    if (!session.read || session.name.empty()) return {};
    const platform::AccountName account = platform::LookupAccountOfSid(user.sid);
    if (!account.read || SameAccount(account, session)) return {};
    const platform::SessionId id = platform::ReadProcessSessionId();
    return {true, id.read && id.id != 0, FullName(account), FullName(session)};
}

}  // namespace lumiran
