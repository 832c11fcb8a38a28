// A small stand-in for the Lumiran suite: one plain window of the suite's
// main-window class that closes on WM_CLOSE, which is all the setup program
// relies on. It is the default payload and the peer of the tests.
//
// Test-only switches, never passed by the setup program:
//   --ignore-close          keep running when asked to close
//   --close-delay=MS        close only MS milliseconds after the request
//   --exit-delay=MS         stay alive MS milliseconds after the window has gone
//   --report=PATH           write the working directory and the command line
//                           to PATH (UTF-16LE), one per line, at start
//   --title=TEXT            window title, to tell two instances apart
// and one test-only environment variable, for starts that pass no arguments
// (the setup program's own launch):
//   LUMIRAN_SUITE_REPORT=PATH   as --report=PATH, when that is not given
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kClassName[] = L"LumiranRenderWindow";
constexpr UINT_PTR kCloseTimer = 1;

struct Options {
    bool ignoreClose = false;
    UINT closeDelayMs = 0;
    DWORD exitDelayMs = 0;
    std::wstring reportPath;
    std::wstring title = L"Lumiran";
};
Options g_options;

// The value of --name=VALUE in the command line, or nothing.
bool FindOption(const std::wstring& commandLine, const wchar_t* name, std::wstring& value) {
    const std::wstring key = std::wstring(L"--") + name + L"=";
    const std::size_t at = commandLine.find(key);
    if (at == std::wstring::npos) return false;
    std::size_t start = at + key.size();
    wchar_t end = L' ';
    if (start < commandLine.size() && commandLine[start] == L'"') {
        end = L'"';
        ++start;
    }
    const std::size_t stop = commandLine.find(end, start);
    value = commandLine.substr(start, stop == std::wstring::npos ? std::wstring::npos : stop - start);
    return true;
}

Options ParseOptions(const std::wstring& commandLine) {
    Options options;
    options.ignoreClose = commandLine.find(L"--ignore-close") != std::wstring::npos;
    std::wstring value;
    if (FindOption(commandLine, L"close-delay", value)) options.closeDelayMs = static_cast<UINT>(std::wcstoul(value.c_str(), nullptr, 10));
    if (FindOption(commandLine, L"exit-delay", value)) options.exitDelayMs = static_cast<DWORD>(std::wcstoul(value.c_str(), nullptr, 10));
    if (FindOption(commandLine, L"report", value)) {
        options.reportPath = value;
    } else {
        wchar_t path[MAX_PATH * 4] = {};
        const DWORD length = ::GetEnvironmentVariableW(L"LUMIRAN_SUITE_REPORT", path, MAX_PATH * 4);
        if (length > 0 && length < MAX_PATH * 4) options.reportPath = path;
    }
    if (FindOption(commandLine, L"title", value)) options.title = value;
    return options;
}

void WriteReport(const std::wstring& path) {
    wchar_t directory[MAX_PATH * 4] = {};
    ::GetCurrentDirectoryW(static_cast<DWORD>(std::size(directory)), directory);
    const std::wstring text = std::wstring(directory) + L"\n" + ::GetCommandLineW() + L"\n";
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    ::CloseHandle(file);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            if (g_options.ignoreClose) return 0;
            if (g_options.closeDelayMs != 0) {
                ::SetTimer(window, kCloseTimer, g_options.closeDelayMs, nullptr);
                return 0;
            }
            ::DestroyWindow(window);
            return 0;
        case WM_TIMER:
            if (wParam == kCloseTimer) ::DestroyWindow(window);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            const HDC dc = ::BeginPaint(window, &paint);
            RECT area;
            ::GetClientRect(window, &area);
            ::DrawTextW(dc, L"Lumiran stand-in suite", -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            ::EndPaint(window, &paint);
            return 0;
        }
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showMode) {
    g_options = ParseOptions(commandLine != nullptr ? commandLine : L"");
    if (!g_options.reportPath.empty()) WriteReport(g_options.reportPath);

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    if (::RegisterClassExW(&windowClass) == 0) return 1;

    const HWND window = ::CreateWindowExW(0, kClassName, g_options.title.c_str(), WS_OVERLAPPEDWINDOW,
                                          CW_USEDEFAULT, CW_USEDEFAULT, 360, 160, nullptr, nullptr,
                                          instance, nullptr);
    if (window == nullptr) return 1;
    ::ShowWindow(window, showMode);

    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    if (g_options.exitDelayMs != 0) ::Sleep(g_options.exitDelayMs);
    return 0;
}
