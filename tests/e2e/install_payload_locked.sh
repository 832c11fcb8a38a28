#!/bin/bash
# Lumiran.exe held open by another program without write sharing: the
# payload can't be written, so the install fails with exit code 1, silently
# under /S and with the error box otherwise, and none of the later steps
# runs: no uninstaller, no shortcut, no registration, no autostart change.
# When another install or uninstall holds the setup lock (or one elevated,
# whose mutex this run may not open), the run refuses before its welcome
# dialog, with a box of its own, and exits with 1618.
# Once both are let go, two installs started together end in one whole
# install with one suite.
source "$(dirname "$0")/lib.sh" "$1"

mkdir -p "$INSTALL_DIR"
echo "an older Lumiran.exe" >"$INSTALL_DIR/Lumiran.exe"
cp "$INSTALL_DIR/Lumiran.exe" "$E2E_TMP/old-exe"
drv reg-set "$RUN_KEY" Lumiran sz '"C:\old place\Lumiran.exe"'
run_before=$(drv reg-dump "$RUN_KEY")

check "Lumiran.exe is held open" hold "$E2E_TMP/hold.txt" hold-open "$WIN_EXE" 60

nothing_written() {
    check "$1: the held file is unchanged" cmp -s "$INSTALL_DIR/Lumiran.exe" "$E2E_TMP/old-exe"
    expect "$1: no uninstaller" "$(files_in "$INSTALL_DIR")" "Lumiran.exe"
    check_not "$1: no Desktop shortcut" test -e "$DESKTOP_LINK"
    check_not "$1: no Programs shortcut" test -e "$PROGRAMS_LINK"
    check_not "$1: no registration" has_key "$UNINSTALL_KEY"
    expect "$1: autostart value unchanged" "$(drv reg-dump "$RUN_KEY")" "$run_before"
    expect "$1: no suite started" "$(suite_windows)" 0
}

run_setup "$E2E_TMP/silent.txt" /S
expect "silent: exit code" "$(exit_code_of "$E2E_TMP/silent.txt")" 1
expect "silent: no window" "$(windows_of "$E2E_TMP/silent.txt")" ""
nothing_written silent

run_setup "$E2E_TMP/interactive.txt" &
setup=$!
check "interactive: autostart ticked, install only" drv dialog-click --verify 1002
expect "interactive: the error box" "$(drv msgbox "$INSTALL_FAILED_CAPTION" ok)" \
    "$INSTALL_FAILED_TEXT"$'\n'"buttons: 1"
join $setup
expect "interactive: exit code" "$(exit_code_of "$E2E_TMP/interactive.txt")" 1
expect "interactive: no completion box" "$(windows_of "$E2E_TMP/interactive.txt")" \
    "window #32770 $WELCOME_TITLE"$'\n'"window #32770 $INSTALL_FAILED_CAPTION"
nothing_written interactive
let_go

check "the setup lock is held" hold_setup_lock
run_setup "$E2E_TMP/lock-silent.txt" /S
expect "lock held, silent: exit code" "$(exit_code_of "$E2E_TMP/lock-silent.txt")" 1618
expect "lock held, silent: no window" "$(windows_of "$E2E_TMP/lock-silent.txt")" ""
run_setup "$E2E_TMP/lock-interactive.txt" &
setup=$!
expect "lock held, interactive: the box says why" "$(drv msgbox "$INSTALL_FAILED_CAPTION" ok)" \
    "$SETUP_BUSY_TEXT"$'\n'"buttons: 1"
join $setup
expect "lock held, interactive: exit code" "$(exit_code_of "$E2E_TMP/lock-interactive.txt")" 1618
expect "lock held, interactive: that box and no welcome dialog" \
    "$(windows_of "$E2E_TMP/lock-interactive.txt")" "window #32770 $INSTALL_FAILED_CAPTION"
nothing_written "lock held"
let_go

# An elevated run's mutex, which this run may not open: held all the same.
check "the setup lock is held out of reach" hold_setup_lock sync-only
run_setup "$E2E_TMP/lock-denied.txt" /S
expect "lock out of reach: exit code" "$(exit_code_of "$E2E_TMP/lock-denied.txt")" 1618
nothing_written "lock out of reach"
let_go

codes=$(run_together fresh "\"$SETUP_EXE\" /S" "\"$SETUP_EXE\" /S")
check "let go, two installs together: one went ahead ($codes)" one_went_ahead "$codes"
one_whole_install "let go, two installs together"

finish
