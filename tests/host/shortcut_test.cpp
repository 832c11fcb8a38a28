#include <gtest/gtest.h>

#include "core/shortcut.h"
#include "tests/host/fake_platform.h"

namespace lumiran {
namespace {

using Ops = std::vector<std::string>;
using Args = std::vector<std::wstring>;

#ifdef _WIN32
const wchar_t* const kTarget = L"C:\\Users\\u1\\AppData\\Local\\Programs\\Lumiran\\Lumiran.exe";
const wchar_t* const kTargetDir = L"C:\\Users\\u1\\AppData\\Local\\Programs\\Lumiran";
#else
const wchar_t* const kTarget = L"/home/u1/Programs/Lumiran/Lumiran.exe";
const wchar_t* const kTargetDir = L"/home/u1/Programs/Lumiran";
#endif
const wchar_t* const kLink = L"C:\\Users\\u1\\Desktop\\Lumiran.lnk";

class Shortcut : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
    void TearDown() override {
        // Every interface obtained is released exactly once, on every path.
        EXPECT_EQ(fake::Fake().linksAlive, 0);
        EXPECT_EQ(fake::Fake().filesAlive, 0);
    }
};

TEST_F(Shortcut, SetsTheFourPropertiesThenSavesAndReleasesInOrder) {
    EXPECT_TRUE(CreateShortcut(kLink, kTarget, L"Lumiran - desc"));
    EXPECT_EQ(fake::Ops(), (Ops{"CreateShellLink", "ShellLinkSetPath", "ShellLinkSetWorkingDirectory",
                                "ShellLinkSetDescription", "ShellLinkSetIconLocation",
                                "ShellLinkQueryPersistFile", "PersistFileSave", "ReleasePersistFile",
                                "ReleaseShellLink"}));
    EXPECT_EQ(fake::CallsOf("ShellLinkSetPath").at(0).args[1], kTarget);
    EXPECT_EQ(fake::CallsOf("ShellLinkSetWorkingDirectory").at(0).args[1], kTargetDir);
    EXPECT_EQ(fake::CallsOf("ShellLinkSetDescription").at(0).args[1], L"Lumiran - desc");
    EXPECT_EQ(fake::CallsOf("ShellLinkSetIconLocation").at(0).args, (Args{L"8192", kTarget, L"0"}));
    EXPECT_EQ(fake::CallsOf("PersistFileSave").at(0).args, (Args{L"12288", kLink, L"true"}));
}

TEST_F(Shortcut, SaveResultDecides) {
    fake::Fake().script.saveResult = 1;  // S_FALSE is a success
    EXPECT_TRUE(CreateShortcut(kLink, kTarget, L"d"));
    fake::Fake().script.saveResult = static_cast<platform::HResult>(0x80070003);  // path not found
    EXPECT_FALSE(CreateShortcut(kLink, kTarget, L"d"));
    EXPECT_EQ(fake::Fake().linkReleases, 2);
    EXPECT_EQ(fake::Fake().fileReleases, 2);
}

TEST_F(Shortcut, NoShellLinkObjectMeansNothingSaved) {
    fake::Fake().script.createLinkResult = static_cast<platform::HResult>(0x800401F0);  // CO_E_NOTINITIALIZED
    EXPECT_FALSE(CreateShortcut(kLink, kTarget, L"d"));
    EXPECT_EQ(fake::Ops(), (Ops{"CreateShellLink"}));
}

TEST_F(Shortcut, ASuccessCodeWithANullObjectIsAFailure) {
    fake::Fake().script.createLinkNull = true;
    EXPECT_FALSE(CreateShortcut(kLink, kTarget, L"d"));
    EXPECT_EQ(fake::Ops(), (Ops{"CreateShellLink"}));
}

TEST_F(Shortcut, NoPersistFileReleasesTheLinkAndSavesNothing) {
    fake::Fake().script.queryResult = static_cast<platform::HResult>(0x80004002);  // E_NOINTERFACE
    EXPECT_FALSE(CreateShortcut(kLink, kTarget, L"d"));
    EXPECT_TRUE(fake::CallsOf("PersistFileSave").empty());
    EXPECT_EQ(fake::Ops().back(), "ReleaseShellLink");
    EXPECT_EQ(fake::Fake().linkReleases, 1);
    EXPECT_EQ(fake::Fake().fileReleases, 0);

    fake::Reset();
    fake::Fake().script.queryNull = true;
    EXPECT_FALSE(CreateShortcut(kLink, kTarget, L"d"));
    EXPECT_TRUE(fake::CallsOf("PersistFileSave").empty());
    EXPECT_EQ(fake::Fake().linkReleases, 1);
}

TEST_F(Shortcut, NeitherArgumentsNorShowCommandNorHotkeyAreSet) {
    (void)CreateShortcut(kLink, kTarget, L"d");
    for (const std::string& op : fake::Ops()) {
        EXPECT_EQ(op.find("Argument"), std::string::npos);
        EXPECT_EQ(op.find("Hotkey"), std::string::npos);
        EXPECT_EQ(op.find("ShowCmd"), std::string::npos);
    }
}

struct WorkingDirectoryCase {
    const wchar_t* target;
    const wchar_t* directory;
};

void PrintTo(const WorkingDirectoryCase& c, std::ostream* out) { *out << ::testing::PrintToString(std::wstring(c.target)); }

class WorkingDirectory : public ::testing::TestWithParam<WorkingDirectoryCase> {};

TEST_P(WorkingDirectory, IsTheTargetsParentPath) {
    EXPECT_EQ(WorkingDirectoryFor(GetParam().target), GetParam().directory);
}

#ifdef _WIN32
// The Windows path rules: either separator, drive roots kept whole.
INSTANTIATE_TEST_SUITE_P(Targets, WorkingDirectory, ::testing::Values(
    WorkingDirectoryCase{L"C:\\Users\\u1\\Lumiran\\Lumiran.exe", L"C:\\Users\\u1\\Lumiran"},
    WorkingDirectoryCase{L"C:/Users/u1/Lumiran/Lumiran.exe", L"C:/Users/u1/Lumiran"},
    WorkingDirectoryCase{L"C:\\Users\\u1\\Lumiran\\\\Lumiran.exe", L"C:\\Users\\u1\\Lumiran"},
    WorkingDirectoryCase{L"C:\\Lumiran.exe", L"C:\\"},
    WorkingDirectoryCase{L"C:Lumiran.exe", L"C:"},
    WorkingDirectoryCase{L"Lumiran.exe", L""},
    WorkingDirectoryCase{L"\\Programs\\Lumiran\\Lumiran.exe", L"\\Programs\\Lumiran"}));
#else
INSTANTIATE_TEST_SUITE_P(Targets, WorkingDirectory, ::testing::Values(
    WorkingDirectoryCase{L"/home/u1/Lumiran/Lumiran.exe", L"/home/u1/Lumiran"},
    WorkingDirectoryCase{L"/home/u1/Lumiran//Lumiran.exe", L"/home/u1/Lumiran"},
    WorkingDirectoryCase{L"/Lumiran.exe", L"/"},
    WorkingDirectoryCase{L"Lumiran.exe", L""}));
#endif

TEST_F(Shortcut, ATargetWithoutSeparatorGetsAnEmptyWorkingDirectory) {
    (void)CreateShortcut(kLink, L"Lumiran.exe", L"d");
    EXPECT_EQ(fake::CallsOf("ShellLinkSetWorkingDirectory").at(0).args[1], L"");
}

}  // namespace
}  // namespace lumiran
