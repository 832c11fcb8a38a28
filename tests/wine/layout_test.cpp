// The install layout and the shortcut paths resolved by the real shell.
#include <windows.h>

#include <gtest/gtest.h>

#include "core/layout.h"
#include "tests/wine/support.h"

namespace {

using lumiran::FolderId;
using wine_test::Env;
using wine_test::Exists;

TEST(Layout, ResolvesBelowTheUsersLocalAppData) {
    const std::wstring profile = Env(L"USERPROFILE");
    ASSERT_FALSE(profile.empty());
    const std::wstring expected = profile + L"\\AppData\\Local\\Programs\\Lumiran";

    const lumiran::InstallLayout layout = lumiran::BuildInstallLayout();
    EXPECT_EQ(layout.installDir, expected);
    EXPECT_EQ(layout.exePath, expected + L"\\Lumiran.exe");
    EXPECT_EQ(layout.uninstallerPath, expected + L"\\Lumiran-Uninstall.exe");
    // Resolving the layout writes nothing: the payload write makes the folder.
    EXPECT_FALSE(Exists(layout.installDir));
}

TEST(Layout, DoesNotDependOnTheCurrentDirectory) {
    const lumiran::InstallLayout before = lumiran::BuildInstallLayout();
    ASSERT_TRUE(::SetCurrentDirectoryW(L"C:\\windows"));
    EXPECT_EQ(lumiran::BuildInstallLayout().installDir, before.installDir);
}

TEST(Layout, ShortcutPathsLieDirectlyInDesktopAndStartMenuPrograms) {
    const std::wstring profile = Env(L"USERPROFILE");
    EXPECT_EQ(lumiran::ShortcutPath(FolderId::Desktop), profile + L"\\Desktop\\Lumiran.lnk");
    EXPECT_EQ(lumiran::ShortcutPath(FolderId::Programs),
              Env(L"APPDATA") + L"\\Microsoft\\Windows\\Start Menu\\Programs\\Lumiran.lnk");
}

TEST(Layout, AMissingKnownFolderIsCreatedByTheLookup) {
    const std::wstring desktop = Env(L"USERPROFILE") + L"\\Desktop";
    ASSERT_TRUE(::RemoveDirectoryW(desktop.c_str())) << ::GetLastError();
    ASSERT_FALSE(Exists(desktop));

    EXPECT_EQ(lumiran::GetKnownFolder(FolderId::Desktop), desktop);
    const DWORD attributes = ::GetFileAttributesW(desktop.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(Layout, FollowsAMovedKnownFolder) {
    const std::wstring moved = wine_test::FreshFolder() + L"\\Elsewhere Desktop";
    ASSERT_TRUE(::CreateDirectoryW(moved.c_str(), nullptr));
    // Where Explorer records a folder that the user moved.
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER,
                                L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                                0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(key, L"Desktop", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(moved.c_str()),
                     static_cast<DWORD>((moved.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);

    EXPECT_EQ(lumiran::ShortcutPath(FolderId::Desktop), moved + L"\\Lumiran.lnk");
}

}  // namespace
