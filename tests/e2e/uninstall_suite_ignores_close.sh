#!/bin/bash
# A suite that ignores the request to close keeps Lumiran.exe in use: after
# the bounded wait the uninstall removes everything else all the same and
# still reports completion.
source "$(dirname "$0")/lib.sh" "$1"

install_quietly
drv reg-set "$RUN_KEY" Lumiran sz "\"$WIN_EXE\""
check "the installed suite runs, ignoring requests to close" start_suite "$WIN_EXE" stubborn --ignore-close

drv run "$WIN_UNINSTALLER" /uninstall >"$E2E_TMP/uninstall.txt" &
uninstall=$!
drv msgbox "$UNINSTALL_CAPTION" yes >/dev/null
started=$(date +%s%N)
expect "completion box all the same" "$(drv msgbox "$UNINSTALL_CAPTION" ok | head -n 1)" "$UNINSTALLED_TEXT"
waited_ms=$(( ($(date +%s%N) - started) / 1000000 ))
join $uninstall

expect "exit code" "$(exit_code_of "$E2E_TMP/uninstall.txt")" 0
check "it waited for the suite, about 2 s ($waited_ms ms)" test "$waited_ms" -ge 1500
expect "the suite still runs" "$(suite_windows stubborn)" 1
expect "Lumiran.exe stays, in use" "$(files_in "$INSTALL_DIR")" "Lumiran-Uninstall.exe Lumiran.exe"
check_not "autostart value gone" has_value "$RUN_KEY" Lumiran
check_not "Desktop shortcut gone" test -e "$DESKTOP_LINK"
check_not "Programs shortcut gone" test -e "$PROGRAMS_LINK"
check_not "registration gone" has_key "$UNINSTALL_KEY"

finish
