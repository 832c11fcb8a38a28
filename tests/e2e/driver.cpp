// e2e-driver: the Windows side of the end-to-end scenarios. It runs inside
// the scenario's Wine prefix, next to the setup program, and does what a user
// or another program would do there: start processes, press buttons, read
// message boxes and the registry, hold files open. Output is UTF-8 so that
// the scripts can compare Chinese texts as they are.
//
//   run [--timeout=MS] EXE [ARG...]   start, wait; print every visible top-level
//                                     window the process showed, then "exit N"
//   run-line [--timeout=MS] CMDLINE   the same with a command line as it stands
//   run-elevated EXE [ARG...]         the same through the shell's runas verb
//   start EXE [ARG...]                start without waiting; print the process id
//   wait-window CLASS [TITLE]         wait until such a top-level window exists
//   wait-gone CLASS [TITLE]           wait until no such window exists
//   count-windows CLASS [TITLE]       print how many exist
//   close-window CLASS [TITLE]        post WM_CLOSE to each, wait until gone
//   window-rect CLASS TITLE           print where the window is, as WxH+X+Y
//   dialog-texts                      print the welcome dialog's controls
//   dialog-click [--verify] BUTTON    tick the check box, then press BUTTON
//   dialog-close                      close the welcome dialog by its close box
//   msgbox CAPTION [ok|yes|no]        print the box's text and button ids, press
//   reg-query KEY NAME                print "TYPE SIZE DATA" of one value
//   reg-dump KEY                      print every value ("NAME=TYPE SIZE DATA")
//                                     and every subkey ("[NAME]"), sorted
//   reg-set KEY NAME sz|dword DATA    write one value, creating the key
//   lnk-target PATH                   print the target that the shell reads from
//                                     the shortcut at PATH
//   hold-open PATH SECONDS            open PATH without write or delete sharing,
//                                     print "held", keep it open
//   session                           keep the desktop up, as a logged-on user's
//                                     shell does: print "held", wait until killed
//   hold-mutex NAME SECONDS [sync-only]
//                                     create and own the named mutex, print
//                                     "held", keep it (killed: it is abandoned);
//                                     sync-only: its DACL grants everyone only
//                                     SYNCHRONIZE, as an elevated run's does to
//                                     a normal one
//
// The welcome dialog is the dialog titled as E2E_WELCOME_TITLE says, which
// names the version of the image under test. KEY is HKCU\... or HKLM\...;
// every wait gives up after 20 s. Exit code 0 on success, 1 when a check fails
// or a wait times out, 2 on a usage error.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr DWORD kWaitMs = 20000;
constexpr DWORD kPollMs = 10;
constexpr DWORD kSettleMs = 200;
constexpr wchar_t kDialogClass[] = L"#32770";
constexpr int kMessageTextId = 0xFFFF;

class Handle {
public:
    explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
    ~Handle() {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

class Key {
public:
    Key() = default;
    ~Key() {
        if (key_ != nullptr) ::RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

void Write(DWORD stream, const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                          nullptr, nullptr);
    bytes += '\n';
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(stream), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void Print(const std::wstring& text) { Write(STD_OUTPUT_HANDLE, text); }

int Fail(const std::wstring& message) {
    Write(STD_ERROR_HANDLE, L"e2e-driver: " + message);
    return 1;
}

// Line feeds and tabs shown as \n and \t, so that one control is one line.
std::wstring OneLine(const std::wstring& text) {
    std::wstring line;
    for (const wchar_t c : text) {
        if (c == L'\n') {
            line += L"\\n";
        } else if (c == L'\t') {
            line += L"\\t";
        } else {
            line += c;
        }
    }
    return line;
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

// One argument quoted by the rules that CommandLineToArgvW undoes.
std::wstring Quote(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

std::wstring JoinCommandLine(wchar_t** first, wchar_t** last) {
    std::wstring line;
    for (wchar_t** argument = first; argument != last; ++argument) {
        if (!line.empty()) line += L' ';
        line += Quote(*argument);
    }
    return line;
}

// Started without the driver's standard handles: under Wine a child would
// otherwise keep the script's pipe open for as long as it runs.
bool Start(std::wstring commandLine, PROCESS_INFORMATION& process) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    return ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process) != FALSE;
}

// "Run as administrator": Wine gives a process started with the runas verb
// its full token, as Windows does once the consent prompt has been answered.
bool StartElevated(const std::wstring& file, const std::wstring& parameters, PROCESS_INFORMATION& process) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"runas";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&info) || info.hProcess == nullptr) return false;
    process = {info.hProcess, nullptr, ::GetProcessId(info.hProcess), 0};
    return true;
}

// Visible top-level windows of one process, in the order first seen. A
// window counts again when its handle comes back with another class or title,
// as Wine may hand a freed handle to the next window. One on its way out may
// answer with no class or an empty title: it counts only when it is still
// there and visible after both were read.
struct WindowsOfProcess {
    DWORD processId;
    std::vector<std::pair<HWND, std::wstring>> seen;
};

BOOL CALLBACK NoteWindow(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<WindowsOfProcess*>(context);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId || !::IsWindowVisible(window)) return TRUE;
    const std::wstring className = ClassName(window);
    const std::wstring text = WindowText(window);
    if (className.empty() || !::IsWindowVisible(window)) return TRUE;
    const std::pair<HWND, std::wstring> entry(window, className + L" " + text);
    if (std::find(search.seen.begin(), search.seen.end(), entry) == search.seen.end()) search.seen.push_back(entry);
    return TRUE;
}

