// The two run modes and the entry point's body.
#pragma once

#include "platform/platform.h"

namespace lumiran {

// 0 when installed or cancelled, 1 when the payload was not written.
int RunInstall(platform::ModuleHandle instance, bool silent);
// Always 0.
int RunUninstall(bool silent);

// Everything wWinMain does: DLL search, COM, common controls, switches,
// one mode, COM shut down. commandLine may be null.
int RunSetup(platform::ModuleHandle instance, const wchar_t* commandLine);

}  // namespace lumiran
