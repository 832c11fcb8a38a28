// The entry point's body: start-up order, dispatch and the exit code.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>

#include "core/modes.h"
#include "tests/host/fake_platform.h"

namespace lumiran {
namespace {

namespace fs = std::filesystem;
using Ops = std::vector<std::string>;
using Args = std::vector<std::wstring>;

platform::ModuleHandle Module() { return reinterpret_cast<platform::ModuleHandle>(0x400000); }

constexpr std::uint32_t kWaitAbandoned = 0x80;
constexpr std::uint32_t kWaitTimeout = 0x102;
constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;

// Installs write a real payload: into a folder of the test's own.
class Setup : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("lumiran-setup-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root);
        fs::create_directories(root);
        Reset();
    }
    void TearDown() override {
        fs::remove_all(root);
        EXPECT_EQ(fake::Fake().mutexesOwned, 0);
        EXPECT_EQ(fake::Fake().mutexesAlive, 0);
    }
    void Reset() {
        fake::Reset();
        fake::Fake().script.folders[platform::FolderId::LocalAppData] = (root / "Local").wstring();
    }

    fs::path root;
};

TEST_F(Setup, StartsRestrictedThenComThenCommonControls) {
    (void)RunSetup(Module(), L"/uninstall /S");
    const Ops ops = fake::Ops();
    ASSERT_GE(ops.size(), 4u);
    EXPECT_EQ((Ops{ops[0], ops[1], ops[2]}),
              (Ops{"RestrictDllSearchToSystem32", "InitializeComApartment", "InitCommonControls"}));
    EXPECT_EQ(fake::CallsOf("InitCommonControls").at(0).args, (std::vector<std::wstring>{L"8", L"16384"}));
    EXPECT_EQ(ops.back(), "UninitializeCom");
    EXPECT_EQ(fake::CallsOf("UninitializeCom").size(), 1u);
}

TEST_F(Setup, WithoutSetDefaultDllDirectoriesTheCurrentDirectoryStillLeavesTheSearch) {
    fake::Fake().script.dllDirectoriesMissing = true;
    (void)RunSetup(Module(), L"/uninstall /S");
    const Ops ops = fake::Ops();
    EXPECT_EQ((Ops{ops[0], ops[1], ops[2]}),
              (Ops{"RestrictDllSearchToSystem32", "RemoveCurrentDirectoryFromDllSearch", "InitializeComApartment"}));

    fake::Reset();
    (void)RunSetup(Module(), L"/uninstall /S");
    EXPECT_TRUE(fake::CallsOf("RemoveCurrentDirectoryFromDllSearch").empty());
}

TEST_F(Setup, NullCommandLineRunsTheInteractiveInstall) {
    fake::Fake().script.dialogAnswer = {0, 2, false};  // cancelled
    EXPECT_EQ(RunSetup(Module(), nullptr), 0);
    EXPECT_EQ(fake::CallsOf("ShowTaskDialog").size(), 1u);
    EXPECT_EQ(fake::Ops().back(), "UninitializeCom");
}

TEST_F(Setup, FailedInstallGivesOneAndStillUninitialisesCom) {
    fake::Fake().script.payloadMissing = true;
    EXPECT_EQ(RunSetup(Module(), L"/S"), 1);
    EXPECT_EQ(fake::CallsOf("UninitializeCom").size(), 1u);
    EXPECT_EQ(fake::Ops().back(), "UninitializeCom");
    EXPECT_EQ(fake::CallsOf("ShowMessageBox").size(), 0u);
}

TEST_F(Setup, DeclinedUninstallGivesZeroAndUninitialisesCom) {
    fake::Fake().script.messageBoxAnswer = 7;  // IDNO
    EXPECT_EQ(RunSetup(Module(), L"/uninstall"), 0);
    EXPECT_EQ(fake::CallsOf("ShowMessageBox").size(), 1u);
    EXPECT_EQ(fake::Ops().back(), "UninitializeCom");
}

TEST_F(Setup, UninstallSwitchSelectsTheUninstall) {
    EXPECT_EQ(RunSetup(Module(), L"\"C:\\x\\Lumiran-Uninstall.exe\" /uninstall /S"), 0);
    EXPECT_EQ(fake::CallsOf("DeleteUserKeyTree").size(), 1u);
    EXPECT_EQ(fake::CallsOf("LoadDataResource").size(), 0u);
}

TEST_F(Setup, InstanceReachesThePayloadLookup) {
    (void)RunSetup(Module(), L"/S");
    EXPECT_EQ(fake::CallsOf("LoadDataResource").at(0).args,
              (std::vector<std::wstring>{L"4194304", L"201"}));
}

TEST_F(Setup, TheAccountIsCheckedAndTheLockTakenBeforeEitherModeAndLetGoAfterIt) {
    EXPECT_EQ(RunSetup(Module(), L"/S"), 0);
    Ops ops = fake::Ops();
    EXPECT_EQ(Ops(ops.begin() + 3, ops.begin() + 8), (Ops{"ReadProcessUser", "ReadProcessElevation", "CreateNamedMutex",
                                                          "TryTakeMutex", "GetKnownFolderPath"}));
    EXPECT_EQ(Ops(ops.end() - 4, ops.end()),
              (Ops{"ShellExecuteFile", "ReleaseTakenMutex", "CloseMutex", "UninitializeCom"}));
    EXPECT_EQ(fake::CallsOf("CreateNamedMutex").at(0).args, (Args{L"Local\\LumiranSetup"}));

    Reset();
    fake::Fake().script.messageBoxAnswer = 7;  // IDNO
    EXPECT_EQ(RunSetup(Module(), L"/uninstall"), 0);
    ops = fake::Ops();
    EXPECT_EQ(Ops(ops.begin() + 5, ops.end()), (Ops{"CreateNamedMutex", "TryTakeMutex", "ShowMessageBox",
                                                    "ReleaseTakenMutex", "CloseMutex", "UninitializeCom"}));
}

TEST_F(Setup, WhileAnotherRunHoldsTheLockNoModeRuns) {
    struct Case {
        const wchar_t* commandLine;
        const wchar_t* caption;  // null: silent, no box
        bool outOfReach;         // an elevated run's mutex: access denied
    };
    for (const Case& c : {Case{L"", L"Lumiran 安装失败", false}, Case{L"/S", nullptr, false},
                          Case{L"/uninstall", L"卸载 Lumiran", false}, Case{L"/uninstall /S", nullptr, false},
                          Case{L"", L"Lumiran 安装失败", true}, Case{L"/uninstall /S", nullptr, true}}) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(c.commandLine)) + (c.outOfReach ? " denied" : ""));
        Reset();
        if (c.outOfReach) {
            fake::Fake().script.mutexCreateError = 5;  // ERROR_ACCESS_DENIED
        } else {
            fake::Fake().script.mutexWait = kWaitTimeout;
        }
        EXPECT_EQ(RunSetup(Module(), c.commandLine), 1618);
        Ops expected = {"CreateNamedMutex"};
        if (!c.outOfReach) expected.insert(expected.end(), {"TryTakeMutex", "CloseMutex"});
        if (c.caption != nullptr) expected.push_back("ShowMessageBox");
        expected.push_back("UninitializeCom");
        const Ops ops = fake::Ops();
        EXPECT_EQ(Ops(ops.begin() + 5, ops.end()), expected);
        if (c.caption != nullptr) {
            EXPECT_EQ(fake::CallsOf("ShowMessageBox").at(0).args,
                      (Args{L"另一个 Lumiran 安装或卸载程序正在运行，请等它结束后再试。", c.caption, L"48"}));
        }
    }
}

