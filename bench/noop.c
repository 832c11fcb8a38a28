/* The no-op Windows program of the benchmark: the cost of starting a Wine
   process in a fresh prefix, with nothing else to do. */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) {
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    return 0;
}
