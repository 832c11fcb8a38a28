#include "core/modes.h"
#include "core/product.h"
#include "core/session_user.h"
#include "core/setup_lock.h"
#include "core/switches.h"

namespace lumiran {
namespace {

constexpr std::uint32_t kInitCommonControlsSize = 8;  // sizeof(INITCOMMONCONTROLSEX)
constexpr std::uint32_t kStandardClasses = 0x4000;    // ICC_STANDARD_CLASSES

// A run refused before its mode says so under the caption of that mode.
const wchar_t* RefusalCaption(const CommandLineSwitches& switches) {
    return switches.uninstall ? kUninstallCaption : kInstallFailedCaption;
}

// A run for another account than the session's user would install for
// nobody and report success.
int RefuseOtherAccount(const SessionUserCheck& check, const CommandLineSwitches& switches) {
    if (!switches.silent && check.boxAllowed) {
        const std::wstring text = std::wstring(kOtherAccountText) + kOtherAccountRunAsLabel + check.runAs +
                                  kOtherAccountSessionLabel + check.sessionUser + kOtherAccountAdvice;
        (void)platform::ShowMessageBox(text.c_str(), RefusalCaption(switches), kIconError);
    }
    return kExitOtherAccount;
}

// Whose run this is comes first, before the lock is read or anything is
// touched. Then two runs at once would interleave their steps: two suites
// started, or an uninstall's deletions followed by an install's
// registration. The second run refuses instead of waiting, so that nothing
// ever blocks on another.
int RunOneMode(platform::ModuleHandle instance, const CommandLineSwitches& switches) {
    const SessionUserCheck check = CheckRunIsForSessionUser();
    if (check.refused) return RefuseOtherAccount(check, switches);
    const SetupLock lock = TakeSetupLock();
    if (lock.heldElsewhere) {
        if (!switches.silent) (void)platform::ShowMessageBox(kSetupBusyText, RefusalCaption(switches), kIconWarning);
        return kExitSetupBusy;
    }
    return switches.uninstall ? RunUninstall(switches.silent) : RunInstall(instance, switches.silent);
}

}  // namespace

int RunSetup(platform::ModuleHandle instance, const wchar_t* commandLine) {
    // Installers run from Downloads folders: a DLL planted beside this file
    // must never be loaded, so only System32 is searched from here on. A
    // Windows too old for that still loses the current directory.
    if (!platform::RestrictDllSearchToSystem32()) (void)platform::RemoveCurrentDirectoryFromDllSearch();
    // Failures here show later, in the operations that need COM or comctl32.
    (void)platform::InitializeComApartment();
    (void)platform::InitCommonControls(kInitCommonControlsSize, kStandardClasses);
    const std::wstring text = commandLine != nullptr ? commandLine : L"";
    const CommandLineSwitches switches = ParseSwitches(text);
    const int result = RunOneMode(instance, switches);
    platform::UninitializeCom();
    return result;
}

}  // namespace lumiran