// Runs the command line to its end, watching for windows of the process;
// with elevatedFile, that file elevated, the command line its parameters.
int RunAndWatch(const std::wstring& commandLine, DWORD timeoutMs, const std::wstring& elevatedFile = L"") {
    PROCESS_INFORMATION info = {};
    const bool started =
        elevatedFile.empty() ? Start(commandLine, info) : StartElevated(elevatedFile, commandLine, info);
    if (!started) return Fail(L"cannot start " + elevatedFile + L" " + commandLine);
    const Handle process(info.hProcess);
    const Handle thread(info.hThread);
    WindowsOfProcess search{info.dwProcessId, {}};
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (::WaitForSingleObject(process.get(), kPollMs) == WAIT_TIMEOUT) {
        ::EnumWindows(NoteWindow, reinterpret_cast<LPARAM>(&search));
        if (::GetTickCount64() > deadline) {
            ::TerminateProcess(process.get(), 124);
            Print(L"timeout");
            break;
        }
    }
    for (const auto& window : search.seen) Print(L"window " + window.second);
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    Print(L"exit " + std::to_wstring(code));
    return 0;
}

struct WindowQuery {
    std::wstring className;
    const wchar_t* title;  // null: any title
    std::vector<HWND> found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
    auto& query = *reinterpret_cast<WindowQuery*>(context);
    if (ClassName(window) == query.className && (query.title == nullptr || WindowText(window) == query.title)) {
        query.found.push_back(window);
    }
    return TRUE;
}

std::vector<HWND> FindWindows(const std::wstring& className, const wchar_t* title) {
    WindowQuery query{className, title, {}};
    ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

// The first visible window of the class and title, once it appears. It is
// given a moment to settle, as a user would, before anyone acts on it.
HWND WaitForWindow(const std::wstring& className, const wchar_t* title) {
    const ULONGLONG deadline = ::GetTickCount64() + kWaitMs;
    do {
        for (const HWND window : FindWindows(className, title)) {
            if (!::IsWindowVisible(window)) continue;
            ::Sleep(kSettleMs);
            return window;
        }
        ::Sleep(kPollMs);
    } while (::GetTickCount64() < deadline);
    return nullptr;
}

bool WaitUntilGone(const std::wstring& className, const wchar_t* title) {
    const ULONGLONG deadline = ::GetTickCount64() + kWaitMs;
    while (!FindWindows(className, title).empty()) {
        if (::GetTickCount64() > deadline) return false;
        ::Sleep(kPollMs);
    }
    return true;
}

struct Control {
    int id;
    std::wstring className;
    std::wstring text;
};

BOOL CALLBACK NoteControl(HWND window, LPARAM context) {
    reinterpret_cast<std::vector<Control>*>(context)->push_back(
        {::GetDlgCtrlID(window), ClassName(window), WindowText(window)});
    return TRUE;
}

std::vector<Control> Controls(HWND dialog) {
    std::vector<Control> controls;
    ::EnumChildWindows(dialog, NoteControl, reinterpret_cast<LPARAM>(&controls));
    return controls;
}

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result) != 0;
}

