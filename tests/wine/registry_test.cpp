// The uninstall registration and the autostart value in the real registry.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/layout.h"
#include "core/product.h"
#include "core/registry.h"

namespace {

constexpr const wchar_t* kUninstallKey = lumiran::kUninstallKeyPath;
constexpr const wchar_t* kRunKey = lumiran::kRunKeyPath;

struct Value {
    bool found = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;

    // The text without its terminating NUL; a value without one gives "".
    std::wstring Text() const {
        if (data.size() < 2 || data.size() % 2 != 0) return std::wstring();
        std::wstring text(data.size() / 2, L'\0');
        std::memcpy(text.data(), data.data(), data.size());
        if (text.back() != L'\0') return std::wstring();
        text.pop_back();
        return text;
    }
    DWORD Dword() const {
        DWORD number = 0;
        if (data.size() == sizeof number) std::memcpy(&number, data.data(), sizeof number);
        return number;
    }
};

Value Read(const wchar_t* subKey, const wchar_t* name) {
    Value value;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, subKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    if (::RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        value.found = ::RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size) ==
                      ERROR_SUCCESS;
        value.data.resize(size);
    }
    ::RegCloseKey(key);
    return value;
}

bool KeyExists(const wchar_t* subKey) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

DWORD ValueCount(const wchar_t* subKey) {
    HKEY key = nullptr;
    DWORD count = 0;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                       nullptr, nullptr, nullptr);
    ::RegCloseKey(key);
    return count;
}

void WriteString(const wchar_t* subKey, const wchar_t* name, const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, subKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
}

lumiran::InstallLayout LayoutIn(const std::wstring& installDir) {
    return {installDir, installDir + L"\\Lumiran.exe", installDir + L"\\Lumiran-Uninstall.exe"};
}

DWORD StringSize(const std::wstring& text) { return static_cast<DWORD>((text.size() + 1) * 2); }

void ExpectString(const wchar_t* name, const std::wstring& text) {
    const Value value = Read(kUninstallKey, name);
    ASSERT_TRUE(value.found) << name;
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ)) << name;
    EXPECT_EQ(value.data.size(), StringSize(text)) << name;
    EXPECT_EQ(value.Text(), text) << name;
}

void ExpectDword(const wchar_t* name, DWORD number) {
    const Value value = Read(kUninstallKey, name);
    ASSERT_TRUE(value.found) << name;
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD)) << name;
    EXPECT_EQ(value.data.size(), 4u) << name;
    EXPECT_EQ(value.Dword(), number) << name;
}

void ExpectEntryFor(const lumiran::InstallLayout& layout) {
    ExpectString(L"DisplayName", L"Lumiran");
    ExpectString(L"DisplayVersion", L"" LUMIRAN_VERSION_TEXT);
    ExpectString(L"Publisher", L"Lumiran");
    ExpectString(L"InstallLocation", layout.installDir);
    ExpectString(L"DisplayIcon", layout.exePath + L",0");
    ExpectString(L"UninstallString", L"\"" + layout.uninstallerPath + L"\" /uninstall");
    ExpectDword(L"EstimatedSize", 1024);
    ExpectDword(L"NoModify", 1);
    ExpectDword(L"NoRepair", 1);
}

class UninstallEntry : public ::testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kUninstallKey); }
    const lumiran::InstallLayout layout_ = LayoutIn(L"C:\\Users\\测试 用户\\AppData\\Local\\Programs\\Lumiran");
};

TEST_F(UninstallEntry, CreatesTheKeyWithTheNineValues) {
    ASSERT_FALSE(KeyExists(kUninstallKey));
    lumiran::WriteUninstallEntry(layout_);
    ExpectEntryFor(layout_);
    EXPECT_EQ(ValueCount(kUninstallKey), 9u);
}

TEST_F(UninstallEntry, UninstallStringParsesAsOneQuotedProgramAndTheSwitch) {
    lumiran::WriteUninstallEntry(layout_);
    const std::wstring command = Read(kUninstallKey, L"UninstallString").Text();

    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(command.c_str(), &count);
    ASSERT_NE(args, nullptr);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(std::wstring(args[0]), layout_.uninstallerPath);
    EXPECT_EQ(std::wstring(args[1]), L"/uninstall");
    ::LocalFree(args);
}

TEST_F(UninstallEntry, ASecondWriteReplacesTheDataAndKeepsForeignValues) {
    lumiran::WriteUninstallEntry(layout_);
    WriteString(kUninstallKey, L"HelpLink", L"https://example.invalid/help");

    const lumiran::InstallLayout moved = LayoutIn(L"D:\\Other Place\\Lumiran");
    lumiran::WriteUninstallEntry(moved);
    ExpectEntryFor(moved);
    EXPECT_EQ(Read(kUninstallKey, L"HelpLink").Text(), L"https://example.invalid/help");
    EXPECT_EQ(ValueCount(kUninstallKey), 10u);
}

class Autostart : public ::testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kRunKey); }
    const std::wstring exePath_ = L"C:\\Users\\测试 用户\\AppData\\Local\\Programs\\Lumiran\\Lumiran.exe";
};

TEST_F(Autostart, DisablingCreatesAMissingRunKeyAndLeavesItEmpty) {
    ASSERT_FALSE(KeyExists(kRunKey));
    lumiran::SetAutostart(L"", false);
    EXPECT_TRUE(KeyExists(kRunKey));
    EXPECT_EQ(ValueCount(kRunKey), 0u);
}

TEST_F(Autostart, EnablingWritesTheQuotedPathIntoAMissingRunKey) {
    lumiran::SetAutostart(exePath_, true);
    const Value value = Read(kRunKey, lumiran::kProductName);
    ASSERT_TRUE(value.found);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.Text(), L"\"" + exePath_ + L"\"");
    EXPECT_EQ(value.data.size(), 2 * exePath_.size() + 6);
}

TEST_F(Autostart, EnablingAgainReplacesTheOldPath) {
    WriteString(kRunKey, lumiran::kProductName, L"\"C:\\Old Place\\Lumiran.exe\" --old");
    lumiran::SetAutostart(exePath_, true);
    EXPECT_EQ(Read(kRunKey, lumiran::kProductName).Text(), L"\"" + exePath_ + L"\"");
}

TEST_F(Autostart, DisablingDeletesOnlyTheProductValueWhateverItHolds) {
    WriteString(kRunKey, lumiran::kProductName, L"C:\\Somewhere Else\\x.exe");
    WriteString(kRunKey, L"OtherTool", L"C:\\Tools\\other.exe");
    lumiran::SetAutostart(L"", false);
    EXPECT_FALSE(Read(kRunKey, lumiran::kProductName).found);
    EXPECT_EQ(Read(kRunKey, L"OtherTool").Text(), L"C:\\Tools\\other.exe");
}

}  // namespace
