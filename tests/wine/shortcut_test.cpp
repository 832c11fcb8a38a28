// Shortcut files saved and read back through the real ShellLink object.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

#include "core/product.h"
#include "core/shortcut.h"
#include "tests/wine/support.h"

namespace {

using wine_test::Exists;

struct LinkContents {
    bool loaded = false;
    std::wstring target, workingDirectory, description, iconPath, arguments;
    int iconIndex = -1;
};

// Reads the file the way the shell does, through a fresh ShellLink object.
LinkContents ReadLink(const std::wstring& path) {
    LinkContents contents;
    IShellLinkW* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link)))) {
        return contents;
    }
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        contents.loaded = SUCCEEDED(file->Load(path.c_str(), STGM_READ));
        file->Release();
    }
    wchar_t text[MAX_PATH * 2] = {};
    constexpr int kChars = MAX_PATH * 2;
    if (SUCCEEDED(link->GetPath(text, kChars, nullptr, SLGP_RAWPATH))) contents.target = text;
    text[0] = L'\0';
    if (SUCCEEDED(link->GetWorkingDirectory(text, kChars))) contents.workingDirectory = text;
    text[0] = L'\0';
    if (SUCCEEDED(link->GetDescription(text, kChars))) contents.description = text;
    text[0] = L'\0';
    if (SUCCEEDED(link->GetIconLocation(text, kChars, &contents.iconIndex))) contents.iconPath = text;
    text[0] = L'\0';
    if (SUCCEEDED(link->GetArguments(text, kChars))) contents.arguments = text;
    link->Release();
    return contents;
}

class Shortcut : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GE(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), 0);
        folder_ = wine_test::FreshFolder();
        // ShellLink keeps the target in ANSI form, so it stays ASCII here;
        // the folder of the shortcut itself may be anything.
        installDir_ = L"C:\\Lumiran Test\\Programs\\Lumiran";
        std::filesystem::create_directories(installDir_);
        exePath_ = installDir_ + L"\\Lumiran.exe";
        ASSERT_TRUE(::CopyFileW(wine_test::SuiteExePath().c_str(), exePath_.c_str(), FALSE));
        linkPath_ = folder_ + L"\\Lumiran.lnk";
    }
    void TearDown() override { ::CoUninitialize(); }

    std::wstring folder_, installDir_, exePath_, linkPath_;
};

TEST_F(Shortcut, ReadsBackWithTargetFolderDescriptionAndIcon) {
    ASSERT_TRUE(lumiran::CreateShortcut(linkPath_, exePath_, lumiran::kShortcutDescription));

    const LinkContents link = ReadLink(linkPath_);
    ASSERT_TRUE(link.loaded);
    EXPECT_EQ(link.target, exePath_);
    EXPECT_EQ(link.workingDirectory, installDir_);  // no trailing separator
    EXPECT_EQ(link.description, lumiran::kShortcutDescription);
    EXPECT_EQ(link.iconPath, exePath_);
    EXPECT_EQ(link.iconIndex, 0);
    EXPECT_EQ(link.arguments, L"");
}

TEST_F(Shortcut, SavingAgainReplacesTheFile) {
    ASSERT_TRUE(lumiran::CreateShortcut(linkPath_, L"C:\\Old\\Old.exe", L"old one"));
    ASSERT_TRUE(lumiran::CreateShortcut(linkPath_, exePath_, L"new one"));

    const LinkContents link = ReadLink(linkPath_);
    EXPECT_EQ(link.target, exePath_);
    EXPECT_EQ(link.workingDirectory, installDir_);
    EXPECT_EQ(link.description, L"new one");
}

TEST_F(Shortcut, WorkingDirectoryOfATargetInADriveRootKeepsItsSeparator) {
    ASSERT_TRUE(lumiran::CreateShortcut(linkPath_, L"C:\\Lumiran.exe", L"root"));
    EXPECT_EQ(ReadLink(linkPath_).workingDirectory, L"C:\\");
}

TEST_F(Shortcut, WorkingDirectoryOfABareFileNameIsEmpty) {
    ASSERT_TRUE(lumiran::CreateShortcut(linkPath_, L"Lumiran.exe", L"bare"));
    EXPECT_EQ(ReadLink(linkPath_).workingDirectory, L"");
}

TEST_F(Shortcut, SavingIntoAMissingFolderFailsAndCreatesNoFolder) {
    const std::wstring missing = folder_ + L"\\Not There";
    EXPECT_FALSE(lumiran::CreateShortcut(missing + L"\\Lumiran.lnk", exePath_, L"x"));
    EXPECT_FALSE(Exists(missing));
}

TEST_F(Shortcut, OnAThreadWithoutComNothingIsWritten) {
    bool saved = true;
    std::thread plain([&] { saved = lumiran::CreateShortcut(linkPath_, exePath_, L"x"); });
    plain.join();
    EXPECT_FALSE(saved);
    EXPECT_FALSE(Exists(linkPath_));
}

}  // namespace