// What the token, the session and the account lookup say (-1: unread), and
// whether the run goes ahead; a refused one has a box only where it is seen.
TEST_F(Setup, OnlyARunForTheSessionsUserGoesAhead) {
    enum Outcome { kAhead, kRefused, kRefusedWithBox };
    // An unread name is no fact, whatever it holds.
    const platform::AccountName u1{true, L"u1", L"PC"}, admin{true, L"admin", L"PC"}, unread{false, L"u2", L"PC"};
    const wchar_t* const user = L"S-1-5-21-1-2-3-1001";
    const struct {
        const wchar_t* sid;  // null: unread
        int elevated;
        platform::AccountName account, session;
        int sessionId;
        Outcome outcome;
    } cases[] = {{L"S-1-5-18", 1, unread, unread, 0, kRefused}, {L"S-1-5-19", 0, unread, unread, 1, kRefused},
                 {L"S-1-5-20", 1, unread, unread, 1, kRefused}, {user, 1, admin, u1, 1, kRefusedWithBox},
                 {user, 1, u1, {true, L"u1", L"CORP"}, 1, kRefusedWithBox}, {user, 1, admin, u1, 0, kRefused},
                 {user, 1, admin, u1, -1, kRefused}, {user, 1, {true, L"U1", L"pc"}, u1, 1, kAhead},
                 {user, 0, admin, u1, 1, kAhead}, {user, 1, admin, {true, L"", L""}, 0, kAhead},
                 {user, 1, admin, unread, 1, kAhead}, {user, 1, unread, u1, 1, kAhead},
                 {user, -1, admin, u1, 1, kAhead}, {nullptr, 1, admin, u1, 1, kAhead}};
    for (const auto& c : cases) {
        for (const std::wstring commandLine : {L"", L"/S", L"/uninstall", L"/uninstall /S"}) {
            SCOPED_TRACE(::testing::PrintToString(std::wstring(c.sid ? c.sid : L"-") + L" " + c.account.name + L" " +
                                                  c.session.name + L" " + commandLine));
            Reset();
            fake::Script& script = fake::Fake().script;
            script.processUser = {c.sid != nullptr, c.sid ? c.sid : L""};
            script.elevation = {c.elevated >= 0, c.elevated == 1};
            script.account = c.account;
            script.sessionUser = c.session;
            script.sessionId = {c.sessionId >= 0, static_cast<std::uint32_t>(c.sessionId)};
            script.dialogAnswer = {0, 2, false};  // an install that goes ahead is cancelled,
            script.messageBoxAnswer = 7;          // an uninstall declined
            EXPECT_EQ(RunSetup(Module(), commandLine.c_str()), c.outcome == kAhead ? 0 : 50);
            EXPECT_EQ(fake::CallsOf("CreateNamedMutex").size(), c.outcome == kAhead ? 1u : 0u);
            if (c.outcome == kAhead) continue;
            const bool box = c.outcome == kRefusedWithBox && commandLine.find(L"/S") == std::wstring::npos;
            Ops rest;  // after the start-up and the facts: the box, if any, and the end of COM
            const Ops ops = fake::Ops();
            std::copy_if(ops.begin() + 3, ops.end(), std::back_inserter(rest),
                         [](const std::string& op) { return op.rfind("Read", 0) != 0 && op != "LookupAccountOfSid"; });
            EXPECT_EQ(rest, box ? (Ops{"ShowMessageBox", "UninitializeCom"}) : (Ops{"UninitializeCom"}));
            if (!box) continue;
            EXPECT_EQ(fake::CallsOf("ShowMessageBox").at(0).args,
                      (Args{L"此 Lumiran 安装程序正以另一个帐户运行，不会为当前登录的用户安装或卸载 Lumiran。\n\n运行帐户：PC\\" +
                                c.account.name + L"\n当前登录的用户：" + c.session.domain + L"\\" + c.session.name +
                                L"\n\n请以当前登录的用户身份直接启动它，不要选择“以管理员身份运行”。",
                            commandLine.empty() ? L"Lumiran 安装失败" : L"卸载 Lumiran", L"16"}));
        }
    }
}

