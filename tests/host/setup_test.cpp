// The entry point's body: start-up order, dispatch and the exit code.
#include <gtest/gtest.h>

#include "core/modes.h"
#include "tests/host/fake_platform.h"

namespace lumiran {
namespace {

using Ops = std::vector<std::string>;

platform::ModuleHandle Module() { return reinterpret_cast<platform::ModuleHandle>(0x400000); }

class Setup : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
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

}  // namespace
}  // namespace lumiran
