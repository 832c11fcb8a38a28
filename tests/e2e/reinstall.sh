#!/bin/bash
# An install over an existing one writes everything again: both executables
# (damaged beforehand, one longer than the payload) are replaced, a missing
# shortcut comes back, the registration values are restored while a foreign
# value stays, and the autostart value follows the new choice. That install
# runs from a read-only file, and finds the uninstaller marked as downloaded:
# its copy must come out neither read-only nor marked. The installed copy,
# started without "/uninstall", installs as well. Then the image of another
# version upgrades it, and this one goes back over that.
source "$(dirname "$0")/lib.sh" "$1"

run_setup "$E2E_TMP/first.txt" &
setup=$!
drv dialog-click --verify 1002 && drv msgbox "$INSTALLED_CAPTION" ok >/dev/null
join $setup
check "first install wrote the autostart value" has_value "$RUN_KEY" Lumiran

head -c 3000000 /dev/urandom >"$INSTALL_DIR/Lumiran.exe"
echo junk >"$INSTALL_DIR/Lumiran-Uninstall.exe"
rm "$DESKTOP_LINK"
drv reg-set "$UNINSTALL_KEY" DisplayVersion sz 1.0.0
drv reg-set "$UNINSTALL_KEY" EstimatedSize dword 7
drv reg-set "$UNINSTALL_KEY" Comments sz "added by someone else"
# Wine has no named streams: it keeps "name:Zone.Identifier" as a plain file
# of that name, which DeleteFileW of the stream's path removes all the same.
printf '[ZoneTransfer]\r\nZoneId=3\r\n' >"$INSTALL_DIR/Lumiran-Uninstall.exe:Zone.Identifier"
# Wine's CopyFileW, like Windows', carries the read-only attribute over.
mkdir -p "$E2E_TMP/disc"
cp "$SETUP_EXE" "$E2E_TMP/disc/"
disc_exe=$E2E_TMP/disc/$(basename "$SETUP_EXE")
cp "$INSTALL_DIR/Lumiran-Uninstall.exe:Zone.Identifier" "$disc_exe:Zone.Identifier"
chmod a-w "$disc_exe"

drv run "$(win_path "$disc_exe")" >"$E2E_TMP/second.txt" &
setup=$!
check "second install: autostart left unticked" drv dialog-click 1002
drv msgbox "$INSTALLED_CAPTION" ok >/dev/null
join $setup

expect "exit code" "$(exit_code_of "$E2E_TMP/second.txt")" 0
check "Lumiran.exe replaced, at the payload's length" cmp -s "$INSTALL_DIR/Lumiran.exe" "$SUITE_EXE"
check "Lumiran-Uninstall.exe replaced" cmp -s "$INSTALL_DIR/Lumiran-Uninstall.exe" "$SETUP_EXE"
check_not "its Mark of the Web is gone" test -e "$INSTALL_DIR/Lumiran-Uninstall.exe:Zone.Identifier"
expect "copied from a read-only installer, it is writable" "$(stat -c %A "$INSTALL_DIR/Lumiran-Uninstall.exe" | cut -c3)" w
check "the installer keeps its own mark" test -e "$disc_exe:Zone.Identifier"
check "Desktop shortcut written again" test -f "$DESKTOP_LINK"
expect "DisplayVersion restored" "$(reg_value "$UNINSTALL_KEY" DisplayVersion)" "REG_SZ $(( (${#VERSION} + 1) * 2 )) $VERSION"
expect "EstimatedSize restored" "$(reg_value "$UNINSTALL_KEY" EstimatedSize)" "REG_DWORD 4 1024"
expect "foreign value kept" "$(reg_value "$UNINSTALL_KEY" Comments)" "REG_SZ 44 added by someone else"
expect "nine values and the foreign one" "$(drv reg-dump "$UNINSTALL_KEY" | wc -l)" 10
check_not "the autostart value follows the new choice: gone" has_value "$RUN_KEY" Lumiran

# The installed copy started without "/uninstall" installs again; copying
# itself onto its own running file must not damage it.
echo junk >"$INSTALL_DIR/Lumiran.exe"
drv run "$WIN_UNINSTALLER" /S >"$E2E_TMP/from-copy.txt"
expect "install from the installed copy: exit code" "$(exit_code_of "$E2E_TMP/from-copy.txt")" 0
check "install from the installed copy: Lumiran.exe written" cmp -s "$INSTALL_DIR/Lumiran.exe" "$SUITE_EXE"
check "install from the installed copy: the copy itself intact" \
    cmp -s "$INSTALL_DIR/Lumiran-Uninstall.exe" "$SETUP_EXE"

# The upgrade to another version, with the suite that install started running.
other=$(cat "$E2E_BUILD/other-version/version.txt")
other_exe=$E2E_BUILD/other-version/Lumiran-Setup-$other-x64.exe
check "the suite runs before the upgrade" drv wait-window "$SUITE_CLASS"
drv run "$other_exe" >"$E2E_TMP/upgrade.txt" &
setup=$!
export E2E_WELCOME_TITLE=$(welcome_title "$other")
expect "upgrade: main instruction" "$(drv dialog-texts | sed -n 1p)" "Static $(welcome_instruction "$other")"
drv dialog-click 1002
expect "upgrade: completion box" "$(drv msgbox "$INSTALLED_CAPTION" ok)" "$(installed_text "$other")"$'\n'"buttons: 1"
join $setup
expect "upgrade: its windows and exit code; the suite closed" "$(cat "$E2E_TMP/upgrade.txt"; suite_windows)" \
    "window #32770 $E2E_WELCOME_TITLE"$'\n'"window #32770 $INSTALLED_CAPTION"$'\n'"exit 0"$'\n'0
check "upgrade: the uninstaller is the new image" cmp -s "$INSTALL_DIR/Lumiran-Uninstall.exe" "$other_exe"
expect "upgrade: DisplayVersion" "$(reg_value "$UNINSTALL_KEY" DisplayVersion)" "REG_SZ $(( (${#other} + 1) * 2 )) $other"
expect "upgrade: nine values and the foreign one" "$(drv reg-dump "$UNINSTALL_KEY" | wc -l)" 10
# No version check: back over it the same way.
run_setup "$E2E_TMP/back.txt" /S
expect "back to $VERSION" "$(reg_value "$UNINSTALL_KEY" DisplayVersion)" "REG_SZ $(( (${#VERSION} + 1) * 2 )) $VERSION"

finish
