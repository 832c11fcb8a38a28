#include "core/switches.h"

namespace lumiran {
namespace {

bool Contains(const std::wstring& text, const wchar_t* needle) {
    return text.find(needle) != std::wstring::npos;
}

}  // namespace

CommandLineSwitches ParseSwitches(const std::wstring& commandLine) {
    CommandLineSwitches switches;
    switches.silent = Contains(commandLine, L"/S") || Contains(commandLine, L"/s");
    switches.uninstall = Contains(commandLine, L"/uninstall");
    return switches;
}

}  // namespace lumiran
