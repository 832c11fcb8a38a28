#!/bin/bash
# A silent install ("/S") into a fresh profile: exactly the two files, both
# shortcuts, the nine registration values, no autostart value (an old one is
# removed), the suite started without arguments in the install folder, exit
# code 0, and not one window of the installer's own.
source "$(dirname "$0")/lib.sh" "$1"

drv reg-set "$RUN_KEY" Lumiran sz '"C:\old place\Lumiran.exe" --tray'
check "an autostart value is there before" has_value "$RUN_KEY" Lumiran

LUMIRAN_SUITE_REPORT="$WIN_TMP\\suite-start.txt" run_setup "$E2E_TMP/run.txt" /S
expect "exit code" "$(exit_code_of "$E2E_TMP/run.txt")" 0
expect "no window of the installer" "$(windows_of "$E2E_TMP/run.txt")" ""

expect "install folder holds exactly the two executables" \
    "$(files_in "$INSTALL_DIR")" "Lumiran-Uninstall.exe Lumiran.exe"
check "Lumiran.exe is the payload byte for byte" cmp -s "$INSTALL_DIR/Lumiran.exe" "$SUITE_EXE"
check "Lumiran-Uninstall.exe is the setup program itself" cmp -s "$INSTALL_DIR/Lumiran-Uninstall.exe" "$SETUP_EXE"

for link in "$DESKTOP_LINK" "$PROGRAMS_LINK"; do
    name=${link#"$PROFILE/"}
    check "$name exists" test -f "$link"
    expect "$name: target" "$(lnk_field "$link" 'Local path')" "$WIN_EXE"
    expect "$name: working directory" "$(lnk_field "$link" 'Working directory')" "$WIN_INSTALL_DIR"
    expect "$name: description" "$(lnk_field "$link" 'Description')" "$SHORTCUT_DESCRIPTION"
    expect "$name: icon" "$(lnk_field "$link" 'Icon location')" "$WIN_EXE"
    expect "$name: icon index" "$(lnk_field "$link" 'Icon index')" 0
    expect "$name: no arguments" "$(lnk_field "$link" 'Command line arguments')" ""
    expect "$name: the shell resolves it to the suite" "$(drv lnk-target "$(win_path "$link")")" "$WIN_EXE"
done

expect "registration: the nine values and nothing else" "$(drv reg-dump "$UNINSTALL_KEY")" "$(cat <<EOF
DisplayIcon=REG_SZ $(( (${#WIN_EXE} + 3) * 2 )) $WIN_EXE,0
DisplayName=REG_SZ 16 Lumiran
DisplayVersion=REG_SZ $(( (${#VERSION} + 1) * 2 )) $VERSION
EstimatedSize=REG_DWORD 4 1024
InstallLocation=REG_SZ $(( (${#WIN_INSTALL_DIR} + 1) * 2 )) $WIN_INSTALL_DIR
NoModify=REG_DWORD 4 1
NoRepair=REG_DWORD 4 1
Publisher=REG_SZ 16 Lumiran
UninstallString=REG_SZ $(( (${#WIN_UNINSTALLER} + 14) * 2 )) "$WIN_UNINSTALLER" /uninstall
EOF
)"
check_not "the old autostart value is gone" has_value "$RUN_KEY" Lumiran

check "the suite is running" drv wait-window "$SUITE_CLASS"
for _ in $(seq 50); do [ -s "$E2E_TMP/suite-start.txt" ] && break; sleep 0.1; done
report=$(suite_report "$E2E_TMP/suite-start.txt")
expect "suite's working directory is the install folder" "$(sed -n 1p <<<"$report")" "$WIN_INSTALL_DIR"
command_line=$(sed -n 2p <<<"$report")
case $command_line in
    \"*) program=${command_line#\"}; program=${program%%\"*}; rest=${command_line#\""$program"\"} ;;
    *) program=${command_line%% *}; rest=${command_line#"$program"} ;;
esac
expect "suite started from the installed file" "$program" "$WIN_EXE"
expect "suite started without arguments" "${rest// /}" ""

finish
