#!/bin/bash
# The uninstall removes by name and place only: an autostart value "Lumiran"
# that points somewhere else goes all the same, while shortcuts the user
# moved or renamed, and the Run key's other values, stay untouched.
source "$(dirname "$0")/lib.sh" "$1"

install_quietly
drv reg-set "$RUN_KEY" Lumiran sz '"D:\Other Place\Lumiran.exe" --minimized'
drv reg-set "$RUN_KEY" OtherTool sz '"C:\Tools\other.exe"'
mkdir -p "$PROFILE/Desktop/Tools"
mv "$DESKTOP_LINK" "$PROFILE/Desktop/Tools/Lumiran.lnk"
programs=$(dirname "$PROGRAMS_LINK")
mv "$PROGRAMS_LINK" "$programs/Lumiran Suite.lnk"
cp "$PROFILE/Desktop/Tools/Lumiran.lnk" "$E2E_TMP/moved.lnk"

drv run "$WIN_UNINSTALLER" /uninstall /S >"$E2E_TMP/uninstall.txt"
expect "exit code" "$(exit_code_of "$E2E_TMP/uninstall.txt")" 0
check_not "autostart value pointing elsewhere gone" has_value "$RUN_KEY" Lumiran
expect "other Run values stay" "$(reg_value "$RUN_KEY" OtherTool | cut -d' ' -f3-)" '"C:\Tools\other.exe"'
check "moved Desktop shortcut untouched" cmp -s "$PROFILE/Desktop/Tools/Lumiran.lnk" "$E2E_TMP/moved.lnk"
check "renamed Programs shortcut stays" test -f "$programs/Lumiran Suite.lnk"
expect "Lumiran.exe gone" "$(files_in "$INSTALL_DIR")" "Lumiran-Uninstall.exe"

finish
