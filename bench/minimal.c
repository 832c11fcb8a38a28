/* The shortest program that makes the calls of a silent install of Lumiran
   Setup, in the order the setup program makes them: the DLL search
   restriction, a single-threaded COM apartment and the common controls, the
   setup lock, the LocalAppData lookup, the look for a running suite, the
   payload from its own resource 201 written with one write, the copy of its
   own image as the uninstaller with its attributes and download mark
   cleared, both shortcuts, the Run value deleted, the nine registration
   values, the suite started. Plain C against Win32: no C++ runtime, no file
   stream, no layers, no checks, nothing freed that the process exit frees.

   The benchmark builds it with the resources of each setup image it builds
   (bench.py) and measures it beside it as one more installer: an installer
   that does what the setup program does, the way it does it, can hardly be
   faster than this under the same Wine, so its time shows how much of a
   goal is within reach of any implementation of the setup program. */
#define _WIN32_WINNT 0x0A00
#define COBJMACROS
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlguid.h>
#include <shlobj.h>
#include <wchar.h>

#define UNINSTALL_KEY L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumiran"
#define RUN_KEY L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"
#define DESCRIPTION L"Lumiran - \x8f7b\x76c8\x9ad8\x6548\x7684\x684c\x9762\x5916\x58f3\x4e0e\x6548\x7387\x5de5\x5177\x96c6"

static void set_string(const wchar_t *name, const wchar_t *value) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, UNINSTALL_KEY, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL)) return;
    RegSetValueExW(key, name, 0, REG_SZ, (const BYTE *)value, (DWORD)((wcslen(value) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

static void set_dword(const wchar_t *name, DWORD value) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, UNINSTALL_KEY, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL)) return;
    RegSetValueExW(key, name, 0, REG_DWORD, (const BYTE *)&value, sizeof value);
    RegCloseKey(key);
}

static void shortcut(REFKNOWNFOLDERID folder, const wchar_t *target, const wchar_t *dir) {
    PWSTR base = NULL;
    wchar_t path[MAX_PATH * 2];
    SHGetKnownFolderPath(folder, 0, NULL, &base);
    swprintf(path, MAX_PATH * 2, L"%ls\\Lumiran.lnk", base ? base : L"");
    CoTaskMemFree(base);
    IShellLinkW *link = NULL;
    if (FAILED(CoCreateInstance(&CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, &IID_IShellLinkW, (void **)&link)))
        return;
    IShellLinkW_SetPath(link, target);
    IShellLinkW_SetWorkingDirectory(link, dir);
    IShellLinkW_SetDescription(link, DESCRIPTION);
    IShellLinkW_SetIconLocation(link, target, 0);
    IPersistFile *file = NULL;
    if (SUCCEEDED(IShellLinkW_QueryInterface(link, &IID_IPersistFile, (void **)&file))) {
        IPersistFile_Save(file, path, TRUE);
        IPersistFile_Release(file);
    }
    IShellLinkW_Release(link);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) {
    (void)previous;
    (void)commandLine;
    (void)show;
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    HANDLE lock = CreateMutexW(NULL, FALSE, L"Local\\LumiranSetup");
    if (!lock && GetLastError() == ERROR_ACCESS_DENIED) return 1618;
    if (lock && WaitForSingleObject(lock, 0) == WAIT_TIMEOUT) return 1618;

    PWSTR local = NULL;
    SHGetKnownFolderPath(&FOLDERID_LocalAppData, 0, NULL, &local);
    wchar_t programs[MAX_PATH * 2], dir[MAX_PATH * 2], exe[MAX_PATH * 2], uninstaller[MAX_PATH * 2];
    swprintf(programs, MAX_PATH * 2, L"%ls\\Programs", local);
    swprintf(dir, MAX_PATH * 2, L"%ls\\Lumiran", programs);
    swprintf(exe, MAX_PATH * 2, L"%ls\\Lumiran.exe", dir);
    swprintf(uninstaller, MAX_PATH * 2, L"%ls\\Lumiran-Uninstall.exe", dir);
    CoTaskMemFree(local);

    HWND running = FindWindowW(L"LumiranRenderWindow", NULL);
    if (running) {
        PostMessageW(running, WM_CLOSE, 0, 0);
        for (int i = 0; i < 20 && IsWindow(running); ++i) Sleep(100);
    }

    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(201), MAKEINTRESOURCEW(10));
    const void *bytes = found ? LockResource(LoadResource(instance, found)) : NULL;
    DWORD size = found ? SizeofResource(instance, found) : 0;
    CreateDirectoryW(programs, NULL);
    CreateDirectoryW(dir, NULL);
    HANDLE out = CreateFileW(exe, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written = 0;
    if (out == INVALID_HANDLE_VALUE || !bytes || !WriteFile(out, bytes, size, &written, NULL) || written != size)
        return 1;
    CloseHandle(out);

    wchar_t self[520] = {0};
    GetModuleFileNameW(NULL, self, 520);
    SetFileAttributesW(uninstaller, FILE_ATTRIBUTE_NORMAL);
    if (CopyFileW(self, uninstaller, FALSE)) {
        wchar_t mark[MAX_PATH * 2];
        SetFileAttributesW(uninstaller, FILE_ATTRIBUTE_NORMAL);
        swprintf(mark, MAX_PATH * 2, L"%ls:Zone.Identifier", uninstaller);
        DeleteFileW(mark);
    }

    shortcut(&FOLDERID_Desktop, exe, dir);
    shortcut(&FOLDERID_Programs, exe, dir);

    HKEY run;
    if (!RegCreateKeyExW(HKEY_CURRENT_USER, RUN_KEY, 0, NULL, 0, KEY_SET_VALUE, NULL, &run, NULL)) {
        RegDeleteValueW(run, L"Lumiran");
        RegCloseKey(run);
    }
    wchar_t text[MAX_PATH * 3];
    set_string(L"DisplayName", L"Lumiran");
    set_string(L"DisplayVersion", L"" LUMIRAN_VERSION_TEXT);  /* the setup image's, from bench.py */
    set_string(L"Publisher", L"Lumiran");
    set_string(L"InstallLocation", dir);
    swprintf(text, MAX_PATH * 3, L"%ls,0", exe);
    set_string(L"DisplayIcon", text);
    swprintf(text, MAX_PATH * 3, L"\"%ls\" /uninstall", uninstaller);
    set_string(L"UninstallString", text);
    set_dword(L"EstimatedSize", 1024);
    set_dword(L"NoModify", 1);
    set_dword(L"NoRepair", 1);

    ShellExecuteW(NULL, L"open", exe, NULL, dir, SW_SHOWNORMAL);
    CoUninitialize();
    return 0;
}
