#!/bin/bash
# "Install and start now" without ticking autostart: the suite is started,
# no completion box appears, and an autostart value from before is removed.
source "$(dirname "$0")/lib.sh" "$1"

drv reg-set "$RUN_KEY" Lumiran sz "\"$WIN_EXE\""
check "an autostart value is there before" has_value "$RUN_KEY" Lumiran

run_setup "$E2E_TMP/run.txt" &
setup=$!
check "install and start chosen" drv dialog-click 1001
join $setup

expect "exit code" "$(exit_code_of "$E2E_TMP/run.txt")" 0
expect "the only window was the welcome dialog" "$(windows_of "$E2E_TMP/run.txt")" \
    "window #32770 $WELCOME_TITLE"
check "the suite is running" drv wait-window "$SUITE_CLASS"
expect "one suite" "$(suite_windows)" 1
check_not "the autostart value is gone" has_value "$RUN_KEY" Lumiran
expect "installed files" "$(files_in "$INSTALL_DIR")" "Lumiran-Uninstall.exe Lumiran.exe"
check "registration written" has_value "$UNINSTALL_KEY" UninstallString

finish
