# Sourced by the test scripts that run Windows programs under Wine (bash).
#
#   require_display      skips the test (exit 77) without an X display
#   fresh_prefix DIR     a fresh prefix from DIR's template as WINEPREFIX,
#                        exported, with its wineserver started to stay; when
#                        the script exits, the server is stopped and the
#                        prefix removed, unless LUMIRAN_KEEP_PREFIX=1 keeps it
#                        for a look; when it is killed, prefix-watchdog does
#                        the same within a second or two
#   prefix_user          the name of the prefix's one user profile
#   wait_held FILE       waits up to 20 s for a program in the background to
#                        write "held" to FILE (the e2e driver's holders)
#   server_pid           the process id of the prefix's wineserver, or nothing
#
# WINEDEBUG and WINEDLLOVERRIDES stay with each script: they differ.

require_display() {
    if [ -z "${DISPLAY:-}" ]; then
        echo "SKIP: needs an X display (run under xvfb-run)"
        exit 77
    fi
}

_prefix_cleanup() {
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    if [ "${LUMIRAN_KEEP_PREFIX:-0}" = 1 ]; then echo "prefix kept: $WINEPREFIX"; else rm -rf "$WINEPREFIX"; fi
}

fresh_prefix() {
    WINEPREFIX=$("$(dirname "${BASH_SOURCE[0]}")/wine-prefix" "$1") || exit 1
    export WINEPREFIX
    export LC_ALL=C.UTF-8  # Wine maps file names through the locale's character set
    trap _prefix_cleanup EXIT
    # One server for the whole test, as one Windows session has one: Debian
    # starts it with -p0, gone the moment no program runs, so that the next
    # program meets it shutting down or starts another, which reads the
    # registry back from disk. -p after that keeps it until the cleanup.
    wineserver -p </dev/null >/dev/null 2>&1
    # A script killed outright runs no trap: the watchdog cleans up then. It
    # is started from a subshell that ends at once, so that it is no child of
    # this script when the script's process tree is killed, and with setsid,
    # so that a signal to the script's process group misses it.
    local script=$BASHPID
    (setsid "$(dirname "${BASH_SOURCE[0]}")/prefix-watchdog" "$script" "$WINEPREFIX" </dev/null >/dev/null 2>&1 &)
}

prefix_user() {
    (cd "$WINEPREFIX/drive_c/users" && ls | grep -vx Public | head -n 1)
}

wait_held() {
    for _ in $(seq 200); do grep -q held "$1" 2>/dev/null && return 0; sleep 0.1; done
    return 1
}

# Wine finds a prefix's server through a folder named after the prefix's
# device and inode (under a temporary folder of Wine's choosing), and the
# server works in that folder.
server_pid() {
    local folder pid
    folder=server-$(stat -c '%d %i' "$WINEPREFIX" | { read -r dev ino; printf '%x-%x' "$dev" "$ino"; })
    for pid in $(pgrep -x 'wineserver(64)?'); do
        [ "$(basename "$(readlink "/proc/$pid/cwd" 2>/dev/null)")" = "$folder" ] && echo "$pid"
    done
}