HWND WaitForWelcomeDialog() {
    wchar_t title[256] = {};
    if (::GetEnvironmentVariableW(L"E2E_WELCOME_TITLE", title, 256) == 0) return nullptr;
    return WaitForWindow(kDialogClass, title);
}

int DialogClick(bool verify, int button) {
    const HWND dialog = WaitForWelcomeDialog();
    if (dialog == nullptr) return Fail(L"no welcome dialog");
    if (verify && !Send(dialog, TDM_CLICK_VERIFICATION, TRUE, FALSE)) return Fail(L"check box not ticked");
    if (!Send(dialog, TDM_CLICK_BUTTON, static_cast<WPARAM>(button), 0)) return Fail(L"button not pressed");
    return 0;
}

int MessageBoxAnswer(const std::wstring& caption, const std::wstring& answer) {
    const std::map<std::wstring, int> answers = {{L"ok", IDOK}, {L"yes", IDYES}, {L"no", IDNO}};
    const auto chosen = answers.find(answer);
    if (chosen == answers.end()) return Fail(L"unknown answer " + answer);
    const HWND box = WaitForWindow(kDialogClass, caption.c_str());
    if (box == nullptr) return Fail(L"no message box \"" + caption + L"\"");
    std::wstring buttons = L"buttons:";
    for (const Control& control : Controls(box)) {
        if (control.className == L"Button") buttons += L" " + std::to_wstring(control.id);
    }
    Print(OneLine(WindowText(::GetDlgItem(box, kMessageTextId))));
    Print(buttons);
    const HWND button = ::GetDlgItem(box, chosen->second);
    if (button == nullptr) return Fail(L"the box has no button " + answer);
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(chosen->second, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return 0;
}

// "HKCU\Software\X" into the root and the path below it.
bool SplitKey(const std::wstring& key, HKEY& root, std::wstring& path) {
    const std::size_t slash = key.find(L'\\');
    const std::wstring head = key.substr(0, slash);
    path = slash == std::wstring::npos ? L"" : key.substr(slash + 1);
    if (head == L"HKCU" || head == L"HKEY_CURRENT_USER") {
        root = HKEY_CURRENT_USER;
    } else if (head == L"HKLM" || head == L"HKEY_LOCAL_MACHINE") {
        root = HKEY_LOCAL_MACHINE;
    } else {
        return false;
    }
    return true;
}

std::wstring DescribeValue(DWORD type, const std::vector<BYTE>& data, DWORD size) {
    const std::wstring length = std::to_wstring(size);
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD number = 0;
        std::memcpy(&number, data.data(), sizeof number);
        return L"REG_DWORD " + length + L" " + std::to_wstring(number);
    }
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        if (!text.empty() && text.back() == L'\0') text.pop_back();
        return (type == REG_SZ ? L"REG_SZ " : L"REG_EXPAND_SZ ") + length + L" " + OneLine(text);
    }
    return L"TYPE" + std::to_wstring(type) + L" " + length;
}

bool OpenKey(const std::wstring& name, REGSAM access, Key& key) {
    HKEY root = nullptr;
    std::wstring path;
    if (!SplitKey(name, root, path)) return false;
    return ::RegOpenKeyExW(root, path.c_str(), 0, access, key.out()) == ERROR_SUCCESS;
}

int RegQuery(const std::wstring& keyName, const std::wstring& valueName) {
    Key key;
    if (!OpenKey(keyName, KEY_QUERY_VALUE, key)) return Fail(L"no key " + keyName);
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return Fail(L"no value " + valueName);
    }
    std::vector<BYTE> data(size + sizeof(wchar_t));
    ::RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, data.data(), &size);
    Print(DescribeValue(type, data, size));
    return 0;
}

int RegDump(const std::wstring& keyName) {
    Key key;
    if (!OpenKey(keyName, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, key)) return Fail(L"no key " + keyName);
    std::vector<std::wstring> lines;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameLength = 16384;
        DWORD type = 0;
        std::vector<BYTE> data(65536);
        DWORD size = static_cast<DWORD>(data.size() - sizeof(wchar_t));
        if (::RegEnumValueW(key.get(), index, name, &nameLength, nullptr, &type, data.data(), &size) !=
            ERROR_SUCCESS) {
            break;
        }
        lines.push_back(std::wstring(name) + L"=" + DescribeValue(type, data, size));
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (::RegEnumKeyExW(key.get(), index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        lines.push_back(L"[" + std::wstring(name) + L"]");
    }
    std::sort(lines.begin(), lines.end());
    for (const std::wstring& line : lines) Print(line);
    return 0;
}

bool CreateKey(const std::wstring& keyName, Key& key) {
    HKEY root = nullptr;
    std::wstring path;
    if (!SplitKey(keyName, root, path)) return false;
    return ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.out(), nullptr) ==
           ERROR_SUCCESS;
}

