// The command line's only meanings: "/S" or "/s" and "/uninstall".
#pragma once

#include <string>

namespace lumiran {

struct CommandLineSwitches {
    bool silent;
    bool uninstall;
};

// Case-sensitive substring tests over the whole text; nothing else counts.
CommandLineSwitches ParseSwitches(const std::wstring& commandLine);

}  // namespace lumiran
