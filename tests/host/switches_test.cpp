#include <gtest/gtest.h>

#include "core/switches.h"

namespace lumiran {
namespace {

struct SwitchCase {
    const wchar_t* commandLine;
    bool silent;
    bool uninstall;
};

void PrintTo(const SwitchCase& c, std::ostream* out) { *out << ::testing::PrintToString(std::wstring(c.commandLine)); }

class Switches : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(Switches, CaseSensitiveSubstringsAnywhere) {
    const SwitchCase& c = GetParam();
    const CommandLineSwitches switches = ParseSwitches(c.commandLine);
    EXPECT_EQ(switches.silent, c.silent) << "silent for: " << ::testing::PrintToString(std::wstring(c.commandLine));
    EXPECT_EQ(switches.uninstall, c.uninstall) << "uninstall for: " << ::testing::PrintToString(std::wstring(c.commandLine));
}

INSTANTIATE_TEST_SUITE_P(CommandLines, Switches, ::testing::Values(
    SwitchCase{L"", false, false},
    SwitchCase{L"/S", true, false},
    SwitchCase{L"/s", true, false},
    SwitchCase{L"/Silent", true, false},
    SwitchCase{L"/silent", true, false},
    SwitchCase{L"/SILENT", true, false},
    SwitchCase{L"x/sx", true, false},
    SwitchCase{L"-s", false, false},
    SwitchCase{L"S", false, false},
    SwitchCase{L"/ S", false, false},
    SwitchCase{L"/", false, false},
    SwitchCase{L"/uninstall", false, true},
    SwitchCase{L"/uninstall /S", true, true},
    SwitchCase{L"/S /uninstall", true, true},
    SwitchCase{L"/uninstall/s", true, true},
    SwitchCase{L"/Uninstall", false, false},
    SwitchCase{L"/UNINSTALL", false, false},
    SwitchCase{L"/Uninstall /S", true, false},
    SwitchCase{L"x/uninstallx", false, true},
    SwitchCase{L"/uninstal", false, false},
    SwitchCase{L"uninstall", false, false},
    SwitchCase{L"C:/setup/files", true, false},
    SwitchCase{L"\"C:/setup/files\"", true, false},
    SwitchCase{L"--target=\"/S\"", true, false},
    SwitchCase{L"\t/S\t", true, false}));

}  // namespace
}  // namespace lumiran
