#!/bin/bash
# A run elevated into another account than the session's user (a standard
# user's "Run as administrator" with an administrator's credentials) is
# refused before it takes the lock or touches anything: exit code 50, and a
# box naming both accounts unless silent; no file under drive_c/users and no
# line of user.reg changes. For install, and for uninstall over a real install.
# The session's user, 张伟, comes from a stand-in wtsapi32.dll that only
# these runs load; the runas verb gives them Wine's full token.
source "$(dirname "$0")/lib.sh" "$1"

cp "$E2E_BUILD/e2e/wtsapi32.dll" "$WINEPREFIX/drive_c/windows/system32/wtsapi32.dll"
computer=$(drv reg-query 'HKLM\System\CurrentControlSet\Control\ComputerName\ComputerName' ComputerName)
computer=${computer#REG_SZ * }
refusal="此 Lumiran 安装程序正以另一个帐户运行，不会为当前登录的用户安装或卸载 Lumiran。\\n\\n运行帐户："
refusal+="$computer\\$E2E_USER\\n当前登录的用户：$computer\\张伟\\n\\n请以当前登录的用户身份直接启动它，不要选择“以管理员身份运行”。"

# Wine writes user.reg when its server stops: stop it, note the profile's
# files and the registry, and start it and the desktop again. Wine's font
# cache key is stamped anew by every program that draws text.
sessions=0
note_state() {
    wineserver -k
    wineserver -w
    (cd "$WINEPREFIX/drive_c/users" && find . | sort && find . -type f -print0 | sort -z | xargs -0 -r md5sum)
    sed '/^\[Software\\\\Wine\\\\Fonts\] /{s/ [0-9]*$//;n;/^#time=/d}' "$WINEPREFIX/user.reg"
    wineserver -p </dev/null >/dev/null 2>&1
    sessions=$((sessions + 1))
    hold "$E2E_TMP/session-$sessions.txt" session >/dev/null && HOLDER=
}
refused() {  # refused NAME CAPTION EXE [ARGS...]: as another user; CAPTION - for silent
    local name=$1 caption=$2 run=$E2E_TMP/$1.txt
    shift 2
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES;wtsapi32=n" drv run-elevated "$@" >"$run" &
    if [ "$caption" != - ]; then
        expect "$name: the box names both accounts" "$(drv msgbox "$caption" ok)" "$refusal"$'\n'"buttons: 1"
    fi
    join $!
    expect "$name: exit code" "$(exit_code_of "$run")" 50
    expect "$name: windows" "$(windows_of "$run")" "$([ "$caption" = - ] || echo "window #32770 $caption")"
}

before=$(note_state)
refused "install, silent" - "$SETUP_EXE" /S
refused "install" "$INSTALL_FAILED_CAPTION" "$SETUP_EXE"
expect "install refused: nothing changed" "$(diff <(echo "$before") <(note_state))" ""

install_quietly
check "a plain run installs beside the stand-in" test -f "$INSTALL_DIR/Lumiran.exe"
before=$(note_state)
refused "uninstall, silent" - "$WIN_UNINSTALLER" /uninstall /S
refused "uninstall" "$UNINSTALL_CAPTION" "$WIN_UNINSTALLER" /uninstall
expect "uninstall refused: nothing changed" "$(diff <(echo "$before") <(note_state))" ""

finish