int RegSet(const std::wstring& keyName, const std::wstring& valueName, const std::wstring& type,
           const std::wstring& data) {
    Key key;
    if (!CreateKey(keyName, key)) return Fail(L"cannot create " + keyName);
    LSTATUS status = ERROR_INVALID_PARAMETER;
    if (type == L"sz") {
        status = ::RegSetValueExW(key.get(), valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                  static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    } else if (type == L"dword") {
        const DWORD number = std::wcstoul(data.c_str(), nullptr, 0);
        status = ::RegSetValueExW(key.get(), valueName.c_str(), 0, REG_DWORD,
                                  reinterpret_cast<const BYTE*>(&number), sizeof number);
    }
    return status == ERROR_SUCCESS ? 0 : Fail(L"cannot set " + valueName);
}

// An interface pointer released when it goes out of scope.
template <typename Interface>
class Com {
public:
    Com() = default;
    ~Com() {
        if (pointer_ != nullptr) pointer_->Release();
    }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    Interface* operator->() const { return pointer_; }
    void** out() { return reinterpret_cast<void**>(&pointer_); }
    explicit operator bool() const { return pointer_ != nullptr; }

private:
    Interface* pointer_ = nullptr;
};

// As the shell resolves it: through the link's item list, which holds the
// full names, unlike the ANSI path of its link-information block.
int LinkTarget(const std::wstring& path) {
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return Fail(L"no COM");
    int result = 0;
    {
        Com<IShellLinkW> link;
        Com<IPersistFile> file;
        wchar_t target[MAX_PATH] = {};
        if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                      link.out())) ||
            FAILED(link->QueryInterface(IID_IPersistFile, file.out())) ||
            FAILED(file->Load(path.c_str(), STGM_READ)) ||
            FAILED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH))) {
            result = Fail(L"cannot read " + path);
        } else {
            Print(target);
        }
    }
    ::CoUninitialize();
    return result;
}

int HoldOpen(const std::wstring& path, DWORD seconds) {
    const Handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return Fail(L"cannot open " + path);
    Print(L"held");
    ::Sleep(seconds * 1000);
    return 0;
}

int HoldMutex(const std::wstring& name, DWORD seconds, bool syncOnly) {
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, FALSE};
    if (syncOnly && !::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                        L"D:P(A;;0x00100000;;;WD)", SDDL_REVISION_1, &attributes.lpSecurityDescriptor, nullptr)) {
        return Fail(L"cannot make the security descriptor");
    }
    const Handle mutex(::CreateMutexW(syncOnly ? &attributes : nullptr, TRUE, name.c_str()));
    ::LocalFree(attributes.lpSecurityDescriptor);
    if (!mutex.valid() || ::GetLastError() == ERROR_ALREADY_EXISTS) return Fail(L"cannot own " + name);
    Print(L"held");
    ::Sleep(seconds * 1000);
    ::ReleaseMutex(mutex.get());
    return 0;
}

// Wine closes a desktop a second after the last program on it has ended; a
// program starting in that second can open the closing desktop and be left
// without one, so that its windows and boxes fail at once. A scenario keeps
// this program running from its first step to its last, as Windows keeps
// the logged-on user's shell, so that every program meets the same desktop.
int HoldSession() {
    if (::GetDesktopWindow() == nullptr) return Fail(L"no desktop");
    Print(L"held");
    ::Sleep(INFINITE);
    return 0;
}

int Usage() {
    Write(STD_ERROR_HANDLE, L"usage: e2e-driver COMMAND [ARGS...]; see the head of tests/e2e/driver.cpp");
    return 2;
}

