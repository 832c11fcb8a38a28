// The two run modes and the entry point's body.
#pragma once

#include "platform/platform.h"

namespace lumiran {

// 0 when installed or cancelled; 1 when the payload was not written or
// LocalAppData could not be found.
int RunInstall(platform::ModuleHandle instance, bool silent);
// 0 when removed, declined or nothing was installed; 1 when Lumiran.exe
// could not be removed (the registration then stays).
int RunUninstall(bool silent);

// Everything wWinMain does: DLL search, COM, common controls, switches,
// the setup lock, one mode, COM shut down. commandLine may be null.
// kExitOtherAccount (50) without taking the lock when the run is for another
// account than the session's user; kExitSetupBusy (1618) without running a
// mode when another install or uninstall holds the lock.
int RunSetup(platform::ModuleHandle instance, const wchar_t* commandLine);

}  // namespace lumiran
