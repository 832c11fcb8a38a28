#!/bin/bash
# A suite that ignores the request to close keeps Lumiran.exe in use: after
# the bounded wait the uninstall removes everything else all the same, but
# says it could not remove the suite, keeps the registration and exits with
# 1. Once the suite is gone, the uninstall run again finishes the job.
source "$(dirname "$0")/lib.sh" "$1"

install_quietly
drv reg-set "$RUN_KEY" Lumiran sz "\"$WIN_EXE\""
check "the installed suite runs, ignoring requests to close" start_suite "$WIN_EXE" stubborn --ignore-close

drv run "$WIN_UNINSTALLER" /uninstall >"$E2E_TMP/uninstall.txt" &
uninstall=$!
drv msgbox "$UNINSTALL_CAPTION" yes >/dev/null
started=$(date +%s%N)
expect "failure box: text, OK only" "$(drv msgbox "$UNINSTALL_CAPTION" ok)" \
    "$UNINSTALL_FAILED_TEXT"$'\n'"buttons: 1"
waited_ms=$(( ($(date +%s%N) - started) / 1000000 ))
join $uninstall

expect "exit code" "$(exit_code_of "$E2E_TMP/uninstall.txt")" 1
check "it waited for the suite, about 2 s ($waited_ms ms)" test "$waited_ms" -ge 1500
expect "the suite still runs" "$(suite_windows stubborn)" 1
expect "Lumiran.exe stays, in use" "$(files_in "$INSTALL_DIR")" "Lumiran-Uninstall.exe Lumiran.exe"
check_not "autostart value gone" has_value "$RUN_KEY" Lumiran
check_not "Desktop shortcut gone" test -e "$DESKTOP_LINK"
check_not "Programs shortcut gone" test -e "$PROGRAMS_LINK"
expect "registration kept, all nine values" "$(drv reg-dump "$UNINSTALL_KEY" | wc -l)" 9

drv run "$WIN_UNINSTALLER" /uninstall /S >"$E2E_TMP/silent.txt"
expect "silent, still running: exit code" "$(exit_code_of "$E2E_TMP/silent.txt")" 1
expect "silent, still running: no window" "$(windows_of "$E2E_TMP/silent.txt")" ""
check "silent, still running: registration kept" has_key "$UNINSTALL_KEY"

check "the stubborn suite is ended by force" "$WINE" taskkill /f /im Lumiran.exe
drv wait-gone "$SUITE_CLASS" stubborn >/dev/null 2>&1
drv run-line "$(reg_value "$UNINSTALL_KEY" UninstallString | cut -d' ' -f3-) /S" >"$E2E_TMP/again.txt"
expect "once the suite is gone: exit code" "$(exit_code_of "$E2E_TMP/again.txt")" 0
expect "once the suite is gone: Lumiran.exe removed" "$(files_in "$INSTALL_DIR")" "Lumiran-Uninstall.exe"
check_not "once the suite is gone: registration removed" has_key "$UNINSTALL_KEY"

finish
