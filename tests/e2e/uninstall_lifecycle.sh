#!/bin/bash
# Install, then uninstall as the list of installed programs does it: its
# "UninstallString" run as it stands, confirmed with Yes. The running suite
# (one that ends a while after its window has gone) is closed first and its
# process waited for; the autostart value, both shortcuts, Lumiran.exe and the
# registration key (with what others added to it) go; the install folder and
# Lumiran-Uninstall.exe stay. A new install afterwards works as the first.
# An uninstall and an install started together leave the suite either
# installed and registered or neither.
source "$(dirname "$0")/lib.sh" "$1"

run_setup "$E2E_TMP/install.txt" /S
check "installed, the suite runs" drv wait-window "$SUITE_CLASS"
drv close-window "$SUITE_CLASS"
check "the suite runs again, slow to end" start_suite "$WIN_EXE" lingering --exit-delay=800
drv reg-set "$RUN_KEY" Lumiran sz "\"$WIN_EXE\""
drv reg-set "$UNINSTALL_KEY" Comments sz "foreign value"
drv reg-set "$UNINSTALL_KEY\\Extra" Note sz "foreign subkey"
check "foreign subkey there" has_key "$UNINSTALL_KEY\\Extra"

uninstall_string=$(reg_value "$UNINSTALL_KEY" UninstallString | cut -d' ' -f3-)
if [[ $uninstall_string =~ ^\"([^\"]+)\"\ (.*)$ ]]; then
    expect "UninstallString: the quoted uninstaller" "${BASH_REMATCH[1]}" "$WIN_UNINSTALLER"
    expect "UninstallString: its argument" "${BASH_REMATCH[2]}" "/uninstall"
else
    not_ok "UninstallString is a quoted program and its argument: $uninstall_string"
fi

drv run-line "$uninstall_string" >"$E2E_TMP/uninstall.txt" &
uninstall=$!
expect "confirmation: text, Yes and No" "$(drv msgbox "$UNINSTALL_CAPTION" yes)" \
    "$UNINSTALL_CONFIRM_TEXT"$'\n'"buttons: 6 7"
expect "completion: text, OK only" "$(drv msgbox "$UNINSTALL_CAPTION" ok)" \
    "$UNINSTALLED_TEXT"$'\n'"buttons: 1"
join $uninstall

expect "exit code" "$(exit_code_of "$E2E_TMP/uninstall.txt")" 0
expect "the two boxes were its only windows" "$(windows_of "$E2E_TMP/uninstall.txt")" \
    "window #32770 $UNINSTALL_CAPTION"$'\n'"window #32770 $UNINSTALL_CAPTION"
expect "the suite was closed" "$(suite_windows)" 0
check_not "autostart value gone" has_value "$RUN_KEY" Lumiran
check_not "Desktop shortcut gone" test -e "$DESKTOP_LINK"
check_not "Programs shortcut gone" test -e "$PROGRAMS_LINK"
expect "install folder left with the uninstaller only" "$(files_in "$INSTALL_DIR")" "Lumiran-Uninstall.exe"
check_not "registration key gone, foreign value and subkey with it" has_key "$UNINSTALL_KEY"
check "the Run key itself stays" has_key "$RUN_KEY"

run_setup "$E2E_TMP/again.txt" /S
expect "install again: exit code" "$(exit_code_of "$E2E_TMP/again.txt")" 0
expect "install again: files" "$(files_in "$INSTALL_DIR")" "Lumiran-Uninstall.exe Lumiran.exe"
check "install again: Desktop shortcut" test -f "$DESKTOP_LINK"
check "install again: Programs shortcut" test -f "$PROGRAMS_LINK"
expect "install again: registration" "$(drv reg-dump "$UNINSTALL_KEY" | wc -l)" 9
check "install again: the suite runs" drv wait-window "$SUITE_CLASS"

# Whichever comes first, the other finds it done or is refused.
codes=$(run_together mixed "\"$WIN_UNINSTALLER\" /uninstall /S" "\"$SETUP_EXE\" /S")
check "uninstall and install together: one went ahead ($codes)" one_went_ahead "$codes"
installed=$(test -e "$INSTALL_DIR/Lumiran.exe" && echo yes)
expect "uninstall and install together: Lumiran.exe there exactly when registered" \
    "$installed" "$(has_key "$UNINSTALL_KEY" && echo yes)"
sleep 1
expect "uninstall and install together: a suite runs exactly when installed" \
    "$(suite_windows)" "$([ -n "$installed" ] && echo 1 || echo 0)"

finish
