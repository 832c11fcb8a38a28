#include <gtest/gtest.h>

#include "core/product.h"
#include "core/welcome.h"
#include "tests/host/fake_platform.h"

namespace lumiran {
namespace {

platform::ModuleHandle Module() { return reinterpret_cast<platform::ModuleHandle>(0x400000); }

InstallLayout Layout(const std::wstring& dir) { return {dir, dir + L"\\Lumiran.exe", dir + L"\\Lumiran-Uninstall.exe"}; }

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(L'\n', start);
        lines.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos) return lines;
        start = end + 1;
    }
}

TEST(WelcomeBlurb, HasTheFixedStructureAndLengths) {
    const std::wstring blurb = kWelcomeBlurb;
    EXPECT_EQ(blurb.size(), 193u);
    const std::vector<std::wstring> lines = Lines(blurb);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].size(), 54u);
    EXPECT_EQ(lines[0].back(), L'\xFF1A');  // full-width colon
    const std::size_t bulletLengths[] = {44, 41, 44};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(lines[1 + i].substr(0, 2), L"\x2022 ");
        EXPECT_EQ(lines[1 + i].size(), bulletLengths[i]);
    }
    EXPECT_EQ(lines[4], L"");
    EXPECT_EQ(lines[5], L"安装目录：");
}

TEST(WelcomeBlurb, ShortcutDescriptionIsNameDashAndFifteenCharacterTagline) {
    const std::wstring description = kShortcutDescription;
    EXPECT_EQ(description.size(), 25u);
    EXPECT_EQ(description.substr(0, 10), L"Lumiran - ");
}

TEST(WelcomeDialogConfig, EveryMember) {
    WelcomeDialog dialog;
    BuildWelcomeDialog(Module(), Layout(L"C:\\Users\\u1\\AppData\\Local\\Programs\\Lumiran"), dialog);
    const platform::TaskDialogConfig& c = dialog.config;
    EXPECT_EQ(c.size, 160u);
    EXPECT_EQ(c.parent, nullptr);
    EXPECT_EQ(c.instance, Module());
    EXPECT_EQ(c.flags, 0x18u);
    EXPECT_EQ(c.commonButtons, 0x8u);
    EXPECT_STREQ(c.windowTitle, L"安装 Lumiran v" LUMIRAN_VERSION_TEXT);
    EXPECT_EQ(c.mainIconId, 101);
    EXPECT_STREQ(c.mainInstruction, L"欢迎安装 Lumiran v" LUMIRAN_VERSION_TEXT);
    EXPECT_EQ(std::wstring(c.content), std::wstring(kWelcomeBlurb) + L"C:\\Users\\u1\\AppData\\Local\\Programs\\Lumiran");
    ASSERT_EQ(c.buttonCount, 2u);
    EXPECT_EQ(c.buttons[0].id, 1001);
    EXPECT_STREQ(c.buttons[0].text, L"立即安装并启动 Lumiran\n安装到当前用户目录，创建桌面与开始菜单快捷方式");
    EXPECT_EQ(c.buttons[1].id, 1002);
    EXPECT_STREQ(c.buttons[1].text, L"仅安装（不立即启动）\n完成文件部署和快捷方式创建后关闭向导");
    EXPECT_EQ(c.defaultButton, 0);
    EXPECT_EQ(c.radioButtonCount, 0u);
    EXPECT_EQ(c.radioButtons, nullptr);
    EXPECT_EQ(c.defaultRadioButton, 0);
    EXPECT_STREQ(c.verificationText, L"随 Windows 开机自动启动 Lumiran");
    EXPECT_EQ(c.expandedInformation, nullptr);
    EXPECT_EQ(c.expandedControlText, nullptr);
    EXPECT_EQ(c.collapsedControlText, nullptr);
    EXPECT_EQ(c.footerIcon, nullptr);
    EXPECT_EQ(c.footer, nullptr);
    EXPECT_EQ(c.callback, nullptr);
    EXPECT_EQ(c.callbackData, 0);
    EXPECT_EQ(c.width, 0u);
}

TEST(WelcomeDialogConfig, ALongFolderIsAppendedWhole) {
    const std::wstring dir = L"D:\\" + std::wstring(4000, L'深') + L"\\Programs\\Lumiran";
    WelcomeDialog dialog;
    BuildWelcomeDialog(Module(), Layout(dir), dialog);
    const std::vector<std::wstring> lines = Lines(dialog.config.content);
    EXPECT_EQ(lines.back(), L"安装目录：" + dir);
}

struct Answer {
    platform::TaskDialogAnswer answer;
    bool shown;
    bool launch;
    bool autostart;
};

void PrintTo(const Answer& a, std::ostream* out) {
    *out << "hr=" << a.answer.result << " button=" << a.answer.button << " ticked=" << a.answer.verificationChecked;
}

class WelcomeAnswers : public ::testing::TestWithParam<Answer> {};

TEST_P(WelcomeAnswers, MapToTheChoice) {
    fake::Reset();
    fake::Fake().script.dialogAnswer = GetParam().answer;
    // Marked values show whether the choice was left untouched.
    InstallChoice choice{false, true};
    const bool shown = ShowWelcomeDialog(Module(), Layout(L"C:\\x"), choice);
    EXPECT_EQ(shown, GetParam().shown);
    EXPECT_EQ(choice.launchAfterInstall, GetParam().launch);
    EXPECT_EQ(choice.autostart, GetParam().autostart);
    EXPECT_EQ(fake::Fake().dialog.initialButton, 0);
    EXPECT_FALSE(fake::Fake().dialog.initialVerification);
    EXPECT_EQ(fake::Fake().dialog.content, std::wstring(kWelcomeBlurb) + L"C:\\x");
}

INSTANTIATE_TEST_SUITE_P(Buttons, WelcomeAnswers, ::testing::Values(
    Answer{{0, 1001, false}, true, true, false},
    Answer{{0, 1001, true}, true, true, true},
    Answer{{0, 1002, false}, true, false, false},
    Answer{{0, 1002, true}, true, false, true},
    Answer{{0, 2, true}, false, false, true},   // Cancel, Esc and the close box, after ticking
    Answer{{0, 0, false}, false, false, true},  // no button at all
    Answer{{0, 1003, true}, false, false, true},
    Answer{{static_cast<platform::HResult>(0x80070057), 1001, true}, false, false, true}));

}  // namespace
}  // namespace lumiran
