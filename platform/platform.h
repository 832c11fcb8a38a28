// The setup program's only view of the operating system.
//
// Each function translates one platform service and returns plain values;
// none of them decides anything. The Windows build links platform/win32,
// the host tests link a recording stand-in with the same declarations.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Opaque handles. On Windows they are HINSTANCE, HWND, a process HANDLE, a
// mutex HANDLE, HKEY, IShellLinkW* and IPersistFile*; nothing outside
// platform/ looks inside them.
struct ModuleObject;
struct WindowObject;
struct ProcessObject;
struct MutexObject;
struct KeyObject;
struct ShellLinkObject;
struct PersistFileObject;
using ModuleHandle = ModuleObject*;
using WindowHandle = WindowObject*;
using ProcessHandle = ProcessObject*;
using MutexHandle = MutexObject*;
using KeyHandle = KeyObject*;
using ShellLink = ShellLinkObject*;
using PersistFile = PersistFileObject*;

using HResult = std::int32_t;  // negative means failure, S_FALSE is success
using Status = std::int32_t;   // a Win32 error code; 0 is ERROR_SUCCESS

enum class FolderId { LocalAppData, Desktop, Programs };

// Process start-up.
// SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32), looked up at run
// time: false when this Windows lacks it or it fails.
[[nodiscard]] bool RestrictDllSearchToSystem32();
// SetDllDirectoryW(L""): takes the current directory out of the DLL search.
[[nodiscard]] bool RemoveCurrentDirectoryFromDllSearch();
[[nodiscard]] HResult InitializeComApartment();  // CoInitializeEx(NULL, COINIT_APARTMENTTHREADED)
void UninitializeCom();
[[nodiscard]] bool InitCommonControls(std::uint32_t size, std::uint32_t classes);

// Known folders. The path is shell-allocated and must go back through
// FreeTaskMemory, whatever the result code says.
struct KnownFolderLookup {
    HResult result;
    wchar_t* path;
};
[[nodiscard]] KnownFolderLookup GetKnownFolderPath(FolderId folder, std::uint32_t flags);
void FreeTaskMemory(void* memory);

// Windows of other processes.
[[nodiscard]] WindowHandle FindTopLevelWindow(const std::wstring& className);
[[nodiscard]] bool PostWindowMessage(WindowHandle window, std::uint32_t message,
                                     std::uintptr_t wParam, std::intptr_t lParam);
[[nodiscard]] bool WindowExists(WindowHandle window);
void SleepMilliseconds(std::uint32_t milliseconds);

// The process that owns a window, opened for SYNCHRONIZE only
// (GetWindowThreadProcessId, OpenProcess); nullptr when it cannot be opened.
// An opened process goes back through CloseProcess.
[[nodiscard]] ProcessHandle OpenWindowProcess(WindowHandle window);
// WaitForSingleObject with a zero timeout: true once the process has ended.
[[nodiscard]] bool ProcessEnded(ProcessHandle process);
void CloseProcess(ProcessHandle process);

// Named mutexes of the session.
// CreateMutexW(NULL, FALSE, name) and, when it gives nullptr, GetLastError:
// ERROR_ACCESS_DENIED (5) when a mutex of that name exists that this token
// may not open with full access (one an elevated run created), another code
// when the name is taken by another kind of object, and so on.
struct CreatedMutex {
    MutexHandle mutex = nullptr;
    std::uint32_t error = 0;  // the last error when mutex is nullptr
};
[[nodiscard]] CreatedMutex CreateNamedMutex(const std::wstring& name);
// WaitForSingleObject with a zero timeout: WAIT_OBJECT_0, WAIT_ABANDONED,
// WAIT_TIMEOUT or WAIT_FAILED, as it came.
[[nodiscard]] std::uint32_t TryTakeMutex(MutexHandle mutex);
void ReleaseTakenMutex(MutexHandle mutex);  // ReleaseMutex
void CloseMutex(MutexHandle mutex);         // CloseHandle

// Who this process runs as, and who is logged on to its session. Each
// record says whether the fact could be read at all.
struct ProcessUser {
    bool read = false;
    std::wstring sid;  // as text, "S-1-5-18"
};
// The process token's user (OpenProcessToken, GetTokenInformation(TokenUser),
// ConvertSidToStringSidW).
[[nodiscard]] ProcessUser ReadProcessUser();
struct Elevation {
    bool read = false;
    bool elevated = false;
};
// GetTokenInformation(TokenElevation) of the process token.
[[nodiscard]] Elevation ReadProcessElevation();
struct AccountName {
    bool read = false;
    std::wstring name;
    std::wstring domain;
};
// LookupAccountSidW on this computer of a SID given as text.
[[nodiscard]] AccountName LookupAccountOfSid(const std::wstring& sid);
// WTSQuerySessionInformationW, WTSUserName then WTSDomainName, for this
// process's session: an empty name when nobody is logged on to it.
[[nodiscard]] AccountName ReadSessionUser();
struct SessionId {
    bool read = false;
    std::uint32_t id = 0;
};
// ProcessIdToSessionId of this process.
[[nodiscard]] SessionId ReadProcessSessionId();
// CompareStringOrdinal ignoring case: the way Windows compares account names.
[[nodiscard]] bool SameNameIgnoringCase(const std::wstring& a, const std::wstring& b);

