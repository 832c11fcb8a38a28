#include "core/welcome.h"

#include "core/product.h"

namespace lumiran {
namespace {

constexpr std::uint32_t kTaskDialogConfigSize = 160;   // sizeof(TASKDIALOGCONFIG) on x64
constexpr std::uint32_t kAllowCancellation = 0x0008;   // TDF_ALLOW_DIALOG_CANCELLATION
constexpr std::uint32_t kUseCommandLinks = 0x0010;     // TDF_USE_COMMAND_LINKS
constexpr std::uint32_t kCancelButton = 0x0008;        // TDCBF_CANCEL_BUTTON

}  // namespace

void BuildWelcomeDialog(platform::ModuleHandle instance, const InstallLayout& layout,
                        WelcomeDialog& dialog) {
    dialog.content = std::wstring(kWelcomeBlurb) + layout.installDir;
    dialog.buttons[0] = {IDC_INSTALL_AND_LAUNCH, kInstallAndLaunchText};
    dialog.buttons[1] = {IDC_INSTALL_ONLY, kInstallOnlyText};

    platform::TaskDialogConfig& config = dialog.config;
    config = platform::TaskDialogConfig();
    config.size = kTaskDialogConfigSize;
    config.parent = nullptr;
    config.instance = instance;
    // No TDF_VERIFICATION_FLAG_CHECKED: the autostart box starts unticked.
    config.flags = kAllowCancellation | kUseCommandLinks;
    config.commonButtons = kCancelButton;
    config.windowTitle = kWelcomeTitle;
    config.mainIconId = static_cast<std::uint16_t>(IDI_APPICON);
    config.mainInstruction = kWelcomeInstruction;
    config.content = dialog.content.c_str();
    config.buttonCount = 2;
    config.buttons = dialog.buttons;
    config.defaultButton = 0;
    config.verificationText = kAutostartCheckText;
    config.width = 0;
}

bool ShowWelcomeDialog(platform::ModuleHandle instance, const InstallLayout& layout,
                       InstallChoice& choice) {
    WelcomeDialog dialog;
    BuildWelcomeDialog(instance, layout, dialog);
    const platform::TaskDialogAnswer answer = platform::ShowTaskDialog(dialog.config, 0, false);
    if (answer.result < 0) return false;
    // Cancel, Esc and the close box all end here.
    if (answer.button != IDC_INSTALL_AND_LAUNCH && answer.button != IDC_INSTALL_ONLY) return false;
    choice.launchAfterInstall = answer.button == IDC_INSTALL_AND_LAUNCH;
    choice.autostart = answer.verificationChecked;
    return true;
}

}  // namespace lumiran
