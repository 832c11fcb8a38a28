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
    DeleteIfResolved(layout.exePath, std::wstring(kInstallFolderSuffix) + kExeSuffix);
    (void)platform::DeleteUserKeyTree(kUninstallKeyPath);
    if (!silent) (void)platform::ShowMessageBox(kUninstalledText, kUninstallCaption, kIconInformation);
    return 0;
}

}  // namespace lumiran
