#include "tests/wine/support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/product.h"

namespace wine_test {

std::wstring SuiteExePath() {
    std::wstring path = LUMIRAN_SUITE_EXE_PATH;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::wstring Env(const wchar_t* name) {
    wchar_t buffer[4096];
    const DWORD length = ::GetEnvironmentVariableW(name, buffer, 4096);
    if (length == 0 || length >= 4096) return std::wstring();
    return std::wstring(buffer, length);
}

std::wstring FreshFolder() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    const std::filesystem::path folder =
        std::filesystem::path(Env(L"TEMP")) / L"lumiran 测试" / std::wstring(name.begin(), name.end());
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::filesystem::create_directories(folder);
    return folder.wstring();
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<char> ReadBytes(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios_base::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios_base::binary | std::ios_base::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

HWND WaitForSuiteWindow(const std::wstring& title, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        const HWND window = ::FindWindowW(lumiran::kMainWindowClass, title.c_str());
        if (window != nullptr || ::GetTickCount64() > deadline) return window;
        ::Sleep(20);
    }
}

SuiteProcess::SuiteProcess(const std::wstring& exePath, const std::wstring& title,
                           const std::wstring& extraArgs) {
    std::wstring commandLine = L"\"" + exePath + L"\" --title=\"" + title + L"\" " + extraArgs;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!::CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &info_)) {
        info_ = {};
        return;
    }
    window_ = WaitForSuiteWindow(title, 15000);
}

SuiteProcess::~SuiteProcess() {
    if (info_.hProcess == nullptr) return;
    if (Running()) {
        ::TerminateProcess(info_.hProcess, 1);
        ::WaitForSingleObject(info_.hProcess, 5000);
    }
    ::CloseHandle(info_.hThread);
    ::CloseHandle(info_.hProcess);
}

bool SuiteProcess::Running() const {
    return info_.hProcess != nullptr && ::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool SuiteProcess::WaitForExit(DWORD timeoutMs) const {
    return info_.hProcess != nullptr && ::WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

}  // namespace wine_test
