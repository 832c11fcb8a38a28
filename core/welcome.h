// The welcome task dialog of an interactive install.
#pragma once

#include <string>

#include "core/layout.h"
#include "platform/platform.h"

namespace lumiran {

struct InstallChoice {
    bool launchAfterInstall = true;  // silent defaults
    bool autostart = false;
};

// The dialog's configuration; its content and buttons point into the
// record's own members, so the record stays where it was built.
struct WelcomeDialog {
    WelcomeDialog() = default;
    WelcomeDialog(const WelcomeDialog&) = delete;
    WelcomeDialog& operator=(const WelcomeDialog&) = delete;

    std::wstring content;
    platform::TaskDialogButton buttons[2];
    platform::TaskDialogConfig config;
};
void BuildWelcomeDialog(platform::ModuleHandle instance, const InstallLayout& layout,
                        WelcomeDialog& dialog);

// True with choice filled when a command link was chosen; false, choice
// untouched, when the dialog was cancelled or failed.
bool ShowWelcomeDialog(platform::ModuleHandle instance, const InstallLayout& layout,
                       InstallChoice& choice);

}  // namespace lumiran
