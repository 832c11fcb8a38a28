// Helpers shared by the tests that run against the real Windows services.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

namespace wine_test {

// The stand-in suite beside the build, as a Windows path (Z: maps /).
std::wstring SuiteExePath();

// %NAME%, or an empty string.
std::wstring Env(const wchar_t* name);

// An empty folder of its own for the running test, below %TEMP%; its name
// has a space and non-ASCII characters in it.
std::wstring FreshFolder();

bool Exists(const std::wstring& path);
std::vector<char> ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);

// Milliseconds that fn took.
template <typename Fn>
long long TimeMs(Fn fn) {
    const auto start = std::chrono::steady_clock::now();
    fn();
    const auto stop = std::chrono::steady_clock::now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(stop - start).count();
}

// A running suite, started with CreateProcessW. The constructor returns once
// its main window is there (window is null if it never came); the destructor
// ends a process that is still running.
class SuiteProcess {
public:
    SuiteProcess(const std::wstring& exePath, const std::wstring& title,
                 const std::wstring& extraArgs = L"");
    ~SuiteProcess();
    SuiteProcess(const SuiteProcess&) = delete;
    SuiteProcess& operator=(const SuiteProcess&) = delete;

    HWND window() const { return window_; }
    bool Running() const;
    // True when the process ends within timeoutMs.
    bool WaitForExit(DWORD timeoutMs) const;

private:
    PROCESS_INFORMATION info_ = {};
    HWND window_ = nullptr;
};

// The top-level suite window with this title, waiting up to timeoutMs.
HWND WaitForSuiteWindow(const std::wstring& title, DWORD timeoutMs);

}  // namespace wine_test
