#!/bin/bash
# A silent reinstall while the installed suite runs: the suite is asked to
# close, and only once it is gone is its file rewritten (a file still in use
# could not be); the new suite is started and the old one is gone. Like the
# real suite, the old one takes its window down at once and ends a while
# later: the install waits for its process, not only for the window. Two
# installs started together over the new suite end with one suite again.
source "$(dirname "$0")/lib.sh" "$1"

install_quietly
check "the installed suite runs" start_suite "$WIN_EXE" old --exit-delay=800
written_before=$(stat -c %y "$INSTALL_DIR/Lumiran.exe")

run_setup "$E2E_TMP/reinstall.txt" /S
expect "exit code" "$(exit_code_of "$E2E_TMP/reinstall.txt")" 0
expect "no window of the installer" "$(windows_of "$E2E_TMP/reinstall.txt")" ""
expect "the old suite is gone" "$(suite_windows old)" 0
check "the new suite runs" drv wait-window "$SUITE_CLASS" Lumiran
check_not "Lumiran.exe was rewritten" test "$(stat -c %y "$INSTALL_DIR/Lumiran.exe")" = "$written_before"
check "Lumiran.exe is the payload" cmp -s "$INSTALL_DIR/Lumiran.exe" "$SUITE_EXE"

codes=$(run_together upgrade "\"$SETUP_EXE\" /S" "\"$SETUP_EXE\" /S")
check "two installs together: one went ahead ($codes)" one_went_ahead "$codes"
one_whole_install "two installs together"

finish
