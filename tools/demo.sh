#!/bin/bash
# Runs the built installer in a throwaway Wine prefix.
#
#   tools/demo.sh BUILD_DIR
#
# On a real X display (LUMIRAN_DEMO_DISPLAY, or a DISPLAY that is not served
# by Xvfb) the installer simply runs there, for you to click through. Without
# one the demo plays the interactive install and uninstall under Xvfb,
# answering the dialogs itself, saves screenshots of each of them to
# BUILD_DIR/screenshots (or to LUMIRAN_DEMO_SHOTS: make screenshots names
# docs/) and prints what the install left behind and what the uninstall
# left. On the way it shows a second installer started while the first
# one's dialog is open, and an uninstall that fails because the running
# suite will not close.
set -euo pipefail
export LC_ALL=C.UTF-8

build=$(cd "${1:?usage: tools/demo.sh BUILD_DIR}" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
version=$(cat "$build/version.txt" 2>/dev/null) || version=unknown
setup_exe=$build/Lumiran-Setup-$version-x64.exe
driver_exe=$build/e2e/e2e-driver.exe
shots=${LUMIRAN_DEMO_SHOTS:-$build/screenshots}
for file in "$setup_exe" "$driver_exe"; do
    [ -f "$file" ] || { echo "demo: $file is missing; build first (make build-win)" >&2; exit 1; }
done

export WINEDEBUG=-all
export E2E_WELCOME_TITLE="安装 Lumiran v$version"  # how the driver knows the welcome dialog
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
WINE=${WINE:-/usr/lib/wine/wine64}

real_display() {
    if [ -n "${LUMIRAN_DEMO_DISPLAY:-}" ]; then
        export DISPLAY=$LUMIRAN_DEMO_DISPLAY
        return 0
    fi
    [ -n "${DISPLAY:-}" ] || return 1
    # Xvfb shows up as the process that serves the display's number.
    ! ps -eo args= | grep -Eq "^(/usr/bin/)?Xvfb :${DISPLAY#*:}( |$)"
}

if [ "${2:-}" != --under-xvfb ]; then
    if real_display; then
        mode=interactive
    else
        exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" --under-xvfb
    fi
else
    mode=scripted
fi

# shellcheck source=../tests/wine/prefix.sh
. "$source_dir/tests/wine/prefix.sh"
fresh_prefix "$build/wine"

drv() { "$WINE" "$driver_exe" "$@" | tr -d '\r'; }
# One desktop for the whole demo, as the tests keep it (the driver's "session").
"$WINE" "$driver_exe" session >"$WINEPREFIX/session.txt" 2>&1 &
wait_held "$WINEPREFIX/session.txt" || echo "demo: the desktop did not come up; carrying on" >&2
user=$(prefix_user)
profile=$WINEPREFIX/drive_c/users/$user
install_dir=$profile/AppData/Local/Programs/Lumiran
win_install_dir=$(echo "C:${install_dir#"$WINEPREFIX/drive_c"}" | tr / '\\')
links=("$profile/Desktop/Lumiran.lnk" "$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Lumiran.lnk")
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumiran'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'

heading() { printf '\n== %s\n' "$1"; }
show_state() {
    echo "Files in $win_install_dir:"
    if [ -d "$install_dir" ]; then
        (cd "$install_dir" && find . -maxdepth 1 -type f -printf '  %-24f %10s bytes\n' | sort)
    else
        echo "  (no folder)"
    fi
    echo "Shortcuts:"
    for link in "${links[@]}"; do
        echo "  ${link#"$profile/"}"
        if [ -f "$link" ]; then
            "$source_dir/tests/wine/lnkinfo-read" "$link" | grep -E $'^\t(Local path|Working directory|Description|Icon location|Icon index)' |
                sed 's/^\t/    /; s/\t*: /: /'
        else
            echo "    (none)"
        fi
    done
    echo "Registry, $uninstall_key:"
    local values
    values=$(drv reg-dump "$uninstall_key" 2>/dev/null) || values="(no key)"
    sed 's/^/  /' <<<"$values"
    echo "Registry, $run_key, value Lumiran:"
    values=$(drv reg-query "$run_key" Lumiran 2>/dev/null) || values="(no value)"
    sed 's/^/  /' <<<"$values"
}

if [ "$mode" = interactive ]; then
    heading "Running the installer on $DISPLAY (prefix $WINEPREFIX)"
    status=0
    "$WINE" "$setup_exe" || status=$?
    heading "The installer ended with exit code $status; what it left"
    show_state
    read -r -p "Press Enter to remove the demo prefix. " _ || true
    exit 0
fi

# Saves the window of class #32770 and the given title, once it has painted.
screenshot() {  # screenshot TITLE FILE
    local rect
    rect=$(drv window-rect '#32770' "$1")
    sleep 0.7
    import -window root -crop "$rect" +repage "$2"
    echo "saved ${2#"$source_dir/"} ($rect)"
}

mkdir -p "$shots"
heading "Install: the welcome dialog"
drv run "$setup_exe" >"$WINEPREFIX/install.txt" &
setup=$!
screenshot "$E2E_WELCOME_TITLE" "$shots/welcome-dialog.png"

heading "A second installer, started while the first one's dialog is open"
drv run "$setup_exe" >"$WINEPREFIX/second.txt" &
second=$!
screenshot 'Lumiran 安装失败' "$shots/setup-busy.png"
drv msgbox 'Lumiran 安装失败' ok | sed -n '1s/^/refusal box: /p'
wait $second || true
echo "second installer: $(grep '^exit' "$WINEPREFIX/second.txt")"

heading "The first installer goes on: autostart ticked, \"install only\""
drv dialog-click --verify 1002
screenshot '安装完成' "$shots/install-complete.png"
drv msgbox '安装完成' ok | sed -n '1s/^/completion box: /p'
wait $setup || true
echo "installer: $(grep '^exit' "$WINEPREFIX/install.txt")"

heading "What the install left"
show_state

# The registration's command line, as the list of installed programs runs it;
# the failed uninstall keeps it for the second one.
uninstall_string=$(drv reg-query "$uninstall_key" UninstallString | cut -d' ' -f3-)

heading "Uninstall while Lumiran ignores the request to close"
drv start "$win_install_dir\\Lumiran.exe" --ignore-close --title=stubborn >/dev/null
drv wait-window LumiranRenderWindow stubborn
drv run-line "$uninstall_string" >"$WINEPREFIX/uninstall-failed.txt" &
uninstall=$!
drv msgbox '卸载 Lumiran' yes >/dev/null
screenshot '卸载 Lumiran' "$shots/uninstall-failed.png"
drv msgbox '卸载 Lumiran' ok | sed -n '1s/^/failure box: /p'
wait $uninstall || true
echo "uninstaller: $(grep '^exit' "$WINEPREFIX/uninstall-failed.txt")"
"$WINE" taskkill /f /im Lumiran.exe >/dev/null 2>&1 || true
drv wait-gone LumiranRenderWindow stubborn
echo "Lumiran.exe and the registration stay; the suite is then ended by force."

heading "Uninstall, as the list of installed programs starts it"
echo "command line: $uninstall_string"
drv run-line "$uninstall_string" >"$WINEPREFIX/uninstall.txt" &
uninstall=$!
screenshot '卸载 Lumiran' "$shots/uninstall-confirm.png"
drv msgbox '卸载 Lumiran' yes | sed -n '1s/^/confirmation box: /p'
screenshot '卸载 Lumiran' "$shots/uninstall-complete.png"
drv msgbox '卸载 Lumiran' ok | sed -n '1s/^/completion box: /p'
wait $uninstall || true
echo "uninstaller: $(grep '^exit' "$WINEPREFIX/uninstall.txt")"

heading "What the uninstall left"
show_state

echo
echo "Screenshots: ${shots#"$source_dir/"}/"
