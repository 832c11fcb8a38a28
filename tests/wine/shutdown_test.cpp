// Closing the real stand-in suite through its main window.
#include <windows.h>

#include <gtest/gtest.h>

#include "core/product.h"
#include "core/shutdown.h"
#include "tests/wine/support.h"

namespace {

using wine_test::SuiteProcess;
using wine_test::SuiteExePath;
using wine_test::TimeMs;

// Sleep(100) may come back a tick early; a check made before the first
// sleep would take a few milliseconds, far below this.
constexpr long long kOneStepMs = 90;
constexpr long long kFullWaitMs = 20 * kOneStepMs;
// A wait that ends with the suite, not at the bound, ends before the full
// wait whatever else the machine is doing; a closer upper bound would only
// measure how busy it is.

TEST(Shutdown, WithoutASuiteReturnsAtOnce) {
    ASSERT_EQ(::FindWindowW(lumiran::kMainWindowClass, nullptr), nullptr);
    EXPECT_LT(TimeMs(lumiran::CloseRunningInstance), 50);
}

TEST(Shutdown, ASuiteThatClosesIsGoneAfterOneShortWait) {
    SuiteProcess suite(SuiteExePath(), L"closes");
    ASSERT_NE(suite.window(), nullptr);

    const long long ms = TimeMs(lumiran::CloseRunningInstance);
    EXPECT_GE(ms, kOneStepMs);
    EXPECT_LT(ms, 1000);
    EXPECT_FALSE(::IsWindow(suite.window()));
    EXPECT_TRUE(suite.WaitForExit(5000));
}

TEST(Shutdown, ASuiteThatIgnoresTheRequestKeepsRunningAfterTheFullWait) {
    SuiteProcess suite(SuiteExePath(), L"stubborn", L"--ignore-close");
    ASSERT_NE(suite.window(), nullptr);

    const long long ms = TimeMs(lumiran::CloseRunningInstance);
    EXPECT_GE(ms, kFullWaitMs);
    EXPECT_LT(ms, 3000);
    EXPECT_TRUE(::IsWindow(suite.window()));
    EXPECT_TRUE(suite.Running());
}

TEST(Shutdown, OfTwoSuitesExactlyOneIsAskedToClose) {
    SuiteProcess first(SuiteExePath(), L"first");
    SuiteProcess second(SuiteExePath(), L"second");
    ASSERT_NE(first.window(), nullptr);
    ASSERT_NE(second.window(), nullptr);

    const long long ms = TimeMs(lumiran::CloseRunningInstance);
    EXPECT_LT(ms, 1000);  // the one it asked has closed
    ASSERT_NE(::IsWindow(first.window()), ::IsWindow(second.window()));
    const SuiteProcess& closed = ::IsWindow(first.window()) ? second : first;
    const SuiteProcess& left = ::IsWindow(first.window()) ? first : second;
    EXPECT_TRUE(closed.WaitForExit(5000));
    // Time enough for a second request, had there been one, to arrive.
    ::Sleep(300);
    EXPECT_TRUE(::IsWindow(left.window()));
    EXPECT_TRUE(left.Running());
}

TEST(Shutdown, TheWaitLastsUntilALateWindowGoes) {
    SuiteProcess suite(SuiteExePath(), L"late", L"--close-delay=700");
    ASSERT_NE(suite.window(), nullptr);

    const long long ms = TimeMs(lumiran::CloseRunningInstance);
    EXPECT_GE(ms, 700);
    EXPECT_LT(ms, kFullWaitMs);
    EXPECT_FALSE(::IsWindow(suite.window()));
}

// The suite takes its window down at once and ends later: only then is
// Lumiran.exe free, so the wait lasts until the process has ended.
TEST(Shutdown, TheWaitLastsUntilTheProcessHasEnded) {
    SuiteProcess suite(SuiteExePath(), L"lingers", L"--exit-delay=800");
    ASSERT_NE(suite.window(), nullptr);

    const long long ms = TimeMs(lumiran::CloseRunningInstance);
    EXPECT_GE(ms, 800);
    EXPECT_LT(ms, kFullWaitMs);
    EXPECT_FALSE(suite.Running());
}

TEST(Shutdown, AProcessThatOutlivesTheBoundIsLeftRunning) {
    SuiteProcess suite(SuiteExePath(), L"outlives", L"--exit-delay=4000");
    ASSERT_NE(suite.window(), nullptr);

    const long long ms = TimeMs(lumiran::CloseRunningInstance);
    EXPECT_GE(ms, kFullWaitMs);
    EXPECT_LT(ms, 3000);
    EXPECT_FALSE(::IsWindow(suite.window()));
    EXPECT_TRUE(suite.Running());
    EXPECT_TRUE(suite.WaitForExit(10000));
}

}  // namespace
