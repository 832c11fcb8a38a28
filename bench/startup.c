/* The start-up that every run of the setup program performs before it
   installs anything, and nothing else: a single-threaded COM apartment and
   the common controls. Under Wine these are what start the prefix's desktop
   process, so this program shows the share of an install's time that no
   installer which initialises them can avoid.

     startup.exe                 start up, then exit
     startup.exe READY_FILE      start up, create READY_FILE, then stay

   The second form holds a warm session: while it runs, the prefix keeps its
   desktop and services, as a logged-in Windows desktop does. */
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <stdlib.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) {
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    const HRESULT com = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    (void)InitCommonControlsEx(&controls);
    if (__argc == 2) {
        HANDLE ready = CreateFileW(__wargv[1], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (ready == INVALID_HANDLE_VALUE) return 1;
        CloseHandle(ready);
        for (;;) Sleep(INFINITE);  /* ended by wineserver -k */
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}
