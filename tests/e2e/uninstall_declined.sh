#!/bin/bash
# Answering No to the confirmation ends the uninstall with 0 and no further
# box; the running suite keeps running and every file and value stays.
source "$(dirname "$0")/lib.sh" "$1"

run_setup "$E2E_TMP/install.txt" /S
check "installed, the suite runs" drv wait-window "$SUITE_CLASS"
drv reg-set "$RUN_KEY" Lumiran sz "\"$WIN_EXE\""
registration_before=$(drv reg-dump "$UNINSTALL_KEY")
run_before=$(drv reg-dump "$RUN_KEY")

drv run "$WIN_UNINSTALLER" /uninstall >"$E2E_TMP/uninstall.txt" &
uninstall=$!
expect "confirmation answered No" "$(drv msgbox "$UNINSTALL_CAPTION" no | head -n 1)" "$UNINSTALL_CONFIRM_TEXT"
join $uninstall

expect "exit code" "$(exit_code_of "$E2E_TMP/uninstall.txt")" 0
expect "no second box" "$(windows_of "$E2E_TMP/uninstall.txt")" "window #32770 $UNINSTALL_CAPTION"
expect "the suite still runs" "$(suite_windows)" 1
expect "files stay" "$(files_in "$INSTALL_DIR")" "Lumiran-Uninstall.exe Lumiran.exe"
check "Desktop shortcut stays" test -f "$DESKTOP_LINK"
check "Programs shortcut stays" test -f "$PROGRAMS_LINK"
expect "registration unchanged" "$(drv reg-dump "$UNINSTALL_KEY")" "$registration_before"
expect "Run key unchanged" "$(drv reg-dump "$RUN_KEY")" "$run_before"

finish
