#!/bin/bash
# A LocalAppData folder whose path has spaces and non-ASCII characters: the
# welcome dialog shows the install folder under it, and a silent install, the
# suite's start and the uninstall through the registration all work there.
source "$(dirname "$0")/lib.sh" "$1"

local_name='Local Data 本地 数据 Ünïcode'
win_local="$WIN_PROFILE\\$local_name"
for key in 'User Shell Folders' 'Shell Folders'; do
    drv reg-set "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\$key" 'Local AppData' sz "$win_local"
done
set_layout "$PROFILE/$local_name" "$win_local"

run_setup "$E2E_TMP/look.txt" &
setup=$!
expect "the dialog shows the folder whole, on the last line" \
    "$(drv dialog-texts | grep -o '安装目录：.*')" "安装目录：$WIN_INSTALL_DIR"
drv dialog-click 2
join $setup

LUMIRAN_SUITE_REPORT="$WIN_TMP\\suite-start.txt" run_setup "$E2E_TMP/install.txt" /S
expect "install: exit code" "$(exit_code_of "$E2E_TMP/install.txt")" 0
expect "installed files" "$(files_in "$INSTALL_DIR")" "Lumiran-Uninstall.exe Lumiran.exe"
check "Lumiran.exe is the payload" cmp -s "$INSTALL_DIR/Lumiran.exe" "$SUITE_EXE"
expect "InstallLocation" "$(reg_value "$UNINSTALL_KEY" InstallLocation)" \
    "REG_SZ $(( (${#WIN_INSTALL_DIR} + 1) * 2 )) $WIN_INSTALL_DIR"
expect "DisplayIcon" "$(reg_value "$UNINSTALL_KEY" DisplayIcon)" \
    "REG_SZ $(( (${#WIN_EXE} + 3) * 2 )) $WIN_EXE,0"
uninstall_string=$(reg_value "$UNINSTALL_KEY" UninstallString | cut -d' ' -f3-)
expect "UninstallString quotes the path" "$uninstall_string" "\"$WIN_UNINSTALLER\" /uninstall"
# Wine's ShellLink keeps the target only in the link-information block, in
# the ANSI code page, so characters outside it come back as "?" there, to
# lnkinfo and to the shell alike; the Unicode strings of the link are whole.
ansi_form() { perl -CSD -pe 's/[^\x00-\xff]/?/g' <<<"$1"; }
for link in "$DESKTOP_LINK" "$PROGRAMS_LINK"; do
    name=$(basename "$(dirname "$link")")/Lumiran.lnk
    target=$(lnk_field "$link" 'Local path')
    [ "$target" = "$(ansi_form "$WIN_EXE")" ] && target=$WIN_EXE
    expect "$name: target" "$target" "$WIN_EXE"
    expect "$name: working directory" "$(lnk_field "$link" 'Working directory')" "$WIN_INSTALL_DIR"
    expect "$name: icon" "$(lnk_field "$link" 'Icon location')" "$WIN_EXE"
done
check "the suite runs" drv wait-window "$SUITE_CLASS"
for _ in $(seq 50); do [ -s "$E2E_TMP/suite-start.txt" ] && break; sleep 0.1; done
expect "the suite's working directory" "$(suite_report "$E2E_TMP/suite-start.txt" | sed -n 1p)" "$WIN_INSTALL_DIR"

drv run-line "$uninstall_string" >"$E2E_TMP/uninstall.txt" &
uninstall=$!
drv msgbox "$UNINSTALL_CAPTION" yes >/dev/null
expect "uninstall: completion" "$(drv msgbox "$UNINSTALL_CAPTION" ok | head -n 1)" "$UNINSTALLED_TEXT"
join $uninstall
expect "uninstall: exit code" "$(exit_code_of "$E2E_TMP/uninstall.txt")" 0
expect "uninstall: only the uninstaller is left" "$(files_in "$INSTALL_DIR")" "Lumiran-Uninstall.exe"
check_not "uninstall: Desktop shortcut gone" test -e "$DESKTOP_LINK"
check_not "uninstall: registration gone" has_key "$UNINSTALL_KEY"

finish
