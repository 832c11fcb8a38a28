#!/bin/bash
# Elevated (runas) while the session's user is 张伟 (a stand-in wtsapi32.dll
# that only these runs load), install and uninstall (over a real install)
# are refused: exit code 50, a box naming both accounts unless silent, and
# no change under drive_c/users or in user.reg.
source "$(dirname "$0")/lib.sh" "$1"

cp "$E2E_BUILD/e2e/wtsapi32.dll" "$WINEPREFIX/drive_c/windows/system32/"
pc=$(drv reg-query 'HKLM\System\CurrentControlSet\Control\ComputerName\ComputerName' ComputerName)
pc=${pc#REG_SZ * }
refusal="此 Lumiran 安装程序正以另一个帐户运行，不会为当前登录的用户安装或卸载 Lumiran。\\n\\n运行帐户：$pc\\$E2E_USER"
refusal+="\\n当前登录的用户：$pc\\张伟\\n\\n请以当前登录的用户身份直接启动它，不要选择“以管理员身份运行”。"$'\n'"buttons: 1"

# Wine writes user.reg as its server stops: stop it, note the files and the
# registry (but the stamp of Wine's font cache, renewed by every program that
# draws text), start it and the desktop again.
note_state() {
    wineserver -k && wineserver -w
    (cd "$WINEPREFIX/drive_c/users" && find . | sort && find . -type f -print0 | sort -z | xargs -0 -r md5sum)
    sed '/^\[Software\\\\Wine\\\\Fonts\] /{s/ [0-9]*$//;n;/^#time=/d}' "$WINEPREFIX/user.reg"
    wineserver -p </dev/null >/dev/null 2>&1
    hold "$(mktemp "$E2E_TMP/session.XXXXXX")" session && HOLDER=
}
refused() {  # refused NAME CAPTION|- EXE [ARG...]: "-" for a silent run
    local name=$1 caption=$2
    shift 2
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES;wtsapi32=n" drv run-elevated "$@" >"$E2E_TMP/$name.txt" &
    [ "$caption" = - ] || expect "$name: the box names both accounts" "$(drv msgbox "$caption")" "$refusal"
    join $!
    expect "$name: exit code" "$(exit_code_of "$E2E_TMP/$name.txt")" 50
    expect "$name: windows" "$(windows_of "$E2E_TMP/$name.txt")" "$([ "$caption" = - ] || echo "window #32770 $caption")"
}

before=$(note_state)
setup_exe="Z:${SETUP_EXE//\//\\}"  # Wine 10's runas takes no Unix path
refused "install, silent" - "$setup_exe" /S
refused install "$INSTALL_FAILED_CAPTION" "$setup_exe"
expect "install refused: nothing changed" "$(diff <(echo "$before") <(note_state))" ""

install_quietly
before=$(note_state)
refused "uninstall, silent" - "$WIN_UNINSTALLER" /uninstall /S
refused uninstall "$UNINSTALL_CAPTION" "$WIN_UNINSTALLER" /uninstall
expect "uninstall refused: nothing changed" "$(diff <(echo "$before") <(note_state))" ""

finish