// "--timeout=MS" in front of the remaining arguments, or the default.
DWORD TakeTimeout(int& first, int argc, wchar_t** argv) {
    constexpr wchar_t kOption[] = L"--timeout=";
    if (first < argc && std::wcsncmp(argv[first], kOption, std::size(kOption) - 1) == 0) {
        return std::wcstoul(argv[first++] + std::size(kOption) - 1, nullptr, 10);
    }
    return 60000;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    const std::wstring command = argv[1];
    const auto arg = [&](int index) { return index < argc ? std::wstring(argv[index]) : std::wstring(); };
    const wchar_t* title = argc > 3 ? argv[3] : nullptr;

    if (command == L"run" || command == L"run-line") {
        int first = 2;
        const DWORD timeoutMs = TakeTimeout(first, argc, argv);
        if (first >= argc) return Usage();
        return RunAndWatch(command == L"run" ? JoinCommandLine(argv + first, argv + argc) : arg(first), timeoutMs);
    }
    if (command == L"run-elevated" && argc >= 3) {
        return RunAndWatch(JoinCommandLine(argv + 3, argv + argc), 60000, arg(2));
    }
    if (command == L"start" && argc >= 3) {
        PROCESS_INFORMATION info = {};
        if (!Start(JoinCommandLine(argv + 2, argv + argc), info)) return Fail(L"cannot start " + arg(2));
        const Handle process(info.hProcess);
        const Handle thread(info.hThread);
        Print(std::to_wstring(info.dwProcessId));
        return 0;
    }
    if (command == L"wait-window" && argc >= 3) {
        return WaitForWindow(arg(2), title) != nullptr ? 0 : Fail(L"no window " + arg(2));
    }
    if (command == L"wait-gone" && argc >= 3) {
        return WaitUntilGone(arg(2), title) ? 0 : Fail(L"still there: " + arg(2));
    }
    if (command == L"close-window" && argc >= 3) {
        for (const HWND window : FindWindows(arg(2), title)) ::PostMessageW(window, WM_CLOSE, 0, 0);
        return WaitUntilGone(arg(2), title) ? 0 : Fail(L"still there: " + arg(2));
    }
    if (command == L"window-rect" && argc == 4) {
        const HWND window = WaitForWindow(arg(2), title);
        RECT area = {};
        if (window == nullptr || !::GetWindowRect(window, &area)) return Fail(L"no window " + arg(3));
        Print(std::to_wstring(area.right - area.left) + L"x" + std::to_wstring(area.bottom - area.top) + L"+" +
              std::to_wstring(area.left) + L"+" + std::to_wstring(area.top));
        return 0;
    }
    if (command == L"count-windows" && argc >= 3) {
        Print(std::to_wstring(FindWindows(arg(2), title).size()));
        return 0;
    }
    if (command == L"dialog-texts") {
        const HWND dialog = WaitForWelcomeDialog();
        if (dialog == nullptr) return Fail(L"no welcome dialog");
        for (const Control& control : Controls(dialog)) {
            if (!control.text.empty()) Print(control.className + L" " + OneLine(control.text));
        }
        return 0;
    }
    if (command == L"dialog-click" && argc >= 3) {
        const bool verify = arg(2) == L"--verify";
        const std::wstring button = arg(verify ? 3 : 2);
        if (button.empty()) return Usage();
        return DialogClick(verify, static_cast<int>(std::wcstol(button.c_str(), nullptr, 10)));
    }
    if (command == L"dialog-close") {
        const HWND dialog = WaitForWelcomeDialog();
        if (dialog == nullptr) return Fail(L"no welcome dialog");
        ::PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    }
    if (command == L"msgbox" && argc >= 3) return MessageBoxAnswer(arg(2), argc > 3 ? arg(3) : L"ok");
    if (command == L"reg-query" && argc == 4) return RegQuery(arg(2), arg(3));
    if (command == L"reg-dump" && argc == 3) return RegDump(arg(2));
    if (command == L"reg-set" && argc == 6) return RegSet(arg(2), arg(3), arg(4), arg(5));
    if (command == L"lnk-target" && argc == 3) return LinkTarget(arg(2));
    if (command == L"hold-open" && argc == 4) {
        return HoldOpen(arg(2), std::wcstoul(argv[3], nullptr, 10));
    }
    if (command == L"session" && argc == 2) return HoldSession();
    if (command == L"hold-mutex" && (argc == 4 || (argc == 5 && arg(4) == L"sync-only"))) {
        return HoldMutex(arg(2), std::wcstoul(argv[3], nullptr, 10), argc == 5);
    }
    return Usage();
}
