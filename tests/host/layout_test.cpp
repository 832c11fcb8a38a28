#include <gtest/gtest.h>

#include "core/layout.h"
#include "tests/host/fake_platform.h"

namespace lumiran {
namespace {

class Layout : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
};

TEST_F(Layout, ComposesFromLocalAppData) {
    const InstallLayout layout = BuildInstallLayout();
    EXPECT_EQ(layout.installDir, L"C:\\Users\\u1\\AppData\\Local\\Programs\\Lumiran");
    EXPECT_EQ(layout.exePath, L"C:\\Users\\u1\\AppData\\Local\\Programs\\Lumiran\\Lumiran.exe");
    EXPECT_EQ(layout.uninstallerPath,
              L"C:\\Users\\u1\\AppData\\Local\\Programs\\Lumiran\\Lumiran-Uninstall.exe");
}

TEST_F(Layout, OneLookupWithCreateFlagAndTheMemoryFreed) {
    (void)BuildInstallLayout();
    ASSERT_EQ(fake::Ops(), (std::vector<std::string>{"GetKnownFolderPath", "FreeTaskMemory"}));
    EXPECT_EQ(fake::Fake().calls[0].args, (std::vector<std::wstring>{L"LocalAppData", L"32768"}));
    EXPECT_EQ(fake::Fake().shellStringsAlive, 0);
}

TEST_F(Layout, SuffixesAppendedAsTheyStand) {
    // No separator is added, removed or doubled.
    fake::Fake().script.folders[FolderId::LocalAppData] = L"D:\\odd\\";
    fake::Fake().script.folders[FolderId::Desktop] = L"E:";
    EXPECT_EQ(BuildInstallLayout().exePath, L"D:\\odd\\\\Programs\\Lumiran\\Lumiran.exe");
    EXPECT_EQ(ShortcutPath(FolderId::Desktop), L"E:\\Lumiran.lnk");
}

TEST_F(Layout, ShortcutPathLooksUpEachTimeAfresh) {
    EXPECT_EQ(ShortcutPath(FolderId::Desktop), L"C:\\Users\\u1\\Desktop\\Lumiran.lnk");
    fake::Fake().script.folders[FolderId::Desktop] = L"R:\\Redirected\\Desktop";
    EXPECT_EQ(ShortcutPath(FolderId::Desktop), L"R:\\Redirected\\Desktop\\Lumiran.lnk");
    EXPECT_EQ(fake::CallsOf("GetKnownFolderPath").size(), 2u);
}

TEST_F(Layout, FailedLookupLeavesPathsAtTheDriveRoot) {
    fake::Fake().script.failingFolders = {FolderId::LocalAppData, FolderId::Programs};
    const InstallLayout layout = BuildInstallLayout();
    EXPECT_EQ(layout.installDir, L"\\Programs\\Lumiran");
    EXPECT_EQ(layout.exePath, L"\\Programs\\Lumiran\\Lumiran.exe");
    EXPECT_EQ(layout.uninstallerPath, L"\\Programs\\Lumiran\\Lumiran-Uninstall.exe");
    EXPECT_EQ(ShortcutPath(FolderId::Programs), L"\\Lumiran.lnk");
    EXPECT_FALSE(FolderResolved(layout.installDir, L"\\Programs\\Lumiran"));
    EXPECT_TRUE(FolderResolved(ShortcutPath(FolderId::Desktop), L"\\Lumiran.lnk"));
}

TEST_F(Layout, MemoryFromAFailedLookupIsFreedToo) {
    fake::Fake().script.failingFolders = {FolderId::Desktop};
    fake::Fake().script.failureStillAllocates = true;
    EXPECT_EQ(GetKnownFolder(FolderId::Desktop), L"");
    EXPECT_EQ(fake::Fake().shellStringsAlive, 0);
    EXPECT_EQ(fake::Ops(), (std::vector<std::string>{"GetKnownFolderPath", "FreeTaskMemory"}));
}

}  // namespace
}  // namespace lumiran
