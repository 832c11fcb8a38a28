/* Run between two timed installs of a warm session, outside the clock: it
   records what the last install registered, then puts the session back to
   the state before a first install.

     reset.exe DUMP_FILE

   1. writes the uninstall registration key and the Run key to DUMP_FILE,
      in the syntax of Wine's user.reg, for the benchmark's checks (the
      registry lives in wineserver's memory until it shuts down);
   2. ends every process whose image is Lumiran.exe (the suite the install
      started) and waits for each to go;
   3. deletes the registration key and plants the stale Run value again.
   The files (install folder, shortcuts) are removed from the Unix side.
   Exit code 0; 3 when the dump could not be opened, 4 when it could not be
   written. */
#define _WIN32_WINNT 0x0A00
#include <windows.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <wchar.h>

#define UNINSTALL_KEY L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumiran"
#define RUN_KEY L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"
#define STALE_RUN_DATA L"\"C:\\old\\Lumiran.exe\""

/* Writes text with user.reg's escapes (backslash and quote) as UTF-8. */
static void put_escaped(FILE *out, const wchar_t *text) {
    for (; *text; ++text) {
        if (*text == L'\\' || *text == L'"') fputc('\\', out);
        char bytes[8];
        int n = WideCharToMultiByte(CP_UTF8, 0, text, 1, bytes, sizeof bytes, NULL, NULL);
        fwrite(bytes, 1, n > 0 ? (size_t)n : 0, out);
    }
}

static void dump_key(FILE *out, const wchar_t *path) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, &key)) return;
    fputc('[', out);
    put_escaped(out, path);
    fputs("]\n", out);
    for (DWORD i = 0;; ++i) {
        wchar_t name[256], data[1024];
        DWORD nameLength = 256, type = 0, size = sizeof data - sizeof(wchar_t);
        memset(data, 0, sizeof data);
        if (RegEnumValueW(key, i, name, &nameLength, NULL, &type, (BYTE *)data, &size)) break;
        fputc('"', out);
        put_escaped(out, name);
        if (type == REG_SZ) {
            fputs("\"=\"", out);
            put_escaped(out, data);
            fputs("\"\n", out);
        } else if (type == REG_DWORD) {
            DWORD value;
            memcpy(&value, data, sizeof value);
            fprintf(out, "\"=dword:%08lx\n", (unsigned long)value);
        } else {
            fprintf(out, "\"=type%lu\n", (unsigned long)type);
        }
    }
    RegCloseKey(key);
}

static void end_suites(void) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32W entry;
    memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, L"Lumiran.exe") != 0) continue;
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
        if (!process) continue;
        TerminateProcess(process, 0);
        WaitForSingleObject(process, 10000);
        CloseHandle(process);
    }
    CloseHandle(snapshot);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) {
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    if (__argc != 2) return 2;
    FILE *out = _wfopen(__wargv[1], L"wb");
    if (!out) return 3;
    dump_key(out, UNINSTALL_KEY);
    dump_key(out, RUN_KEY);
    const int failed = fclose(out) != 0 ? 4 : 0;
    end_suites();
    RegDeleteTreeW(HKEY_CURRENT_USER, UNINSTALL_KEY);
    RegDeleteKeyW(HKEY_CURRENT_USER, UNINSTALL_KEY);
    HKEY run;
    if (!RegCreateKeyExW(HKEY_CURRENT_USER, RUN_KEY, 0, NULL, 0, KEY_SET_VALUE, NULL, &run, NULL)) {
        RegSetValueExW(run, L"Lumiran", 0, REG_SZ, (const BYTE *)STALE_RUN_DATA, sizeof STALE_RUN_DATA);
        RegCloseKey(run);
    }
    return failed;
}
