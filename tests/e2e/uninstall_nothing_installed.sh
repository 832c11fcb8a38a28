#!/bin/bash
# An uninstall where nothing is installed finds nothing to remove, still
# confirms the completion and ends with 0; it creates no install folder.
source "$(dirname "$0")/lib.sh" "$1"

cp "$SETUP_EXE" "$E2E_TMP/Lumiran-Setup.exe"
drv run "$WIN_TMP\\Lumiran-Setup.exe" /uninstall >"$E2E_TMP/uninstall.txt" &
uninstall=$!
drv msgbox "$UNINSTALL_CAPTION" yes >/dev/null
expect "completion box" "$(drv msgbox "$UNINSTALL_CAPTION" ok | head -n 1)" "$UNINSTALLED_TEXT"
join $uninstall
expect "exit code" "$(exit_code_of "$E2E_TMP/uninstall.txt")" 0
check_not "no install folder made" test -e "$INSTALL_DIR"
check_not "no registration made" has_key "$UNINSTALL_KEY"

finish
