#!/bin/bash
# Cancelling the welcome dialog, by its Cancel button after ticking autostart
# or by its close box, ends the install with 0 before anything happens: a
# running suite keeps running and nothing is written to disk or registry.
source "$(dirname "$0")/lib.sh" "$1"

cp "$SUITE_EXE" "$E2E_TMP/Lumiran.exe"
drv reg-set "$RUN_KEY" Lumiran sz '"C:\elsewhere\Lumiran.exe"'
check "a suite is running" start_suite "$WIN_TMP\\Lumiran.exe" running
run_before=$(drv reg-dump "$RUN_KEY")
desktop_before=$(files_in "$PROFILE/Desktop")

nothing_changed() {
    expect "$1: exit code" "$(exit_code_of "$E2E_TMP/$1.txt")" 0
    expect "$1: the suite still runs" "$(suite_windows running)" 1
    check_not "$1: no install folder" test -e "$INSTALL_DIR/.."
    expect "$1: Desktop unchanged" "$(files_in "$PROFILE/Desktop")" "$desktop_before"
    check_not "$1: no Programs shortcut" test -e "$PROGRAMS_LINK"
    check_not "$1: no registration" has_key "$UNINSTALL_KEY"
    expect "$1: Run key unchanged" "$(drv reg-dump "$RUN_KEY")" "$run_before"
}

run_setup "$E2E_TMP/cancel.txt" &
setup=$!
check "autostart ticked, then Cancel" drv dialog-click --verify 2
join $setup
nothing_changed cancel

run_setup "$E2E_TMP/close-box.txt" &
setup=$!
check "dialog closed by its close box" drv dialog-close
join $setup
nothing_changed close-box

finish
