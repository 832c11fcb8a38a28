#include "tests/host/fake_platform.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace fake {
namespace {

State g_state;

std::wstring Num(long long value) { return std::to_wstring(value); }
std::wstring Text(const wchar_t* text) { return text != nullptr ? std::wstring(text) : L"<null>"; }

void Record(const std::string& op, std::vector<std::wstring> args = {},
            std::vector<std::uint8_t> data = {}) {
    g_state.calls.push_back({op, std::move(args), std::move(data)});
}

const wchar_t* FolderName(platform::FolderId folder) {
    switch (folder) {
        case platform::FolderId::LocalAppData: return L"LocalAppData";
        case platform::FolderId::Desktop: return L"Desktop";
        case platform::FolderId::Programs: return L"Programs";
    }
    return L"?";
}

// Handles are small distinct numbers so the log can name them.
template <typename Handle>
Handle MakeHandle(std::uintptr_t value) {
    return reinterpret_cast<Handle>(value);
}
std::wstring HandleName(const void* handle) {
    return Num(static_cast<long long>(reinterpret_cast<std::uintptr_t>(handle)));
}

wchar_t* AllocShellString(const std::wstring& text) {
    auto* memory = static_cast<wchar_t*>(std::malloc((text.size() + 1) * sizeof(wchar_t)));
    std::wmemcpy(memory, text.c_str(), text.size() + 1);
    ++g_state.shellStringsAlive;
    return memory;
}

constexpr std::uintptr_t kWindow = 0x1000;
constexpr std::uintptr_t kProcess = 0x1800;
constexpr std::uintptr_t kMutex = 0x1C00;
constexpr std::uintptr_t kLink = 0x2000;
constexpr std::uintptr_t kFile = 0x3000;
constexpr std::uintptr_t kKeyBase = 0x4000;

}  // namespace

State& Fake() { return g_state; }

void Reset() { g_state = State(); }

std::vector<std::string> Ops() {
    std::vector<std::string> ops;
    for (const Call& call : g_state.calls) ops.push_back(call.op);
    return ops;
}

std::vector<Call> CallsOf(const std::string& op) {
    std::vector<Call> found;
    for (const Call& call : g_state.calls) {
        if (call.op == op) found.push_back(call);
    }
    return found;
}

}  // namespace fake

namespace platform {

using fake::g_state;

bool RestrictDllSearchToSystem32() {
    fake::Record("RestrictDllSearchToSystem32");
    return !g_state.script.dllDirectoriesMissing;
}

bool RemoveCurrentDirectoryFromDllSearch() {
    fake::Record("RemoveCurrentDirectoryFromDllSearch");
    return true;
}

HResult InitializeComApartment() {
    fake::Record("InitializeComApartment");
    return 0;
}

void UninitializeCom() { fake::Record("UninitializeCom"); }

bool InitCommonControls(std::uint32_t size, std::uint32_t classes) {
    fake::Record("InitCommonControls", {fake::Num(size), fake::Num(classes)});
    return true;
}

KnownFolderLookup GetKnownFolderPath(FolderId folder, std::uint32_t flags) {
    fake::Record("GetKnownFolderPath", {fake::FolderName(folder), fake::Num(flags)});
    if (g_state.script.failingFolders.count(folder) != 0) {
        wchar_t* leftover = g_state.script.failureStillAllocates ? fake::AllocShellString(L"") : nullptr;
        return {static_cast<HResult>(0x80070002), leftover};
    }
    return {0, fake::AllocShellString(g_state.script.folders[folder])};
}

void FreeTaskMemory(void* memory) {
    fake::Record("FreeTaskMemory", {memory != nullptr ? L"memory" : L"<null>"});
    if (memory != nullptr) --g_state.shellStringsAlive;
    std::free(memory);
}

WindowHandle FindTopLevelWindow(const std::wstring& className) {
    fake::Record("FindTopLevelWindow", {className});
    return g_state.script.windowPresent ? fake::MakeHandle<WindowHandle>(fake::kWindow) : nullptr;
}

bool PostWindowMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                       std::intptr_t lParam) {
    fake::Record("PostWindowMessage", {fake::HandleName(window), fake::Num(message),
                                       fake::Num(static_cast<long long>(wParam)), fake::Num(lParam)});
    return !g_state.script.postFails;
}

bool WindowExists(WindowHandle window) {
    fake::Record("WindowExists", {fake::HandleName(window)});
    ++g_state.windowChecks;
    const int goneAfter = g_state.script.windowGoneAfterChecks;
    return goneAfter < 0 || g_state.windowChecks < goneAfter;
}

ProcessHandle OpenWindowProcess(WindowHandle window) {
    fake::Record("OpenWindowProcess", {fake::HandleName(window)});
    if (!g_state.script.processOpens) return nullptr;
    ++g_state.processesAlive;
    return fake::MakeHandle<ProcessHandle>(fake::kProcess);
}

