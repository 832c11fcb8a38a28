// Lumiran Setup: installs the suite for the current user, or with
// "/uninstall" removes it again.
#include <windows.h>

#include "core/modes.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR commandLine, int /*showMode*/) {
    return lumiran::RunSetup(reinterpret_cast<platform::ModuleHandle>(instance), commandLine);
}
