// Every name that identifies Lumiran on the user's machine and every text
// the setup program shows, in one place.
#pragma once

#include <cstdint>

// The version, such as "2.1.0", is the build's (LUMIRAN_VERSION): a plain
// literal that the compiler joins to the texts below, so each of them is one
// fixed string with the version written into it.
#ifndef LUMIRAN_VERSION_TEXT
#error "LUMIRAN_VERSION_TEXT is given by the build (CMakeLists.txt)"
#endif

namespace lumiran {

inline constexpr const wchar_t* kProductName = L"Lumiran";
inline constexpr const wchar_t* kProductVersion = L"" LUMIRAN_VERSION_TEXT;
inline constexpr const wchar_t* kMainWindowClass = L"LumiranRenderWindow";
inline constexpr const wchar_t* kUninstallKeyPath =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumiran";
inline constexpr const wchar_t* kRunKeyPath = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// Held by the one install or uninstall that runs in the user's session.
inline constexpr const wchar_t* kSetupMutexName = L"Local\\LumiranSetup";

// Appended as they stand: each supplies exactly one separator.
inline constexpr const wchar_t* kInstallFolderSuffix = L"\\Programs\\Lumiran";
inline constexpr const wchar_t* kExeSuffix = L"\\Lumiran.exe";
inline constexpr const wchar_t* kUninstallerSuffix = L"\\Lumiran-Uninstall.exe";
inline constexpr const wchar_t* kShortcutSuffix = L"\\Lumiran.lnk";

// Resource ids, shared with resources/setup.rc.
inline constexpr int IDI_APPICON = 101;
inline constexpr int IDR_PAYLOAD = 201;

// Welcome dialog command links.
inline constexpr int IDC_INSTALL_AND_LAUNCH = 1001;
inline constexpr int IDC_INSTALL_ONLY = 1002;

// Shortcut description: product name, " - ", a 15-character tagline.
inline constexpr const wchar_t* kShortcutDescription = L"Lumiran - 轻盈高效的桌面外壳与效率工具集";

// Welcome dialog texts. The blurb ends with the install-folder label; the
// folder itself is appended at run time.
inline constexpr const wchar_t* kWelcomeTitle = L"安装 Lumiran v" LUMIRAN_VERSION_TEXT;
inline constexpr const wchar_t* kWelcomeInstruction = L"欢迎安装 Lumiran v" LUMIRAN_VERSION_TEXT;
inline constexpr const wchar_t* kWelcomeBlurb =
    L"Lumiran 是为 Windows 打造的桌面外壳套件，以更流畅的任务栏、开始菜单与窗口管理替代原生外壳："
    L"\n• 任务栏与开始菜单：分组固定、实时缩略图预览、全局应用快速搜索、自定义布局与主题配色。"
    L"\n• 窗口管理：吸附分屏、多虚拟桌面、窗口置顶与透明度调节，快捷键一键整理所有窗口。"
    L"\n• 效率工具：剪贴板历史、快速启动器、系统托盘与通知中心整合，并可通过插件扩展更多功能。"
    L"\n\n安装目录：";
inline constexpr const wchar_t* kInstallAndLaunchText =
    L"立即安装并启动 Lumiran\n安装到当前用户目录，创建桌面与开始菜单快捷方式";
inline constexpr const wchar_t* kInstallOnlyText =
    L"仅安装（不立即启动）\n完成文件部署和快捷方式创建后关闭向导";
inline constexpr const wchar_t* kAutostartCheckText = L"随 Windows 开机自动启动 Lumiran";

// Message boxes, each with its style: none has an owner window.
inline constexpr std::uint32_t kIconError = 0x10;        // MB_OK | MB_ICONERROR
inline constexpr std::uint32_t kIconInformation = 0x40;  // MB_OK | MB_ICONINFORMATION
inline constexpr std::uint32_t kYesNoQuestion = 0x24;    // MB_YESNO | MB_ICONQUESTION
inline constexpr std::uint32_t kIconWarning = 0x30;      // MB_OK | MB_ICONWARNING
inline constexpr int kIdYes = 6;
inline constexpr const wchar_t* kInstallFailedCaption = L"Lumiran 安装失败";
inline constexpr const wchar_t* kInstallFailedText =
    L"无法写入 Lumiran.exe，请先关闭正在运行的 Lumiran 后重试。";
inline constexpr const wchar_t* kNoLocalAppDataText =
    L"无法确定当前用户的 LocalAppData 文件夹，Lumiran 未安装。";
inline constexpr const wchar_t* kInstalledCaption = L"安装完成";
inline constexpr const wchar_t* kInstalledText =
    L"Lumiran v" LUMIRAN_VERSION_TEXT L" 已成功安装！可从桌面或开始菜单启动。";
inline constexpr const wchar_t* kUninstallCaption = L"卸载 Lumiran";
inline constexpr const wchar_t* kUninstallConfirmText =
    L"确定要卸载 Lumiran 吗？（将自动恢复 Windows 原生任务栏）";
inline constexpr const wchar_t* kUninstalledText = L"Lumiran 已安全卸载完成。";
inline constexpr const wchar_t* kUninstallFailedText =
    L"无法删除 Lumiran.exe，请先关闭正在运行的 Lumiran 后重试。";

// Another run holds the setup lock; shown under the caption of this run's mode.
inline constexpr const wchar_t* kSetupBusyText =
    L"另一个 Lumiran 安装或卸载程序正在运行，请等它结束后再试。";
// The exit code of a run refused for that: ERROR_INSTALL_ALREADY_RUNNING,
// which deployment tools (Intune, Configuration Manager, winget) retry.
inline constexpr int kExitSetupBusy = 1618;

// This run's account is not the session's user: it would install for an
// account nobody sits at. Shown under the caption of this run's mode, the
// text, then each label followed by its account (DOMAIN\name), then the advice.
inline constexpr const wchar_t* kOtherAccountText =
    L"此 Lumiran 安装程序正以另一个帐户运行，不会为当前登录的用户安装或卸载 Lumiran。";
inline constexpr const wchar_t* kOtherAccountRunAsLabel = L"\n\n运行帐户：";
inline constexpr const wchar_t* kOtherAccountSessionLabel = L"\n当前登录的用户：";
inline constexpr const wchar_t* kOtherAccountAdvice =
    L"\n\n请以当前登录的用户身份直接启动它，不要选择“以管理员身份运行”。";
// The exit code of a run refused for that, in either mode: ERROR_NOT_SUPPORTED.
// Neither success nor a reason to retry for a deployment tool: the run needs
// another context (the user's own), not another try.
inline constexpr int kExitOtherAccount = 50;

}  // namespace lumiran
