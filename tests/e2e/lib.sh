# Shared by the end-to-end scenarios; sourced with the build directory as $1.
#
# Gives every scenario a fresh Wine prefix of its own, the driver (tests/e2e/
# driver.cpp) as `drv`, the installed layout as host and Windows paths, and
# checks that count failures instead of stopping at the first one.
set -u
export LC_ALL=C.UTF-8

E2E_BUILD=$(cd "${1:?usage: scenario.sh BUILD_DIR}" && pwd)
E2E_SOURCE=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# The version the build gave the image, and the image, named after it.
VERSION=$(cat "$E2E_BUILD/version.txt")
SETUP_EXE=$E2E_BUILD/Lumiran-Setup-$VERSION-x64.exe
SUITE_EXE=$E2E_BUILD/suite/Lumiran.exe
DRIVER_EXE=$E2E_BUILD/e2e/e2e-driver.exe
WINE=${WINE:-/usr/lib/wine/wine64}
# shellcheck source=../wine/prefix.sh
. "$E2E_SOURCE/tests/wine/prefix.sh"

require_display

export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
fresh_prefix "$E2E_BUILD/wine"
# Scratch files of the scenario, visible to Windows programs as C:\e2e.
E2E_TMP=$WINEPREFIX/drive_c/e2e
WIN_TMP="C:\\e2e"
mkdir -p "$E2E_TMP"

E2E_FAILURES=0
ok() { echo "ok - $1"; }
not_ok() {
    echo "FAIL - $1"
    E2E_FAILURES=$((E2E_FAILURES + 1))
}
# check DESCRIPTION COMMAND [ARGS...]: passes when the command succeeds.
check() {
    local what=$1
    shift
    if "$@"; then ok "$what"; else not_ok "$what"; fi
}
# check_not DESCRIPTION COMMAND [ARGS...]: passes when the command fails.
check_not() {
    local what=$1
    shift
    if "$@"; then not_ok "$what"; else ok "$what"; fi
}
# expect DESCRIPTION ACTUAL EXPECTED
expect() {
    if [ "$2" = "$3" ]; then
        ok "$1"
    else
        not_ok "$1"
        echo "    expected:"
        sed 's/^/      /' <<<"$3"
        echo "    actual:"
        sed 's/^/      /' <<<"$2"
    fi
}
finish() {
    if [ "$E2E_FAILURES" -ne 0 ]; then
        echo "$E2E_FAILURES check(s) failed"
        report_runs
        report_server
        exit 1
    fi
    echo "all checks passed"
    exit 0
}

