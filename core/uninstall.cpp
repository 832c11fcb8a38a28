#include "core/layout.h"
#include "core/modes.h"
#include "core/product.h"
#include "core/registry.h"
#include "core/shutdown.h"

namespace lumiran {
namespace {

bool ConfirmUninstall() {
    return platform::ShowMessageBox(kUninstallConfirmText, kUninstallCaption, kYesNoQuestion) == kIdYes;
}

// An unresolved folder leaves a path at the drive root, where a file of the
// same name may belong to someone else: leave it alone.
void DeleteIfResolved(const std::wstring& path, const std::wstring& bareSuffix) {
    if (!FolderResolved(path, bareSuffix)) return;
    (void)platform::RemoveFile(path);
}

// The suite's file is what the uninstall is for. While it stays (a suite
// that did not end, or a file someone holds open) the registration stays
// too, so that the list of installed programs can run the uninstall again.
// Where LocalAppData is unknown there is no file to remove or look at, and
// the uninstall ends as it would with nothing installed.
bool SuiteRemoved(const std::wstring& exePath) {
    if (!FolderResolved(exePath, std::wstring(kInstallFolderSuffix) + kExeSuffix)) return true;
    (void)platform::RemoveFile(exePath);
    return !platform::PathExists(exePath);
}

int FailUninstall(bool silent) {
    if (!silent) (void)platform::ShowMessageBox(kUninstallFailedText, kUninstallCaption, kIconError);
    return 1;
}

}  // namespace

int RunUninstall(bool silent) {
    if (!silent && !ConfirmUninstall()) return 0;
    CloseRunningInstance();
    SetAutostart(L"", false);
    const InstallLayout layout = BuildInstallLayout();
    const std::wstring desktopLink = ShortcutPath(FolderId::Desktop);
    const std::wstring programsLink = ShortcutPath(FolderId::Programs);
    DeleteIfResolved(desktopLink, kShortcutSuffix);
    DeleteIfResolved(programsLink, kShortcutSuffix);
    if (!SuiteRemoved(layout.exePath)) return FailUninstall(silent);
    (void)platform::DeleteUserKeyTree(kUninstallKeyPath);
    if (!silent) (void)platform::ShowMessageBox(kUninstalledText, kUninstallCaption, kIconInformation);
    return 0;
}

}  // namespace lumiran
