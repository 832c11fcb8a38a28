// Test only: the installer's start-up without the DLL search restriction,
// then a silent install. Everything else is the setup program's own code,
// so that a planted DLL it loads shows what the restriction prevents.
#include <windows.h>

#include "core/modes.h"
#include "platform/platform.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int /*showMode*/) {
    (void)platform::InitializeComApartment();
    (void)platform::InitCommonControls(8, 0x4000);  // sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES
    const int result = lumiran::RunInstall(reinterpret_cast<platform::ModuleHandle>(instance), true);
    platform::UninitializeCom();
    return result;
}
