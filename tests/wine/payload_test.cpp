// Writing the payload that this test program carries (payload.rc), as the
// setup image carries the suite.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/payload.h"
#include "core/shutdown.h"
#include "tests/wine/support.h"

namespace {

using wine_test::Exists;
using wine_test::ReadBytes;
using wine_test::SuiteProcess;

platform::ModuleHandle ThisImage() {
    return reinterpret_cast<platform::ModuleHandle>(::GetModuleHandleW(nullptr));
}

class Payload : public ::testing::Test {
protected:
    void SetUp() override {
        suiteBytes_ = ReadBytes(wine_test::SuiteExePath());
        ASSERT_GT(suiteBytes_.size(), 1000u);
        folder_ = wine_test::FreshFolder();
        installDir_ = folder_ + L"\\Local\\Programs\\Lumiran";
        exePath_ = installDir_ + L"\\Lumiran.exe";
    }

    std::vector<char> suiteBytes_;
    std::wstring folder_, installDir_, exePath_;
};

TEST_F(Payload, TheImageCarriesTheSuiteUnchanged) {
    const HMODULE self = ::GetModuleHandleW(nullptr);
    const HRSRC found = ::FindResourceW(self, MAKEINTRESOURCEW(201), MAKEINTRESOURCEW(10));
    ASSERT_NE(found, nullptr);
    const char* bytes = static_cast<const char*>(::LockResource(::LoadResource(self, found)));
    EXPECT_EQ(std::vector<char>(bytes, bytes + ::SizeofResource(self, found)), suiteBytes_);
}

TEST_F(Payload, WritesTheSuiteByteForByteIntoNewFolders) {
    ASSERT_FALSE(Exists(folder_ + L"\\Local"));
    ASSERT_TRUE(lumiran::ExtractPayload(ThisImage(), exePath_));
    EXPECT_EQ(ReadBytes(exePath_), suiteBytes_);
}

TEST_F(Payload, ALongerOldFileIsCutToThePayload) {
    ASSERT_TRUE(::CreateDirectoryW((folder_ + L"\\Local").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((folder_ + L"\\Local\\Programs").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(installDir_.c_str(), nullptr));
    wine_test::WriteBytes(exePath_, std::string(suiteBytes_.size() * 2, 'x'));

    ASSERT_TRUE(lumiran::ExtractPayload(ThisImage(), exePath_));
    EXPECT_EQ(ReadBytes(exePath_), suiteBytes_);
}

TEST_F(Payload, AFileHeldWithoutWriteSharingIsLeftAsItWas) {
    const std::wstring path = folder_ + L"\\Lumiran.exe";
    wine_test::WriteBytes(path, "old suite");
    const HANDLE held = ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    EXPECT_FALSE(lumiran::ExtractPayload(ThisImage(), path));
    ::CloseHandle(held);
    const std::vector<char> expected = {'o', 'l', 'd', ' ', 's', 'u', 'i', 't', 'e'};
    EXPECT_EQ(ReadBytes(path), expected);
}

TEST_F(Payload, TheWrittenSuiteRunsAndHoldsItsFileUntilClosed) {
    ASSERT_TRUE(lumiran::ExtractPayload(ThisImage(), exePath_));
    {
        SuiteProcess suite(exePath_, L"extracted");
        ASSERT_NE(suite.window(), nullptr);

        // A running executable cannot be rewritten.
        EXPECT_FALSE(lumiran::ExtractPayload(ThisImage(), exePath_));
        EXPECT_EQ(ReadBytes(exePath_), suiteBytes_);

        lumiran::CloseRunningInstance();
        EXPECT_FALSE(::IsWindow(suite.window()));
        ASSERT_TRUE(suite.WaitForExit(5000));
    }
    EXPECT_TRUE(lumiran::ExtractPayload(ThisImage(), exePath_));
    EXPECT_EQ(ReadBytes(exePath_), suiteBytes_);
}

TEST_F(Payload, APlainFileInPlaceOfTheFolderFailsTheWrite) {
    wine_test::WriteBytes(folder_ + L"\\Local", "not a folder");
    EXPECT_FALSE(lumiran::ExtractPayload(ThisImage(), exePath_));
    const DWORD attributes = ::GetFileAttributesW((folder_ + L"\\Local").c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(Payload, AnImageWithoutThePayloadTouchesNothing) {
    const auto kernel = reinterpret_cast<platform::ModuleHandle>(::GetModuleHandleW(L"kernel32.dll"));
    ASSERT_NE(kernel, nullptr);
    EXPECT_FALSE(lumiran::ExtractPayload(kernel, exePath_));
    EXPECT_FALSE(Exists(folder_ + L"\\Local"));
}

}  // namespace
