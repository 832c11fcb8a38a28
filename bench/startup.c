/* The start-up that every run of the setup program performs before it
   installs anything, and nothing else: a single-threaded COM apartment and
   the common controls. Under Wine these are what start the prefix's desktop
   process, so this program shows the share of an install's time that no
   installer which initialises them can avoid. */
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) {
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    const HRESULT com = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    (void)InitCommonControlsEx(&controls);
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}
