#include <gtest/gtest.h>

#include "core/registry.h"
#include "tests/host/fake_platform.h"

namespace lumiran {
namespace {

using Ops = std::vector<std::string>;
using Args = std::vector<std::wstring>;
using Bytes = std::vector<std::uint8_t>;

const wchar_t* const kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumiran";
const wchar_t* const kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// UTF-16LE with the terminating NUL, as the registry stores REG_SZ.
Bytes Utf16z(const std::u16string& text) {
    Bytes bytes;
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

Bytes Dword(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

InstallLayout SpacedLayout() {
    const std::wstring dir = L"C:\\Users\\Zoë Müller\\AppData\\Local\\Programs\\Lumiran";
    return {dir, dir + L"\\Lumiran.exe", dir + L"\\Lumiran-Uninstall.exe"};
}

struct Value {
    std::wstring name;
    std::uint32_t type;
    Bytes data;
};

std::vector<Value> WrittenValues() {
    std::vector<Value> values;
    for (const fake::Call& call : fake::CallsOf("SetKeyValue")) {
        values.push_back({call.args[1], static_cast<std::uint32_t>(std::stoul(call.args[2])), call.data});
        EXPECT_EQ(std::to_wstring(call.data.size()), call.args[3]) << "size passed for " << testing::PrintToString(call.args[1]);
    }
    return values;
}

class Registration : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
};

TEST_F(Registration, NineValuesEachWithItsOwnOpenSetClose) {
    WriteUninstallEntry(SpacedLayout());
    Ops expected;
    for (int i = 0; i < 9; ++i) expected.insert(expected.end(), {"CreateUserKey", "SetKeyValue", "CloseKey"});
    ASSERT_EQ(fake::Ops(), expected);
    for (const fake::Call& open : fake::CallsOf("CreateUserKey")) {
        EXPECT_EQ(open.args, (Args{kUninstallKey, L"0", L"2"}));  // non-volatile, KEY_SET_VALUE
    }
    // Each value goes to the key just opened, which is closed right after.
    const auto& calls = fake::Fake().calls;
    for (std::size_t i = 0; i + 2 < calls.size(); i += 3) {
        EXPECT_EQ(calls[i + 1].args[0], calls[i + 2].args[0]);
    }
}

TEST_F(Registration, NamesTypesDataAndSizesInOrder) {
    WriteUninstallEntry(SpacedLayout());
    const std::u16string dir = u"C:\\Users\\Zoë Müller\\AppData\\Local\\Programs\\Lumiran";
    const std::vector<Value> values = WrittenValues();
    ASSERT_EQ(values.size(), 9u);
    const std::vector<Value> expected = {
        {L"DisplayName", 1, Utf16z(u"Lumiran")},
        {L"DisplayVersion", 1, Utf16z(u"" LUMIRAN_VERSION_TEXT)},
        {L"Publisher", 1, Utf16z(u"Lumiran")},
        {L"InstallLocation", 1, Utf16z(dir)},
        {L"DisplayIcon", 1, Utf16z(dir + u"\\Lumiran.exe,0")},
        {L"UninstallString", 1, Utf16z(u"\"" + dir + u"\\Lumiran-Uninstall.exe\" /uninstall")},
        {L"EstimatedSize", 4, Dword(1024)},
        {L"NoModify", 4, Dword(1)},
        {L"NoRepair", 4, Dword(1)}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(values[i].name, expected[i].name);
        EXPECT_EQ(values[i].type, expected[i].type) << testing::PrintToString(values[i].name);
        EXPECT_EQ(values[i].data, expected[i].data) << testing::PrintToString(values[i].name);
    }
    EXPECT_EQ(values[0].data.size(), 16u);
    EXPECT_EQ(values[1].data.size(), 12u);
}

TEST_F(Registration, AFailedOpenCostsOnlyThatValue) {
    fake::Fake().script.failingKeyOpens = {3};
    WriteUninstallEntry(SpacedLayout());
    EXPECT_EQ(fake::CallsOf("CreateUserKey").size(), 9u);
    EXPECT_EQ(fake::CallsOf("CloseKey").size(), 8u);  // nothing to close for the failed one
    std::vector<std::wstring> names;
    for (const Value& value : WrittenValues()) names.push_back(value.name);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"DisplayName", L"DisplayVersion", L"InstallLocation",
                                                L"DisplayIcon", L"UninstallString", L"EstimatedSize",
                                                L"NoModify", L"NoRepair"}));
}

TEST_F(Registration, CharactersOutsideTheBasicPlaneBecomeSurrogatePairs) {
    WriteRegistryString(L"InstallLocation", L"C:\\𠀀");
    const Bytes data = fake::CallsOf("SetKeyValue").at(0).data;
    EXPECT_EQ(data, Utf16z(u"C:\\\xD840\xDC00"));
}

class Autostart : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
};

TEST_F(Autostart, EnableWritesTheQuotedPath) {
    const std::wstring exe = L"C:\\Users\\Zoë Müller\\AppData\\Local\\Programs\\Lumiran\\Lumiran.exe";
    SetAutostart(exe, true);
    ASSERT_EQ(fake::Ops(), (Ops{"CreateUserKey", "SetKeyValue", "CloseKey"}));
    EXPECT_EQ(fake::CallsOf("CreateUserKey").at(0).args, (Args{kRunKey, L"0", L"2"}));
    const fake::Call set = fake::CallsOf("SetKeyValue").at(0);
    EXPECT_EQ(set.args[1], L"Lumiran");
    EXPECT_EQ(set.args[2], L"1");
    EXPECT_EQ(set.args[3], std::to_wstring(2 * exe.size() + 6));
    EXPECT_EQ(set.data, Utf16z(u"\"C:\\Users\\Zoë Müller\\AppData\\Local\\Programs\\Lumiran\\Lumiran.exe\""));
}

TEST_F(Autostart, DisableDeletesByNameAndNeverUsesThePath) {
    SetAutostart(L"C:\\ignored.exe", false);
    ASSERT_EQ(fake::Ops(), (Ops{"CreateUserKey", "DeleteKeyValue", "CloseKey"}));
    EXPECT_EQ(fake::CallsOf("CreateUserKey").at(0).args, (Args{kRunKey, L"0", L"2"}));
    EXPECT_EQ(fake::CallsOf("DeleteKeyValue").at(0).args[1], L"Lumiran");
    for (const fake::Call& call : fake::Fake().calls) {
        for (const std::wstring& arg : call.args) EXPECT_EQ(arg.find(L"ignored"), std::wstring::npos);
    }
}

TEST_F(Autostart, AFailedOpenDoesNothingElse) {
    fake::Fake().script.failingKeyOpens = {1, 2};
    SetAutostart(L"C:\\x\\Lumiran.exe", true);
    SetAutostart(L"", false);
    EXPECT_EQ(fake::Ops(), (Ops{"CreateUserKey", "CreateUserKey"}));
}

}  // namespace
}  // namespace lumiran
