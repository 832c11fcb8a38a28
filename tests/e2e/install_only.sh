#!/bin/bash
# The interactive install as a user sees it: the welcome dialog with its
# texts and the install folder, autostart ticked, then "install only". The
# completion box appears, the suite is not started, and the autostart value
# holds the quoted path of the suite.
source "$(dirname "$0")/lib.sh" "$1"

run_setup "$E2E_TMP/run.txt" &
setup=$!
expect "welcome dialog: texts" "$(drv dialog-texts)" "$(cat <<EOF
Static $(welcome_instruction "$VERSION")
Static Lumiran 是为 Windows 打造的桌面外壳套件，以更流畅的任务栏、开始菜单与窗口管理替代原生外壳：\n• 任务栏与开始菜单：分组固定、实时缩略图预览、全局应用快速搜索、自定义布局与主题配色。\n• 窗口管理：吸附分屏、多虚拟桌面、窗口置顶与透明度调节，快捷键一键整理所有窗口。\n• 效率工具：剪贴板历史、快速启动器、系统托盘与通知中心整合，并可通过插件扩展更多功能。\n\n安装目录：$WIN_INSTALL_DIR
Button 立即安装并启动 Lumiran\n安装到当前用户目录，创建桌面与开始菜单快捷方式
Button 仅安装（不立即启动）\n完成文件部署和快捷方式创建后关闭向导
Button 随 Windows 开机自动启动 Lumiran
Button Cancel
EOF
)"
check_not "nothing is written while the dialog is open" test -e "$INSTALL_DIR"
check "autostart ticked, install only chosen" drv dialog-click --verify 1002
expect "completion box: text and OK button only" "$(drv msgbox "$INSTALLED_CAPTION" ok)" \
    "$INSTALLED_TEXT"$'\n'"buttons: 1"
join $setup

expect "exit code" "$(exit_code_of "$E2E_TMP/run.txt")" 0
expect "windows: the dialog and the completion box" "$(windows_of "$E2E_TMP/run.txt")" \
    "window #32770 $WELCOME_TITLE"$'\n'"window #32770 $INSTALLED_CAPTION"
expect "the suite was not started" "$(suite_windows)" 0
expect "autostart value" "$(reg_value "$RUN_KEY" Lumiran)" \
    "REG_SZ $(( (${#WIN_EXE} + 3) * 2 )) \"$WIN_EXE\""
expect "installed files" "$(files_in "$INSTALL_DIR")" "Lumiran-Uninstall.exe Lumiran.exe"
check "Desktop shortcut" test -f "$DESKTOP_LINK"
check "Programs shortcut" test -f "$PROGRAMS_LINK"
expect "registration values" "$(drv reg-dump "$UNINSTALL_KEY" | wc -l)" 9

finish
