#!/bin/bash
# "/uninstall /S" shows no window at all and removes as much as the
# interactive uninstall, closing the running suite first. Installer and
# uninstaller have read-only delay-load tables: they bind all the same.
source "$(dirname "$0")/lib.sh" "$1"

check "a copy with read-only import sections" read_only_imports "$SETUP_EXE" "$E2E_TMP/setup.exe"
SETUP_EXE=$E2E_TMP/setup.exe

run_setup "$E2E_TMP/install.txt" /S
expect "silent install: exit code" "$(exit_code_of "$E2E_TMP/install.txt")" 0
check "installed, the suite runs" drv wait-window "$SUITE_CLASS"
drv reg-set "$RUN_KEY" Lumiran sz "\"$WIN_EXE\""

drv run "$WIN_UNINSTALLER" /uninstall /S >"$E2E_TMP/uninstall.txt"
expect "exit code" "$(exit_code_of "$E2E_TMP/uninstall.txt")" 0
expect "no window at all" "$(windows_of "$E2E_TMP/uninstall.txt")" ""
expect "the suite was closed" "$(suite_windows)" 0
check_not "autostart value gone" has_value "$RUN_KEY" Lumiran
check_not "Desktop shortcut gone" test -e "$DESKTOP_LINK"
check_not "Programs shortcut gone" test -e "$PROGRAMS_LINK"
expect "only the uninstaller is left" "$(files_in "$INSTALL_DIR")" "Lumiran-Uninstall.exe"
check_not "registration gone" has_key "$UNINSTALL_KEY"

finish