# The driver, with CR line ends of the console taken off. A call that fails
# or says anything on its standard error is logged with its exit code and
# that output, which the caller may not show (a check that a key is absent
# expects the failure): report_runs prints the log once a check has failed.
#
# Every failure of the driver's own says why. One that ends without a word
# never ran: on a loaded machine Wine now and then ends a program it is
# starting with exit code 1 and no output (seen once in a few hundred starts,
# a reg-dump whose key the server then saved whole). A question is asked
# again then; an action never is, as it may have been done.
WINE_LOG=$E2E_TMP/wine-calls.log
drv() {
    local out err rc attempt
    out=$(mktemp "$E2E_TMP/.stdout.XXXXXX")
    err=$(mktemp "$E2E_TMP/.stderr.XXXXXX")
    for attempt in 1 2; do
        "$WINE" "$DRIVER_EXE" "$@" 2>"$err" | tr -d '\r' >"$out"
        rc=${PIPESTATUS[0]}
        [ "$rc" -ne 0 ] && [ "$attempt" = 1 ] && [ ! -s "$out" ] && [ ! -s "$err" ] || break
        case $1 in
            reg-query | reg-dump | count-windows | wait-window | wait-gone | window-rect | lnk-target) ;;
            *) break ;;
        esac
        echo "drv $*: exit $rc without a word; asked again" >>"$WINE_LOG"
    done
    if [ "$rc" -ne 0 ] || [ -s "$err" ]; then
        { echo "drv $*: exit $rc"; sed 's/^/    /' "$err"; } >>"$WINE_LOG"
    fi
    cat "$out"
    cat "$err" >&2
    rm -f "$out" "$err"
    return "$rc"
}
# What every run said (the windows the driver saw, its exit code or
# "timeout") and every Wine call that failed.
report_runs() {
    local report
    for report in "$E2E_TMP"/*.txt; do
        grep -qE '^(exit [0-9]+|timeout)$' "$report" 2>/dev/null || continue
        echo "run report $(basename "$report"):"
        sed 's/^/    /' "$report"
    done
    if [ -s "$WINE_LOG" ]; then
        echo "Wine calls that failed or wrote to standard error:"
        cat "$WINE_LOG"
    fi
}

# A server's process id and the prefix it was started for: another test's
# server would mean two prefixes shared one registry.
describe_server() {
    [ -n "$1" ] || { echo "none"; return; }
    echo "$1 (for $(tr '\0' '\n' <"/proc/$1/environ" 2>/dev/null | sed -n 's/^WINEPREFIX=//p'))"
}
# Whether the scenario kept one Wine server (one that ended and came back
# reads the registry back from disk, losing what it had not saved), and the
# registration and autostart value as the server saves them on its way out.
report_server() {
    echo "Wine server: $(describe_server "$E2E_SERVER") at the start, $(describe_server "$(server_pid)") at the end"
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    echo "user.reg, the registration and the autostart value:"
    awk '/^\[/ { key = $0; keep = index(key, "Uninstall\\\\Lumiran]") } keep' "$WINEPREFIX/user.reg" | sed 's/^/    /'
    awk '/^\[/ { key = $0 } index(key, "CurrentVersion\\\\Run]") && /^"Lumiran"=/' "$WINEPREFIX/user.reg" | sed 's/^/    /'
}

# Layout of the prefix's user, host side and Windows side.
E2E_USER=$(prefix_user)
PROFILE=$WINEPREFIX/drive_c/users/$E2E_USER
WIN_PROFILE="C:\\users\\$E2E_USER"
set_layout() {  # set_layout HOST_LOCALAPPDATA WINDOWS_LOCALAPPDATA
    INSTALL_DIR=$1/Programs/Lumiran
    WIN_INSTALL_DIR="$2\\Programs\\Lumiran"
    WIN_EXE="$WIN_INSTALL_DIR\\Lumiran.exe"
    WIN_UNINSTALLER="$WIN_INSTALL_DIR\\Lumiran-Uninstall.exe"
}
set_layout "$PROFILE/AppData/Local" "$WIN_PROFILE\\AppData\\Local"
DESKTOP_LINK=$PROFILE/Desktop/Lumiran.lnk
PROGRAMS_LINK="$PROFILE/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Lumiran.lnk"
UNINSTALL_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumiran'
RUN_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
SUITE_CLASS=LumiranRenderWindow

# Texts the setup program shows; those that name the version, for a version.
welcome_title() { echo "安装 Lumiran v$1"; }
welcome_instruction() { echo "欢迎安装 Lumiran v$1"; }
installed_text() { echo "Lumiran v$1 已成功安装！可从桌面或开始菜单启动。"; }
WELCOME_TITLE=$(welcome_title "$VERSION")
export E2E_WELCOME_TITLE=$WELCOME_TITLE  # how the driver knows the dialog
INSTALL_FAILED_CAPTION='Lumiran 安装失败'
INSTALL_FAILED_TEXT='无法写入 Lumiran.exe，请先关闭正在运行的 Lumiran 后重试。'
INSTALLED_CAPTION='安装完成'
INSTALLED_TEXT=$(installed_text "$VERSION")
UNINSTALL_CAPTION='卸载 Lumiran'
UNINSTALL_CONFIRM_TEXT='确定要卸载 Lumiran 吗？（将自动恢复 Windows 原生任务栏）'
UNINSTALLED_TEXT='Lumiran 已安全卸载完成。'
UNINSTALL_FAILED_TEXT='无法删除 Lumiran.exe，请先关闭正在运行的 Lumiran 后重试。'
SHORTCUT_DESCRIPTION='Lumiran - 轻盈高效的桌面外壳与效率工具集'
SETUP_BUSY_TEXT='另一个 Lumiran 安装或卸载程序正在运行，请等它结束后再试。'

# run_setup OUT [ARGS...]: runs the installer to its end (in the background
# when the caller adds &), writing the driver's report to OUT.
run_setup() {
    local out=$1
    shift
    drv run "$SETUP_EXE" "$@" >"$out"
}
# read_only_imports IMAGE COPY: IMAGE with .idata and .didat, where the
# delay-load tables lie, read-only as binutils 2.44 and later link them,
# whatever linked this one. The PE checksum stays stale: Windows checks it
# only for drivers and boot-time DLLs. Fails when there is no such section.
read_only_imports() {
    /usr/bin/python3 - "$1" "$2" <<'EOF'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
pe = struct.unpack_from("<I", data, 0x3C)[0]
count, optional = struct.unpack_from("<H12xH", data, pe + 6)
headers = [pe + 24 + optional + 40 * i for i in range(count)]
found = [at for at in headers if data[at:at + 8].rstrip(b"\0") in (b".idata", b".didat")]
for at in found:
    struct.pack_into("<I", data, at + 36, struct.unpack_from("<I", data, at + 36)[0] & ~0x80000000)
open(sys.argv[2], "wb").write(data)
sys.exit(not found)
EOF
}
# The exit code in a report of `drv run`, and the windows it saw.
exit_code_of() { sed -n 's/^exit //p' "$1"; }
windows_of() { grep '^window ' "$1"; }

# Waits for a background job and reports it, so that no check runs before
# the installer has ended.
join() { wait "$@" 2>/dev/null || true; }

# Starts the installed suite (or another exe) with test switches; returns once
# its window is there.
start_suite() {  # start_suite WINDOWS_EXE TITLE [ARGS...]
    local exe=$1 title=$2
    shift 2
    drv start "$exe" "--title=$title" "$@" >/dev/null && drv wait-window "$SUITE_CLASS" "$title"
}
suite_windows() { drv count-windows "$SUITE_CLASS" "$@"; }

# A finished silent install with the suite it started closed again: the
# starting point of the scenarios that work on an existing installation.
install_quietly() {
    run_setup "$E2E_TMP/install-quietly.txt" /S
    [ "$(exit_code_of "$E2E_TMP/install-quietly.txt")" = 0 ] || { not_ok "silent install"; return 1; }
    drv wait-window "$SUITE_CLASS" && drv close-window "$SUITE_CLASS"
}

# hold OUT DRIVER_COMMAND [ARGS...]: a driver that holds something (hold-open,
# hold-mutex) in the background as $HOLDER; succeeds once it says "held".
# Not through drv's pipe, so that "held" shows as soon as the driver says it.
hold() {
    local out=$1
    shift
    "$WINE" "$DRIVER_EXE" "$@" >"$out" 2>>"$WINE_LOG" &
    HOLDER=$!
    wait_held "$out"
}
# Ends the holder: a mutex it owned is abandoned, or gone with its last handle.
# Without one (let go already, or none held) it does nothing.
let_go() {
    [ -n "${HOLDER:-}" ] || return 0
    kill "$HOLDER" 2>/dev/null
    wait "$HOLDER" 2>/dev/null
    HOLDER=
}
hold_setup_lock() { hold "$E2E_TMP/lock.txt" hold-mutex 'Local\LumiranSetup' 120 "$@"; }

# The desktop stays up from the scenario's first program to its last, ended
# with the prefix's server (see the driver's "session"). Its process is no
# holder: no let_go ends it.
if ! hold "$E2E_TMP/session.txt" session; then
    not_ok "the desktop comes up"
    finish
fi
HOLDER=
E2E_SERVER=$(server_pid)

# run_together NAME COMMAND_LINE COMMAND_LINE: two runs started at the same
# moment; prints their exit codes as "A B".
run_together() {
    drv run-line "$2" >"$E2E_TMP/$1-a.txt" &
    local first=$!
    drv run-line "$3" >"$E2E_TMP/$1-b.txt"
    join $first
    echo "$(exit_code_of "$E2E_TMP/$1-a.txt") $(exit_code_of "$E2E_TMP/$1-b.txt")"
}
# Each of two overlapping runs did its work or was refused (1618); one did it.
# A 1 is the later run coming just after the earlier one had ended: the suite
# that one started holds Lumiran.exe before its window shows, so the later
# run cannot ask it to close and fails to write it, changing nothing.
one_went_ahead() { case $1 in "0 0" | "0 1618" | "1618 0" | "0 1" | "1 0") return 0 ;; *) return 1 ;; esac; }
# After overlapping installs: the install is whole and exactly one suite runs.
one_whole_install() {
    check "$1: Lumiran.exe is the payload" cmp -s "$INSTALL_DIR/Lumiran.exe" "$SUITE_EXE"
    check "$1: the uninstaller is the setup program" cmp -s "$INSTALL_DIR/Lumiran-Uninstall.exe" "$SETUP_EXE"
    expect "$1: the nine registration values" "$(drv reg-dump "$UNINSTALL_KEY" | wc -l)" 9
    check "$1: the suite runs" drv wait-window "$SUITE_CLASS"
    sleep 1  # a second suite, had one been started, has its window by now
    expect "$1: exactly one suite runs" "$(suite_windows)" 1
}

# Registry: one value as "TYPE SIZE DATA", or the whole key.
reg_value() { drv reg-query "$1" "$2" 2>/dev/null; }
has_value() { drv reg-query "$1" "$2" >/dev/null 2>&1; }
has_key() { drv reg-dump "$1" >/dev/null 2>&1; }

# lnkinfo's line for FIELD, e.g. "Local path".
lnk_field() { "$E2E_SOURCE/tests/wine/lnkinfo-read" "$1" 2>/dev/null | sed -n "s/^\t$2[[:space:]]*: //p"; }

# What a UTF-16LE report of the stand-in suite says (line 1: working
# directory, line 2: command line).
suite_report() { iconv -f UTF-16LE -t UTF-8 "$1" | tr -d '\r'; }

# Files in a folder, names only, sorted.
files_in() { (cd "$1" 2>/dev/null && ls -A | sort | tr '\n' ' ' | sed 's/ $//'); }

# Windows path of a host path inside drive_c.
win_path() { echo "C:${1#"$WINEPREFIX/drive_c"}" | tr / '\\'; }
