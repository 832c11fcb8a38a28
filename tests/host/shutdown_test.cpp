#include <gtest/gtest.h>

#include "core/shutdown.h"
#include "tests/host/fake_platform.h"

namespace lumiran {
namespace {

using Ops = std::vector<std::string>;

class Shutdown : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
    void TearDown() override { EXPECT_EQ(fake::Fake().processesAlive, 0); }
};

TEST_F(Shutdown, NoWindowMeansNoWait) {
    CloseRunningInstance();
    EXPECT_EQ(fake::Ops(), (Ops{"FindTopLevelWindow"}));
    EXPECT_EQ(fake::Fake().calls[0].args, (std::vector<std::wstring>{L"LumiranRenderWindow"}));
}

TEST_F(Shutdown, PostsCloseThenSleepsBeforeTheFirstCheck) {
    fake::Fake().script.windowPresent = true;
    fake::Fake().script.windowGoneAfterChecks = 1;
    CloseRunningInstance();
    EXPECT_EQ(fake::Ops(), (Ops{"FindTopLevelWindow", "OpenWindowProcess", "PostWindowMessage",
                                "SleepMilliseconds", "WindowExists", "ProcessEnded", "CloseProcess"}));
    EXPECT_EQ(fake::CallsOf("OpenWindowProcess").at(0).args[0], L"4096");  // learnt before the post
    const fake::Call post = fake::CallsOf("PostWindowMessage").at(0);
    EXPECT_EQ(post.args, (std::vector<std::wstring>{L"4096", L"16", L"0", L"0"}));  // WM_CLOSE, 0, 0
    EXPECT_EQ(fake::CallsOf("SleepMilliseconds").at(0).args[0], L"100");
    EXPECT_EQ(fake::CallsOf("WindowExists").at(0).args[0], L"4096");  // the window that was found
}

TEST_F(Shutdown, StopsAtTheFirstCheckThatFindsTheWindowGone) {
    fake::Fake().script.windowPresent = true;
    fake::Fake().script.windowGoneAfterChecks = 3;
    CloseRunningInstance();
    EXPECT_EQ(fake::CallsOf("SleepMilliseconds").size(), 3u);
    EXPECT_EQ(fake::CallsOf("WindowExists").size(), 3u);
}

TEST_F(Shutdown, AWindowThatStaysGetsTwentyChecksAndOneRequest) {
    fake::Fake().script.windowPresent = true;
    CloseRunningInstance();
    Ops expected = {"FindTopLevelWindow", "OpenWindowProcess", "PostWindowMessage"};
    for (int i = 0; i < 20; ++i) {
        expected.push_back("SleepMilliseconds");
        expected.push_back("WindowExists");
    }
    expected.push_back("CloseProcess");
    EXPECT_EQ(fake::Ops(), expected);
}

TEST_F(Shutdown, AProcessThatOutlivesItsWindowKeepsTheWaitGoing) {
    fake::Fake().script.windowPresent = true;
    fake::Fake().script.windowGoneAfterChecks = 2;
    fake::Fake().script.processEndsAfterChecks = 4;
    CloseRunningInstance();
    EXPECT_EQ(fake::CallsOf("SleepMilliseconds").size(), 5u);  // window gone at 2, process ended at 5
    EXPECT_EQ(fake::CallsOf("ProcessEnded").size(), 4u);
    EXPECT_EQ(fake::CallsOf("PostWindowMessage").size(), 1u);
    EXPECT_EQ(fake::Ops().back(), "CloseProcess");
}

TEST_F(Shutdown, AProcessThatNeverEndsIsBoundedByTwentyChecks) {
    fake::Fake().script.windowPresent = true;
    fake::Fake().script.windowGoneAfterChecks = 1;
    fake::Fake().script.processEndsAfterChecks = 1000;
    CloseRunningInstance();
    EXPECT_EQ(fake::CallsOf("SleepMilliseconds").size(), 20u);
    EXPECT_EQ(fake::CallsOf("PostWindowMessage").size(), 1u);
    EXPECT_EQ(fake::CallsOf("CloseProcess").size(), 1u);
}

TEST_F(Shutdown, AProcessThatCannotBeOpenedLeavesTheWaitToTheWindow) {
    fake::Fake().script.windowPresent = true;
    fake::Fake().script.windowGoneAfterChecks = 3;
    fake::Fake().script.processOpens = false;
    CloseRunningInstance();
    EXPECT_EQ(fake::CallsOf("SleepMilliseconds").size(), 3u);
    EXPECT_TRUE(fake::CallsOf("ProcessEnded").empty());
    EXPECT_TRUE(fake::CallsOf("CloseProcess").empty());
}

TEST_F(Shutdown, AFailedPostIsFollowedByTheSameWait) {
    fake::Fake().script.windowPresent = true;
    fake::Fake().script.postFails = true;
    CloseRunningInstance();
    EXPECT_EQ(fake::CallsOf("SleepMilliseconds").size(), 20u);
}

}  // namespace
}  // namespace lumiran
