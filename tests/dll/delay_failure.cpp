// A delay import that cannot be bound ends the process with the delay-load
// exception's code: one from a DLL that is not there, one that version.dll
// does not export. Without arguments this program runs itself for each.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <process.h>
#include <utility>

extern "C" __declspec(dllimport) void WINAPI LumiranAbsentDll();
extern "C" __declspec(dllimport) void WINAPI LumiranNotExported();

int wmain(int argc, wchar_t** argv) {
    // No crash dialog and no debugger (Wine 10 starts winedbg, which ends
    // the process with a code of its own): the exception ends it as it is.
    if (argc == 2) ::SetErrorMode(SEM_NOGPFAULTERRORBOX);
    if (argc == 2 && std::wcscmp(argv[1], L"dll") == 0) LumiranAbsentDll();
    if (argc == 2 && std::wcscmp(argv[1], L"function") == 0) LumiranNotExported();
    if (argc == 2) return 0;  // the call came back
    int failures = 0;
    for (const auto& [which, expected] : {std::pair{L"dll", 0xC06D007EUL}, std::pair{L"function", 0xC06D007FUL}}) {
        const auto code = static_cast<unsigned long>(::_wspawnl(_P_WAIT, argv[0], L"delay_failure", which, nullptr));
        std::printf("%s - %ls: exit code 0x%08lX\n", code == expected ? "ok" : "FAIL", which, code);
        failures += code == expected ? 0 : 1;
    }
    return failures == 0 ? 0 : 1;
}
