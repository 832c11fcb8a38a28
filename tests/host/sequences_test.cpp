// The install and uninstall sequences, step by step against the stand-in.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/modes.h"
#include "core/product.h"
#include "tests/host/fake_platform.h"

namespace lumiran {
namespace {

namespace fs = std::filesystem;
using Ops = std::vector<std::string>;
using Args = std::vector<std::wstring>;

platform::ModuleHandle Module() { return reinterpret_cast<platform::ModuleHandle>(0x400000); }

Ops operator+(Ops a, const Ops& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
const Ops kLookup = {"GetKnownFolderPath", "FreeTaskMemory"};
const Ops kClose = {"FindTopLevelWindow"};  // no suite running
const Ops kShortcut = {"CreateShellLink", "ShellLinkSetPath", "ShellLinkSetWorkingDirectory",
                       "ShellLinkSetDescription", "ShellLinkSetIconLocation",
                       "ShellLinkQueryPersistFile", "PersistFileSave", "ReleasePersistFile",
                       "ReleaseShellLink"};
const Ops kSelfCopy = {"GetOwnModulePath", "ClearFileAttributes", "CopyFileTo", "ClearFileAttributes", "RemoveFile"};
const Ops kAutostartOff = {"CreateUserKey", "DeleteKeyValue", "CloseKey"};
const Ops kAutostartOn = {"CreateUserKey", "SetKeyValue", "CloseKey"};
Ops Registration() {
    Ops ops;
    for (int i = 0; i < 9; ++i) ops = ops + Ops{"CreateUserKey", "SetKeyValue", "CloseKey"};
    return ops;
}

class Sequences : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        root = fs::temp_directory_path() /
               ("lumiran-seq-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root);
        fs::create_directories(root);
        localAppData = (root / "Local").wstring();
        fake::Fake().script.folders[platform::FolderId::LocalAppData] = localAppData;
        installDir = localAppData + L"\\Programs\\Lumiran";
        exePath = installDir + L"\\Lumiran.exe";
    }
    void TearDown() override {
        fs::remove_all(root);
        EXPECT_EQ(fake::Fake().shellStringsAlive, 0);
        EXPECT_EQ(fake::Fake().linksAlive, 0);
        EXPECT_EQ(fake::Fake().filesAlive, 0);
    }
    bool PayloadWritten() const { return fs::exists(fs::path(exePath)); }

    fs::path root;
    std::wstring localAppData, installDir, exePath;
};

TEST_F(Sequences, SilentInstallRunsEveryStepInOrderAndLaunches) {
    EXPECT_EQ(RunInstall(Module(), true), 0);
    EXPECT_EQ(fake::Ops(), kLookup + kClose + Ops{"LoadDataResource"} + kSelfCopy + kLookup + kShortcut +
                               kLookup + kShortcut + kAutostartOff + Registration() +
                               Ops{"ShellExecuteFile"});
    EXPECT_TRUE(PayloadWritten());

    EXPECT_EQ(fake::CallsOf("GetOwnModulePath").at(0).args, (Args{L"520", L"zeroed"}));
    const std::wstring uninstaller = installDir + L"\\Lumiran-Uninstall.exe";
    EXPECT_EQ(fake::CallsOf("CopyFileTo").at(0).args, (Args{fake::Fake().script.modulePath, uninstaller, L"false"}));
    // A read-only uninstaller is made writable before the copy, which could not
    // replace it otherwise; the copy loses the attribute and the Mark of the Web
    // it took over.
    EXPECT_EQ(fake::CallsOf("ClearFileAttributes").at(0).args, (Args{uninstaller}));
    EXPECT_EQ(fake::CallsOf("ClearFileAttributes").at(1).args, (Args{uninstaller}));
    EXPECT_EQ(fake::CallsOf("RemoveFile").at(0).args, (Args{uninstaller + L":Zone.Identifier"}));
    const auto lookups = fake::CallsOf("GetKnownFolderPath");
    EXPECT_EQ(lookups.at(1).args[0], L"Desktop");
    EXPECT_EQ(lookups.at(2).args[0], L"Programs");
    const auto saves = fake::CallsOf("PersistFileSave");
    EXPECT_EQ(saves.at(0).args[1], L"C:\\Users\\u1\\Desktop\\Lumiran.lnk");
    EXPECT_EQ(saves.at(1).args[1],
              L"C:\\Users\\u1\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Lumiran.lnk");
    for (const auto& description : fake::CallsOf("ShellLinkSetDescription")) {
        EXPECT_EQ(description.args[1], kShortcutDescription);
    }
    for (const auto& target : fake::CallsOf("ShellLinkSetPath")) EXPECT_EQ(target.args[1], exePath);
    // Unquoted: file and directory are separate arguments here.
    EXPECT_EQ(fake::CallsOf("ShellExecuteFile").at(0).args, (Args{L"open", exePath, L"<null>", installDir, L"1"}));
    EXPECT_TRUE(fake::CallsOf("ShowTaskDialog").empty());
    EXPECT_TRUE(fake::CallsOf("ShowMessageBox").empty());
}

TEST_F(Sequences, InteractiveInstallAsksFirstAndFollowsTheChoice) {
    fake::Fake().script.dialogAnswer = {0, 1002, true};  // install only, autostart ticked
    EXPECT_EQ(RunInstall(Module(), false), 0);
    EXPECT_EQ(fake::Ops(), kLookup + Ops{"ShowTaskDialog"} + kClose + Ops{"LoadDataResource"} + kSelfCopy +
                               kLookup + kShortcut + kLookup + kShortcut + kAutostartOn + Registration() +
                               Ops{"ShowMessageBox"});
    EXPECT_EQ(fake::Fake().dialog.content, std::wstring(kWelcomeBlurb) + installDir);
    EXPECT_EQ(fake::CallsOf("SetKeyValue").at(0).args[1], L"Lumiran");
    EXPECT_EQ(fake::CallsOf("ShowMessageBox").at(0).args,
              (Args{L"Lumiran v" LUMIRAN_VERSION_TEXT L" 已成功安装！可从桌面或开始菜单启动。", L"安装完成", L"64"}));
}

TEST_F(Sequences, FirstCommandLinkLaunchesAndShowsNoBox) {
    fake::Fake().script.dialogAnswer = {0, 1001, false};
    EXPECT_EQ(RunInstall(Module(), false), 0);
    EXPECT_EQ(fake::Ops().back(), "ShellExecuteFile");
    EXPECT_TRUE(fake::CallsOf("ShowMessageBox").empty());
    EXPECT_EQ(fake::CallsOf("DeleteKeyValue").size(), 1u);
}

TEST_F(Sequences, CancelledOrFailedDialogEndsBeforeAnythingIsClosedOrWritten) {
    for (const platform::TaskDialogAnswer answer :
         {platform::TaskDialogAnswer{0, 2, true}, platform::TaskDialogAnswer{static_cast<platform::HResult>(0x80004005), 0, false}}) {
        fake::Reset();
        fake::Fake().script.folders[platform::FolderId::LocalAppData] = localAppData;
        fake::Fake().script.windowPresent = true;
        fake::Fake().script.dialogAnswer = answer;
        EXPECT_EQ(RunInstall(Module(), false), 0);
        EXPECT_EQ(fake::Ops(), kLookup + Ops{"ShowTaskDialog"});
        EXPECT_FALSE(PayloadWritten());
    }
}

TEST_F(Sequences, FailedPayloadStopsEveryLaterStep) {
    fake::Fake().script.payloadMissing = true;
    EXPECT_EQ(RunInstall(Module(), false), 1);
    EXPECT_EQ(fake::Ops(), (kLookup + Ops{"ShowTaskDialog"} + kClose + Ops{"LoadDataResource", "ShowMessageBox"}));
    EXPECT_EQ(fake::CallsOf("ShowMessageBox").at(0).args,
              (Args{L"无法写入 Lumiran.exe，请先关闭正在运行的 Lumiran 后重试。", L"Lumiran 安装失败", L"16"}));
}

TEST_F(Sequences, FailedPayloadIsSilentWhenSilent) {
    fake::Fake().script.payloadMissing = true;
    EXPECT_EQ(RunInstall(Module(), true), 1);
    EXPECT_EQ(fake::Ops(), kLookup + kClose + Ops{"LoadDataResource"});
}

TEST_F(Sequences, AFolderInThePayloadsWayFailsTheInstall) {
    fs::create_directories(fs::path(exePath));
    EXPECT_EQ(RunInstall(Module(), true), 1);
    EXPECT_TRUE(fake::CallsOf("CopyFileTo").empty());
    EXPECT_TRUE(fake::CallsOf("CreateUserKey").empty());
}

TEST_F(Sequences, RunningSuiteIsAskedToCloseBeforeThePayload) {
    fake::Fake().script.windowPresent = true;
    fake::Fake().script.windowGoneAfterChecks = 2;
    EXPECT_EQ(RunInstall(Module(), true), 0);
    const Ops ops = fake::Ops();
    const Ops head(ops.begin() + 2, ops.begin() + 9);
    EXPECT_EQ(head, (Ops{"FindTopLevelWindow", "OpenWindowProcess", "PostWindowMessage", "SleepMilliseconds",
                         "WindowExists", "SleepMilliseconds", "WindowExists"}));
    EXPECT_EQ(Ops(ops.begin() + 9, ops.begin() + 12), (Ops{"ProcessEnded", "CloseProcess", "LoadDataResource"}));
}

TEST_F(Sequences, WithoutLocalAppDataNothingIsInstalled) {
    // The layout would lie at the drive root, outside the profile.
    fake::Fake().script.failingFolders = {platform::FolderId::LocalAppData};
    EXPECT_EQ(RunInstall(Module(), false), 1);
    EXPECT_EQ(fake::Ops(), kLookup + Ops{"ShowMessageBox"});
    EXPECT_EQ(fake::CallsOf("ShowMessageBox").at(0).args,
              (Args{L"无法确定当前用户的 LocalAppData 文件夹，Lumiran 未安装。", L"Lumiran 安装失败", L"16"}));

    fake::Reset();
    fake::Fake().script.failingFolders = {platform::FolderId::LocalAppData};
    EXPECT_EQ(RunInstall(Module(), true), 1);
    EXPECT_EQ(fake::Ops(), kLookup);
}

TEST_F(Sequences, AnUnresolvedShortcutFolderSkipsOnlyThatShortcut) {
    fake::Fake().script.failingFolders = {platform::FolderId::Desktop};
    EXPECT_EQ(RunInstall(Module(), true), 0);
    EXPECT_EQ(fake::Ops(), kLookup + kClose + Ops{"LoadDataResource"} + kSelfCopy + kLookup + kLookup +
                               kShortcut + kAutostartOff + Registration() + Ops{"ShellExecuteFile"});
    for (const auto& save : fake::CallsOf("PersistFileSave")) EXPECT_NE(save.args[1], L"\\Lumiran.lnk");

    fake::Reset();
    fake::Fake().script.folders[platform::FolderId::LocalAppData] = localAppData;
    fake::Fake().script.failingFolders = {platform::FolderId::Programs};
    EXPECT_EQ(RunInstall(Module(), true), 0);
    ASSERT_EQ(fake::CallsOf("PersistFileSave").size(), 1u);
    EXPECT_EQ(fake::CallsOf("PersistFileSave").at(0).args[1], L"C:\\Users\\u1\\Desktop\\Lumiran.lnk");
}

TEST_F(Sequences, WithoutItsOwnPathTheInstallCopiesNothing) {
    fake::Fake().script.modulePathFails = true;
    EXPECT_EQ(RunInstall(Module(), true), 0);
    EXPECT_TRUE(fake::CallsOf("CopyFileTo").empty());

    fake::Reset();
    fake::Fake().script.folders[platform::FolderId::LocalAppData] = localAppData;
    fake::Fake().script.modulePath = L"C:\\" + std::wstring(600, L'x') + L"\\Lumiran-Setup-2.1.0-x64.exe";
    EXPECT_EQ(RunInstall(Module(), true), 0);
    EXPECT_TRUE(fake::CallsOf("CopyFileTo").empty());  // cut short: a wrong path
    EXPECT_EQ(fake::Ops().back(), "ShellExecuteFile");
    EXPECT_TRUE(fake::CallsOf("ClearFileAttributes").empty());
    EXPECT_TRUE(fake::CallsOf("RemoveFile").empty());
}

TEST_F(Sequences, AFailedCopyLeavesWhateverIsAtTheUninstallersPlaceAlone) {
    fake::Fake().script.copyFails = true;
    EXPECT_EQ(RunInstall(Module(), true), 0);
    const Ops copyOnly = {"LoadDataResource", "GetOwnModulePath", "ClearFileAttributes", "CopyFileTo"};
    EXPECT_EQ(fake::Ops(), kLookup + kClose + copyOnly + kLookup + kShortcut + kLookup + kShortcut + kAutostartOff +
                               Registration() + Ops{"ShellExecuteFile"});
}

TEST_F(Sequences, BestEffortStepsDoNotChangeTheResult) {
    fake::Fake().script.createLinkResult = static_cast<platform::HResult>(0x800401F0);
    fake::Fake().script.failingKeyOpens = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(RunInstall(Module(), true), 0);
    EXPECT_EQ(fake::Ops().back(), "ShellExecuteFile");
}

// Uninstall.

TEST_F(Sequences, ConfirmedUninstallRemovesInOrderAndReports) {
    EXPECT_EQ(RunUninstall(false), 0);
    EXPECT_EQ(fake::Ops(), (Ops{"ShowMessageBox"} + kClose + kAutostartOff + kLookup + kLookup + kLookup +
                               Ops{"RemoveFile", "RemoveFile", "RemoveFile", "PathExists", "DeleteUserKeyTree",
                                   "ShowMessageBox"}));
    const auto boxes = fake::CallsOf("ShowMessageBox");
    EXPECT_EQ(boxes.at(0).args, (Args{L"确定要卸载 Lumiran 吗？（将自动恢复 Windows 原生任务栏）", L"卸载 Lumiran", L"36"}));
    EXPECT_EQ(boxes.at(1).args, (Args{L"Lumiran 已安全卸载完成。", L"卸载 Lumiran", L"64"}));
    const auto lookups = fake::CallsOf("GetKnownFolderPath");
    EXPECT_EQ(lookups.at(0).args, (Args{L"LocalAppData", L"32768"}));
    EXPECT_EQ(lookups.at(1).args, (Args{L"Desktop", L"32768"}));
    EXPECT_EQ(lookups.at(2).args, (Args{L"Programs", L"32768"}));
    const auto removed = fake::CallsOf("RemoveFile");
    EXPECT_EQ(removed.at(0).args[0], L"C:\\Users\\u1\\Desktop\\Lumiran.lnk");
    EXPECT_EQ(removed.at(1).args[0],
              L"C:\\Users\\u1\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Lumiran.lnk");
    EXPECT_EQ(removed.at(2).args[0], exePath);
    EXPECT_EQ(fake::CallsOf("DeleteUserKeyTree").at(0).args[0],
              L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumiran");
    EXPECT_EQ(fake::CallsOf("DeleteKeyValue").at(0).args[1], L"Lumiran");
    // The uninstaller copy stays.
    for (const auto& call : removed) EXPECT_EQ(call.args[0].find(L"Uninstall.exe"), std::wstring::npos);
}

TEST_F(Sequences, DeclinedUninstallTouchesNothing) {
    for (const int answer : {7, 0, 2}) {  // IDNO, a box that failed, anything else
        fake::Reset();
        fake::Fake().script.windowPresent = true;
        fake::Fake().script.messageBoxAnswer = answer;
        EXPECT_EQ(RunUninstall(false), 0);
        EXPECT_EQ(fake::Ops(), (Ops{"ShowMessageBox"}));
    }
}

TEST_F(Sequences, SilentUninstallShowsNothingAndRunsEveryStep) {
    fake::Fake().script.windowPresent = true;
    fake::Fake().script.windowGoneAfterChecks = 1;
    EXPECT_EQ(RunUninstall(true), 0);
    EXPECT_EQ(fake::Ops(), (Ops{"FindTopLevelWindow", "OpenWindowProcess", "PostWindowMessage", "SleepMilliseconds",
                                "WindowExists", "ProcessEnded", "CloseProcess"} +
                               kAutostartOff + kLookup + kLookup + kLookup +
                               Ops{"RemoveFile", "RemoveFile", "RemoveFile", "PathExists", "DeleteUserKeyTree"}));
}

TEST_F(Sequences, UninstallSkipsPathsWhoseFolderDidNotResolve) {
    fake::Fake().script.failingFolders = {platform::FolderId::LocalAppData, platform::FolderId::Programs};
    EXPECT_EQ(RunUninstall(true), 0);
    const auto removed = fake::CallsOf("RemoveFile");
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed.at(0).args[0], L"C:\\Users\\u1\\Desktop\\Lumiran.lnk");
    EXPECT_EQ(fake::CallsOf("DeleteUserKeyTree").size(), 1u);

    fake::Reset();
    fake::Fake().script.failingFolders = {platform::FolderId::Desktop};
    fake::Fake().script.messageBoxAnswer = 6;
    EXPECT_EQ(RunUninstall(false), 0);
    EXPECT_EQ(fake::CallsOf("RemoveFile").size(), 2u);
    EXPECT_EQ(fake::CallsOf("ShowMessageBox").size(), 2u);
}

TEST_F(Sequences, ASuiteThatCannotBeRemovedKeepsItsRegistrationAndFails) {
    fake::Fake().script.undeletableFiles = {exePath};
    EXPECT_EQ(RunUninstall(false), 1);
    EXPECT_TRUE(fake::CallsOf("DeleteUserKeyTree").empty());
    EXPECT_EQ(fake::CallsOf("RemoveFile").size(), 3u);      // the shortcuts went all the same
    EXPECT_EQ(fake::CallsOf("DeleteKeyValue").size(), 1u);  // and so did autostart
    const auto boxes = fake::CallsOf("ShowMessageBox");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes.at(1).args,
              (Args{L"无法删除 Lumiran.exe，请先关闭正在运行的 Lumiran 后重试。", L"卸载 Lumiran", L"16"}));
    EXPECT_EQ(fake::Ops().back(), "ShowMessageBox");

    fake::Reset();
    fake::Fake().script.folders[platform::FolderId::LocalAppData] = localAppData;
    fake::Fake().script.undeletableFiles = {exePath};
    EXPECT_EQ(RunUninstall(true), 1);
    EXPECT_TRUE(fake::CallsOf("ShowMessageBox").empty());
    EXPECT_TRUE(fake::CallsOf("DeleteUserKeyTree").empty());
}

TEST_F(Sequences, UninstallGoesOnWhenTheRunKeyCannotBeOpened) {
    fake::Fake().script.failingKeyOpens = {1};
    EXPECT_EQ(RunUninstall(true), 0);
    EXPECT_EQ(fake::CallsOf("RemoveFile").size(), 3u);
    EXPECT_TRUE(fake::CallsOf("DeleteKeyValue").empty());
}

}  // namespace
}  // namespace lumiran