bool ProcessEnded(ProcessHandle process) {
    fake::Record("ProcessEnded", {fake::HandleName(process)});
    return ++g_state.processChecks >= g_state.script.processEndsAfterChecks;
}

void CloseProcess(ProcessHandle process) {
    fake::Record("CloseProcess", {fake::HandleName(process)});
    --g_state.processesAlive;
}

void SleepMilliseconds(std::uint32_t milliseconds) {
    fake::Record("SleepMilliseconds", {fake::Num(milliseconds)});
}

CreatedMutex CreateNamedMutex(const std::wstring& name) {
    fake::Record("CreateNamedMutex", {name});
    if (g_state.script.mutexCreateError != 0) return {nullptr, g_state.script.mutexCreateError};
    ++g_state.mutexesAlive;
    return {fake::MakeHandle<MutexHandle>(fake::kMutex), 0};
}

std::uint32_t TryTakeMutex(MutexHandle mutex) {
    fake::Record("TryTakeMutex", {fake::HandleName(mutex)});
    const std::uint32_t result = g_state.script.mutexWait;
    if (result == 0 || result == 0x80) ++g_state.mutexesOwned;  // WAIT_OBJECT_0, WAIT_ABANDONED
    return result;
}

void ReleaseTakenMutex(MutexHandle mutex) {
    fake::Record("ReleaseTakenMutex", {fake::HandleName(mutex)});
    --g_state.mutexesOwned;
}

void CloseMutex(MutexHandle mutex) {
    fake::Record("CloseMutex", {fake::HandleName(mutex)});
    --g_state.mutexesAlive;
}

ProcessUser ReadProcessUser() { fake::Record("ReadProcessUser"); return g_state.script.processUser; }
Elevation ReadProcessElevation() { fake::Record("ReadProcessElevation"); return g_state.script.elevation; }
AccountName LookupAccountOfSid(const std::wstring& sid) {
    fake::Record("LookupAccountOfSid", {sid});
    return g_state.script.account;
}
AccountName ReadSessionUser() { fake::Record("ReadSessionUser"); return g_state.script.sessionUser; }
SessionId ReadProcessSessionId() { fake::Record("ReadProcessSessionId"); return g_state.script.sessionId; }
bool SameNameIgnoringCase(const std::wstring& a, const std::wstring& b) {  // ASCII is enough here
    const auto upper = [](wchar_t c) { return c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](wchar_t x, wchar_t y) { return upper(x) == upper(y); });
}

ResourceBytes LoadDataResource(ModuleHandle module, int id) {
    fake::Record("LoadDataResource", {fake::HandleName(module), fake::Num(id)});
    if (g_state.script.payloadMissing) return {nullptr, 0};
    return {g_state.script.payload.data(), static_cast<std::uint32_t>(g_state.script.payload.size())};
}

std::uint32_t GetOwnModulePath(wchar_t* buffer, std::uint32_t capacity) {
    bool zeroed = true;
    for (std::uint32_t i = 0; i < capacity; ++i) zeroed = zeroed && buffer[i] == L'\0';
    fake::Record("GetOwnModulePath", {fake::Num(capacity), zeroed ? L"zeroed" : L"dirty"});
    if (g_state.script.modulePathFails) return 0;
    // As GetModuleFileNameW: a path that does not fit is cut short, still
    // terminated, and the whole capacity is returned.
    const std::wstring& path = g_state.script.modulePath;
    const bool fits = path.size() < capacity;
    const std::size_t count = fits ? path.size() : capacity - 1;
    std::wmemcpy(buffer, path.c_str(), count);
    buffer[count] = L'\0';
    return static_cast<std::uint32_t>(fits ? count : capacity);
}

bool CopyFileTo(const wchar_t* source, const std::wstring& target, bool failIfExists) {
    fake::Record("CopyFileTo", {fake::Text(source), target, failIfExists ? L"true" : L"false"});
    return !g_state.script.copyFails;
}

bool ClearFileAttributes(const std::wstring& path) {
    fake::Record("ClearFileAttributes", {path});
    return true;
}

bool RemoveFile(const std::wstring& path) {
    fake::Record("RemoveFile", {path});
    return g_state.script.undeletableFiles.count(path) == 0;
}

bool PathExists(const std::wstring& path) {
    fake::Record("PathExists", {path});
    return g_state.script.undeletableFiles.count(path) != 0;
}

KeyOpening CreateUserKey(const std::wstring& subKey, std::uint32_t options, std::uint32_t access) {
    const int number = ++g_state.keyOpens;
    fake::Record("CreateUserKey", {subKey, fake::Num(options), fake::Num(access)});
    if (g_state.script.failingKeyOpens.count(number) != 0) return {5, nullptr};  // ERROR_ACCESS_DENIED
    return {0, fake::MakeHandle<KeyHandle>(fake::kKeyBase + static_cast<std::uintptr_t>(number))};
}

