#!/bin/bash
# One install or uninstall at a time in the user's session. While another
# run holds the setup lock (here the driver), an install or uninstall refuses
# at once with exit code 1 and changes nothing, and unless silent says why;
# once the lock is let go the next run goes ahead. Runs started together end
# in one whole installation, or none, with at most one suite.
source "$(dirname "$0")/lib.sh" "$1"

BUSY_TEXT='另一个 Lumiran 安装或卸载程序正在运行，请等它结束后再试。'

hold_lock() {
    "$WINE" "$DRIVER_EXE" hold-mutex 'Local\LumiranSetup' 120 >"$E2E_TMP/lock.txt" &
    LOCK_HOLDER=$!
    for _ in $(seq 100); do grep -q held "$E2E_TMP/lock.txt" 2>/dev/null && break; sleep 0.1; done
    grep -q held "$E2E_TMP/lock.txt"
}
# Killed, the driver leaves the mutex abandoned or, with no handle left, gone.
release_lock() {
    kill "$LOCK_HOLDER" 2>/dev/null
    wait "$LOCK_HOLDER" 2>/dev/null
    true
}
# Two runs started at the same moment; their exit codes as "A B".
run_together() {  # run_together NAME ARGS_A -- ARGS_B
    local name=$1 a b
    shift
    local -a first=()
    while [ "$1" != -- ]; do first+=("$1"); shift; done
    shift
    drv run "${first[@]}" >"$E2E_TMP/$name-a.txt" &
    a=$!
    drv run "$@" >"$E2E_TMP/$name-b.txt" &
    b=$!
    join $a $b
    echo "$(exit_code_of "$E2E_TMP/$name-a.txt") $(exit_code_of "$E2E_TMP/$name-b.txt")"
}
# Each run either did its work or was refused, and at least one did it.
one_went_ahead() {
    case $1 in "0 0" | "0 1" | "1 0") return 0 ;; *) return 1 ;; esac
}
installed_whole() {
    check "$1: Lumiran.exe is the payload" cmp -s "$INSTALL_DIR/Lumiran.exe" "$SUITE_EXE"
    check "$1: the uninstaller is the setup program" cmp -s "$INSTALL_DIR/Lumiran-Uninstall.exe" "$SETUP_EXE"
    expect "$1: the nine registration values" "$(drv reg-dump "$UNINSTALL_KEY" | wc -l)" 9
    check "$1: the suite runs" drv wait-window "$SUITE_CLASS"
    sleep 1  # a second suite, had one been started, has its window by now
    expect "$1: exactly one suite runs" "$(suite_windows)" 1
}

check "the driver holds the setup lock" hold_lock

run_setup "$E2E_TMP/silent.txt" /S
expect "silent install, lock held: exit code" "$(exit_code_of "$E2E_TMP/silent.txt")" 1
expect "silent install, lock held: no window" "$(windows_of "$E2E_TMP/silent.txt")" ""

run_setup "$E2E_TMP/interactive.txt" &
setup=$!
expect "interactive install, lock held: the box says why" "$(drv msgbox "$INSTALL_FAILED_CAPTION" ok)" \
    "$BUSY_TEXT"$'\n'"buttons: 1"
join $setup
expect "interactive install, lock held: exit code" "$(exit_code_of "$E2E_TMP/interactive.txt")" 1
expect "interactive install, lock held: that box and no welcome dialog" \
    "$(windows_of "$E2E_TMP/interactive.txt")" "window #32770 $INSTALL_FAILED_CAPTION"

check_not "lock held: no install folder" test -e "$INSTALL_DIR"
check_not "lock held: no registration" has_key "$UNINSTALL_KEY"
check_not "lock held: no Desktop shortcut" test -e "$DESKTOP_LINK"
expect "lock held: no suite" "$(suite_windows)" 0

release_lock
codes=$(run_together fresh "$SETUP_EXE" /S -- "$SETUP_EXE" /S)
check "two silent installs together: one went ahead ($codes)" one_went_ahead "$codes"
installed_whole "two silent installs together"

check "the driver holds the setup lock again" hold_lock
registration=$(drv reg-dump "$UNINSTALL_KEY")
drv run "$WIN_UNINSTALLER" /uninstall /S >"$E2E_TMP/uninstall-silent.txt"
expect "silent uninstall, lock held: exit code" "$(exit_code_of "$E2E_TMP/uninstall-silent.txt")" 1
expect "silent uninstall, lock held: no window" "$(windows_of "$E2E_TMP/uninstall-silent.txt")" ""
drv run "$WIN_UNINSTALLER" /uninstall >"$E2E_TMP/uninstall.txt" &
setup=$!
expect "uninstall, lock held: the box says why instead of asking" "$(drv msgbox "$UNINSTALL_CAPTION" ok)" \
    "$BUSY_TEXT"$'\n'"buttons: 1"
join $setup
expect "uninstall, lock held: exit code" "$(exit_code_of "$E2E_TMP/uninstall.txt")" 1
expect "uninstall, lock held: the suite still runs" "$(suite_windows)" 1
check "uninstall, lock held: Lumiran.exe is there" cmp -s "$INSTALL_DIR/Lumiran.exe" "$SUITE_EXE"
expect "uninstall, lock held: the registration is intact" "$(drv reg-dump "$UNINSTALL_KEY")" "$registration"
check "uninstall, lock held: the shortcuts are there" test -f "$DESKTOP_LINK" -a -f "$PROGRAMS_LINK"
release_lock

codes=$(run_together upgrade "$SETUP_EXE" /S -- "$SETUP_EXE" /S)
check "two silent installs over the running suite: one went ahead ($codes)" one_went_ahead "$codes"
installed_whole "two silent installs over the running suite"

# Whichever comes first, the other one finds it done or is refused: never a
# registration without the suite, or the suite without a registration.
codes=$(run_together mixed "$WIN_UNINSTALLER" /uninstall /S -- "$SETUP_EXE" /S)
check "uninstall and install together: one went ahead ($codes)" one_went_ahead "$codes"
expect "uninstall and install together: Lumiran.exe there exactly when registered" \
    "$(test -e "$INSTALL_DIR/Lumiran.exe" && echo installed)" "$(has_key "$UNINSTALL_KEY" && echo installed)"
sleep 1
expect "uninstall and install together: a suite runs exactly when installed" \
    "$(suite_windows)" "$(test -e "$INSTALL_DIR/Lumiran.exe" && echo 1 || echo 0)"

finish
