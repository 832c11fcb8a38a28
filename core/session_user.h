// Whether this run is for the user at the screen.
#pragma once

#include <string>

namespace lumiran {

// A run installs into the profile and HKEY_CURRENT_USER of the account its
// token belongs to. refused is true when that is nobody's: a service account
// (LocalSystem, LocalService, NetworkService), or an elevated token of another
// account than the one logged on to the session. A fact that cannot be read
// never refuses a run. boxAllowed is false where no one could answer a box:
// a service account, or session 0. The accounts read DOMAIN\name.
struct SessionUserCheck {
    bool refused = false;
    bool boxAllowed = false;
    std::wstring runAs;
    std::wstring sessionUser;
};
[[nodiscard]] SessionUserCheck CheckRunIsForSessionUser();

}  // namespace lumiran
