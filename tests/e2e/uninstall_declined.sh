#!/bin/bash
# Answering No to the confirmation ends the uninstall with 0 and no further
# box; the running suite keeps running and every file and value stays. So
# does an uninstall while another run holds the setup lock: it ends with 1618,
# silently under /S and otherwise with a box that says why instead of the
# confirmation.
source "$(dirname "$0")/lib.sh" "$1"

run_setup "$E2E_TMP/install.txt" /S
check "installed, the suite runs" drv wait-window "$SUITE_CLASS"
drv reg-set "$RUN_KEY" Lumiran sz "\"$WIN_EXE\""
registration_before=$(drv reg-dump "$UNINSTALL_KEY")
run_before=$(drv reg-dump "$RUN_KEY")

check "the setup lock is held" hold_setup_lock
drv run "$WIN_UNINSTALLER" /uninstall /S >"$E2E_TMP/lock-silent.txt"
expect "lock held, silent: exit code" "$(exit_code_of "$E2E_TMP/lock-silent.txt")" 1618
expect "lock held, silent: no window" "$(windows_of "$E2E_TMP/lock-silent.txt")" ""
drv run "$WIN_UNINSTALLER" /uninstall >"$E2E_TMP/lock-interactive.txt" &
uninstall=$!
expect "lock held, interactive: the box says why" "$(drv msgbox "$UNINSTALL_CAPTION" ok)" \
    "$SETUP_BUSY_TEXT"$'\n'"buttons: 1"
join $uninstall
expect "lock held, interactive: exit code" "$(exit_code_of "$E2E_TMP/lock-interactive.txt")" 1618
let_go

drv run "$WIN_UNINSTALLER" /uninstall >"$E2E_TMP/uninstall.txt" &
uninstall=$!
expect "confirmation answered No" "$(drv msgbox "$UNINSTALL_CAPTION" no | head -n 1)" "$UNINSTALL_CONFIRM_TEXT"
join $uninstall

expect "exit code" "$(exit_code_of "$E2E_TMP/uninstall.txt")" 0
expect "no second box" "$(windows_of "$E2E_TMP/uninstall.txt")" "window #32770 $UNINSTALL_CAPTION"
# After the two refused runs and the declined one.
expect "the suite still runs" "$(suite_windows)" 1
expect "files stay" "$(files_in "$INSTALL_DIR")" "Lumiran-Uninstall.exe Lumiran.exe"
check "Desktop shortcut stays" test -f "$DESKTOP_LINK"
check "Programs shortcut stays" test -f "$PROGRAMS_LINK"
expect "registration unchanged" "$(drv reg-dump "$UNINSTALL_KEY")" "$registration_before"
expect "Run key unchanged" "$(drv reg-dump "$RUN_KEY")" "$run_before"

finish
