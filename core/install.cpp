#include "core/modes.h"
#include "core/layout.h"
#include "core/payload.h"
#include "core/product.h"
#include "core/registry.h"
#include "core/shortcut.h"
#include "core/shutdown.h"
#include "core/welcome.h"

namespace lumiran {
namespace {

constexpr std::uint32_t kModulePathChars = 520;
constexpr int kShowNormal = 1;                    // SW_SHOWNORMAL
constexpr const wchar_t* kZoneIdentifierStream = L":Zone.Identifier";

void CopySelfTo(const std::wstring& uninstallerPath) {
    wchar_t modulePath[kModulePathChars] = {};
    const std::uint32_t length = platform::GetOwnModulePath(modulePath, kModulePathChars);
    // No path, or one cut short at the end of the buffer: there is nothing
    // sound to copy from.
    if (length == 0 || length >= kModulePathChars) return;
    // CopyFileW refuses to replace a read-only file, so an uninstaller made
    // read-only by an earlier copy, a user or a tool would otherwise stay
    // old for good. Usually there is nothing there yet to change.
    (void)platform::ClearFileAttributes(uninstallerPath);
    // Replaces an older uninstaller; when run from the install folder this
    // targets the running file itself and fails harmlessly.
    if (!platform::CopyFileTo(modulePath, uninstallerPath, false)) return;
    // CopyFileW carries the attributes and every stream over. A read-only
    // installer (on a disc image, or a file marked so) would leave a
    // read-only uninstaller; a downloaded one its Mark of the Web, and Windows
    // would then warn about a download whenever the uninstall starts.
    // The data stays the installer's, signature included. Either result may
    // fail for the usual reason: nothing to change.
    (void)platform::ClearFileAttributes(uninstallerPath);
    (void)platform::RemoveFile(uninstallerPath + kZoneIdentifierStream);
}

void CreateShortcutIn(FolderId folder, const std::wstring& exePath) {
    const std::wstring shortcutPath = ShortcutPath(folder);
    if (!FolderResolved(shortcutPath, kShortcutSuffix)) return;
    (void)CreateShortcut(shortcutPath, exePath, kShortcutDescription);
}

int FailInstall(bool silent, const wchar_t* text) {
    if (!silent) (void)platform::ShowMessageBox(text, kInstallFailedCaption, kIconError);
    return 1;
}

}  // namespace

int RunInstall(platform::ModuleHandle instance, bool silent) {
    const InstallLayout layout = BuildInstallLayout();
    // Without LocalAppData the layout would point at the drive root, outside
    // the user's profile: install nothing there.
    if (!FolderResolved(layout.installDir, kInstallFolderSuffix)) return FailInstall(silent, kNoLocalAppDataText);
    InstallChoice choice;
    if (!silent && !ShowWelcomeDialog(instance, layout, choice)) return 0;
    CloseRunningInstance();
    if (!ExtractPayload(instance, layout.exePath)) return FailInstall(silent, kInstallFailedText);
    CopySelfTo(layout.uninstallerPath);
    CreateShortcutIn(FolderId::Desktop, layout.exePath);
    CreateShortcutIn(FolderId::Programs, layout.exePath);
    SetAutostart(layout.exePath, choice.autostart);
    WriteUninstallEntry(layout);
    if (choice.launchAfterInstall) {
        (void)platform::ShellExecuteFile(L"open", layout.exePath, nullptr, layout.installDir, kShowNormal);
    } else {
        (void)platform::ShowMessageBox(kInstalledText, kInstalledCaption, kIconInformation);
    }
    return 0;
}

}  // namespace lumiran