Status SetKeyValue(KeyHandle key, const std::wstring& name, std::uint32_t type, const void* data,
                   std::uint32_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    fake::Record("SetKeyValue", {fake::HandleName(key), name, fake::Num(type), fake::Num(size)},
                 std::vector<std::uint8_t>(bytes, bytes + size));
    return 0;
}

Status DeleteKeyValue(KeyHandle key, const std::wstring& name) {
    fake::Record("DeleteKeyValue", {fake::HandleName(key), name});
    return 0;
}

void CloseKey(KeyHandle key) { fake::Record("CloseKey", {fake::HandleName(key)}); }

Status DeleteUserKeyTree(const std::wstring& subKey) {
    fake::Record("DeleteUserKeyTree", {subKey});
    return 0;
}

ShellLinkCreation CreateShellLink() {
    fake::Record("CreateShellLink");
    const bool obtained = g_state.script.createLinkResult >= 0 && !g_state.script.createLinkNull;
    if (obtained) ++g_state.linksAlive;
    return {g_state.script.createLinkResult,
            obtained ? fake::MakeHandle<ShellLink>(fake::kLink) : nullptr};
}

HResult ShellLinkSetPath(ShellLink link, const std::wstring& path) {
    fake::Record("ShellLinkSetPath", {fake::HandleName(link), path});
    return 0;
}

HResult ShellLinkSetWorkingDirectory(ShellLink link, const std::wstring& directory) {
    fake::Record("ShellLinkSetWorkingDirectory", {fake::HandleName(link), directory});
    return 0;
}

HResult ShellLinkSetDescription(ShellLink link, const std::wstring& description) {
    fake::Record("ShellLinkSetDescription", {fake::HandleName(link), description});
    return 0;
}

HResult ShellLinkSetIconLocation(ShellLink link, const std::wstring& path, int index) {
    fake::Record("ShellLinkSetIconLocation", {fake::HandleName(link), path, fake::Num(index)});
    return 0;
}

PersistFileQuery ShellLinkQueryPersistFile(ShellLink link) {
    fake::Record("ShellLinkQueryPersistFile", {fake::HandleName(link)});
    const bool obtained = g_state.script.queryResult >= 0 && !g_state.script.queryNull;
    if (obtained) ++g_state.filesAlive;
    return {g_state.script.queryResult, obtained ? fake::MakeHandle<PersistFile>(fake::kFile) : nullptr};
}

HResult PersistFileSave(PersistFile file, const std::wstring& path, bool remember) {
    fake::Record("PersistFileSave", {fake::HandleName(file), path, remember ? L"true" : L"false"});
    return g_state.script.saveResult;
}

void ReleaseShellLink(ShellLink link) {
    fake::Record("ReleaseShellLink", {fake::HandleName(link)});
    --g_state.linksAlive;
    ++g_state.linkReleases;
}

void ReleasePersistFile(PersistFile file) {
    fake::Record("ReleasePersistFile", {fake::HandleName(file)});
    --g_state.filesAlive;
    ++g_state.fileReleases;
}

TaskDialogAnswer ShowTaskDialog(const TaskDialogConfig& config, int initialButton,
                                bool initialVerification) {
    fake::Record("ShowTaskDialog");
    fake::CapturedDialog& captured = g_state.dialog;
    captured.config = config;
    captured.windowTitle = fake::Text(config.windowTitle);
    captured.mainInstruction = fake::Text(config.mainInstruction);
    captured.content = fake::Text(config.content);
    captured.verificationText = fake::Text(config.verificationText);
    captured.buttonIds.clear();
    captured.buttonTexts.clear();
    for (std::uint32_t i = 0; i < config.buttonCount; ++i) {
        captured.buttonIds.push_back(config.buttons[i].id);
        captured.buttonTexts.push_back(fake::Text(config.buttons[i].text));
    }
    captured.initialButton = initialButton;
    captured.initialVerification = initialVerification;
    return g_state.script.dialogAnswer;
}

int ShowMessageBox(const wchar_t* text, const wchar_t* caption, std::uint32_t style) {
    fake::Record("ShowMessageBox", {fake::Text(text), fake::Text(caption), fake::Num(style)});
    return g_state.script.messageBoxAnswer;
}

std::intptr_t ShellExecuteFile(const wchar_t* verb, const std::wstring& file,
                               const wchar_t* parameters, const std::wstring& directory,
                               int showCommand) {
    fake::Record("ShellExecuteFile",
                 {fake::Text(verb), file, fake::Text(parameters), directory, fake::Num(showCommand)});
    return 42;
}

}  // namespace platform
