/* The floor of the benchmark: writes the payload's bytes to the place where
   an install puts them, and does nothing else.

     plain_copy.exe SOURCE TARGET

   Every missing folder above TARGET is created first, as the installers do;
   the copy itself is one CopyFileW. Exit code 0 when the copy succeeded. */
#include <windows.h>
#include <stdlib.h>

/* Creates each folder along the parent of path, outermost first. */
static void CreateParents(wchar_t* path) {
    for (wchar_t* at = path + 3; *at != L'\0'; ++at) {
        if (*at != L'\\') continue;
        *at = L'\0';
        (void)CreateDirectoryW(path, NULL);
        *at = L'\\';
    }
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) {
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    /* The C runtime's own split of the command line: no shell32 to load. */
    if (__argc != 3) return 2;
    CreateParents(__wargv[2]);
    return CopyFileW(__wargv[1], __wargv[2], FALSE) ? 0 : 1;
}
