#include <windows.h>
#include <commctrl.h>

#include "platform/win32/handles.h"

namespace platform {

static_assert(sizeof(TASKDIALOGCONFIG) == 160, "the welcome dialog passes 160 as cbSize");

TASKDIALOGCONFIG ToNative(const TaskDialogConfig& config, TASKDIALOG_BUTTON* buttons,
                          TASKDIALOG_BUTTON* radioButtons) {
    for (std::uint32_t i = 0; i < config.buttonCount; ++i) {
        buttons[i] = {config.buttons[i].id, config.buttons[i].text};
    }
    for (std::uint32_t i = 0; i < config.radioButtonCount; ++i) {
        radioButtons[i] = {config.radioButtons[i].id, config.radioButtons[i].text};
    }
    TASKDIALOGCONFIG native = {};
    native.cbSize = config.size;
    native.hwndParent = ToNative(config.parent);
    native.hInstance = ToNative(config.instance);
    native.dwFlags = static_cast<TASKDIALOG_FLAGS>(config.flags);
    native.dwCommonButtons = static_cast<TASKDIALOG_COMMON_BUTTON_FLAGS>(config.commonButtons);
    native.pszWindowTitle = config.windowTitle;
    native.pszMainIcon = MAKEINTRESOURCEW(config.mainIconId);
    native.pszMainInstruction = config.mainInstruction;
    native.pszContent = config.content;
    native.cButtons = config.buttonCount;
    native.pButtons = config.buttonCount != 0 ? buttons : nullptr;
    native.nDefaultButton = config.defaultButton;
    native.cRadioButtons = config.radioButtonCount;
    native.pRadioButtons = config.radioButtonCount != 0 ? radioButtons : nullptr;
    native.nDefaultRadioButton = config.defaultRadioButton;
    native.pszVerificationText = config.verificationText;
    native.pszExpandedInformation = config.expandedInformation;
    native.pszExpandedControlText = config.expandedControlText;
    native.pszCollapsedControlText = config.collapsedControlText;
    native.pszFooterIcon = config.footerIcon;
    native.pszFooter = config.footer;
    native.pfCallback = reinterpret_cast<PFTASKDIALOGCALLBACK>(config.callback);
    native.lpCallbackData = config.callbackData;
    native.cxWidth = config.width;
    return native;
}

TaskDialogAnswer ShowTaskDialog(const TaskDialogConfig& config, int initialButton,
                                bool initialVerification) {
    constexpr std::uint32_t kMaxButtons = 8;
    TASKDIALOG_BUTTON buttons[kMaxButtons] = {};
    TASKDIALOG_BUTTON radioButtons[kMaxButtons] = {};
    if (config.buttonCount > kMaxButtons || config.radioButtonCount > kMaxButtons) {
        return {E_INVALIDARG, 0, false};
    }
    const TASKDIALOGCONFIG native = ToNative(config, buttons, radioButtons);
    int button = initialButton;
    BOOL verified = initialVerification ? TRUE : FALSE;
    const HRESULT result = ::TaskDialogIndirect(&native, &button, nullptr, &verified);
    return {result, button, verified != FALSE};
}

}  // namespace platform