// Raw data resources of a module: the bytes in place, or {nullptr, 0}.
struct ResourceBytes {
    const void* data;
    std::uint32_t size;
};
[[nodiscard]] ResourceBytes LoadDataResource(ModuleHandle module, int id);

// Files.
// GetModuleFileNameW: the characters written, 0 on failure, capacity when
// the path was cut short.
[[nodiscard]] std::uint32_t GetOwnModulePath(wchar_t* buffer, std::uint32_t capacity);
[[nodiscard]] bool CopyFileTo(const wchar_t* source, const std::wstring& target, bool failIfExists);
// SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL).
[[nodiscard]] bool ClearFileAttributes(const std::wstring& path);
[[nodiscard]] bool RemoveFile(const std::wstring& path);
// GetFileAttributesW: true while anything is found at the path.
[[nodiscard]] bool PathExists(const std::wstring& path);

// Registry, always below HKEY_CURRENT_USER.
struct KeyOpening {
    Status status;
    KeyHandle key;
};
[[nodiscard]] KeyOpening CreateUserKey(const std::wstring& subKey, std::uint32_t options,
                                       std::uint32_t access);
[[nodiscard]] Status SetKeyValue(KeyHandle key, const std::wstring& name, std::uint32_t type,
                                 const void* data, std::uint32_t size);
[[nodiscard]] Status DeleteKeyValue(KeyHandle key, const std::wstring& name);
void CloseKey(KeyHandle key);
[[nodiscard]] Status DeleteUserKeyTree(const std::wstring& subKey);

// The shell's ShellLink object (IShellLinkW and its IPersistFile).
struct ShellLinkCreation {
    HResult result;
    ShellLink link;
};
[[nodiscard]] ShellLinkCreation CreateShellLink();
[[nodiscard]] HResult ShellLinkSetPath(ShellLink link, const std::wstring& path);
[[nodiscard]] HResult ShellLinkSetWorkingDirectory(ShellLink link, const std::wstring& directory);
[[nodiscard]] HResult ShellLinkSetDescription(ShellLink link, const std::wstring& description);
[[nodiscard]] HResult ShellLinkSetIconLocation(ShellLink link, const std::wstring& path, int index);
struct PersistFileQuery {
    HResult result;
    PersistFile file;
};
[[nodiscard]] PersistFileQuery ShellLinkQueryPersistFile(ShellLink link);
[[nodiscard]] HResult PersistFileSave(PersistFile file, const std::wstring& path, bool remember);
void ReleaseShellLink(ShellLink link);
void ReleasePersistFile(PersistFile file);

// Task dialog: a plain mirror of TASKDIALOGCONFIG, member by member.
struct TaskDialogButton {
    int id;
    const wchar_t* text;
};
struct TaskDialogConfig {
    std::uint32_t size;  // cbSize
    WindowHandle parent;
    ModuleHandle instance;
    std::uint32_t flags;
    std::uint32_t commonButtons;
    const wchar_t* windowTitle;
    std::uint16_t mainIconId;  // MAKEINTRESOURCEW of this id, resolved against instance
    const wchar_t* mainInstruction;
    const wchar_t* content;
    std::uint32_t buttonCount;
    const TaskDialogButton* buttons;
    int defaultButton;
    std::uint32_t radioButtonCount;
    const TaskDialogButton* radioButtons;
    int defaultRadioButton;
    const wchar_t* verificationText;
    const wchar_t* expandedInformation;
    const wchar_t* expandedControlText;
    const wchar_t* collapsedControlText;
    const wchar_t* footerIcon;
    const wchar_t* footer;
    void* callback;
    std::intptr_t callbackData;
    std::uint32_t width;
};
struct TaskDialogAnswer {
    HResult result;
    int button;
    bool verificationChecked;
};
// The button variable starts at initialButton and the verification variable
// at initialVerification; no radio-button variable is passed.
[[nodiscard]] TaskDialogAnswer ShowTaskDialog(const TaskDialogConfig& config, int initialButton,
                                              bool initialVerification);

// Message box without an owner window; returns the button id.
[[nodiscard]] int ShowMessageBox(const wchar_t* text, const wchar_t* caption, std::uint32_t style);

// ShellExecuteW with no owner window; returns its instance-handle result.
[[nodiscard]] std::intptr_t ShellExecuteFile(const wchar_t* verb, const std::wstring& file,
                                             const wchar_t* parameters,
                                             const std::wstring& directory, int showCommand);

}  // namespace platform