TEST_F(Setup, AnAbandonedLockIsThisRunsToFinishTheJob) {
    fake::Fake().script.mutexWait = kWaitAbandoned;
    EXPECT_EQ(RunSetup(Module(), L"/S"), 0);
    EXPECT_EQ(fake::CallsOf("ShellExecuteFile").size(), 1u);
    EXPECT_EQ(fake::CallsOf("ReleaseTakenMutex").size(), 1u);
}

TEST_F(Setup, ALockThatCannotBeHadNeverStopsARun) {
    fake::Fake().script.mutexCreateError = 6;  // ERROR_INVALID_HANDLE: the name is another kind of object
    EXPECT_EQ(RunSetup(Module(), L"/S"), 0);
    EXPECT_EQ(fake::CallsOf("ShellExecuteFile").size(), 1u);
    EXPECT_TRUE(fake::CallsOf("TryTakeMutex").empty());

    Reset();
    fake::Fake().script.mutexWait = kWaitFailed;
    EXPECT_EQ(RunSetup(Module(), L"/uninstall /S"), 0);
    EXPECT_EQ(fake::CallsOf("DeleteUserKeyTree").size(), 1u);
    EXPECT_TRUE(fake::CallsOf("ReleaseTakenMutex").empty());  // never owned
}

}  // namespace
}  // namespace lumiran
