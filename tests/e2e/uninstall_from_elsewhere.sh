#!/bin/bash
# The uninstaller started from another folder removes the current user's
# installation, not the files that lie beside it.
source "$(dirname "$0")/lib.sh" "$1"

install_quietly
elsewhere=$WINEPREFIX/drive_c/Downloads
mkdir -p "$elsewhere"
cp "$SETUP_EXE" "$elsewhere/Lumiran-Setup.exe"
echo "not the installed one" >"$elsewhere/Lumiran.exe"
echo "not a shortcut of the installation" >"$elsewhere/Lumiran.lnk"

drv run 'C:\Downloads\Lumiran-Setup.exe' /uninstall /S >"$E2E_TMP/uninstall.txt"
expect "exit code" "$(exit_code_of "$E2E_TMP/uninstall.txt")" 0
expect "installed Lumiran.exe gone" "$(files_in "$INSTALL_DIR")" "Lumiran-Uninstall.exe"
check_not "installed shortcut gone" test -e "$DESKTOP_LINK"
check_not "registration gone" has_key "$UNINSTALL_KEY"
expect "files beside the uninstaller stay" "$(files_in "$elsewhere")" "Lumiran-Setup.exe Lumiran.exe Lumiran.lnk"

finish
