#!/bin/bash
# Saves shortcuts with the real ShellLink object under Wine and reads them
# back with lnkinfo, a Linux reader of the shell link format that shares no
# code with Wine.
#
#   lnkinfo_check.sh WINE_DIR MAKE_SHORTCUT_EXE SUITE_EXE
#
# Wine's ShellLink keeps the target path in ANSI form, so a non-ASCII target
# would read back with "?" in it: the targets here are ASCII, with spaces.
set -u
command -v lnkinfo >/dev/null || { echo "lnkinfo not installed (liblnk-utils)"; exit 77; }
here=$(cd "$(dirname "$0")" && pwd)
make_shortcut=$2
suite=$3
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
WINE=${WINE:-/usr/lib/wine/wine64}
# shellcheck source=prefix.sh
. "$here/prefix.sh"
fresh_prefix "$1"
prefix=$WINEPREFIX

failures=0
fail() { printf 'FAIL: %s\n' "$*"; failures=$((failures + 1)); }

# shortcut NAME TARGET: saves C:\Link Folder\NAME.lnk and prints lnkinfo's report.
links="$prefix/drive_c/Link Folder"
mkdir -p "$links"
shortcut() {
    "$WINE" "$make_shortcut" "C:\\Link Folder\\$1.lnk" "$2" || fail "$1: make_shortcut exited with $?"
    "$here/lnkinfo-read" "$links/$1.lnk" >"$links/$1.txt" 2>&1 || fail "$1: lnkinfo cannot read the file"
}
# expect NAME FIELD VALUE: lnkinfo's "FIELD : value" line of NAME.lnk.
expect() {
    actual=$(sed -n "s/^	$2	*: //p" "$links/$1.txt")
    [ "$actual" = "$3" ] || fail "$1: $2 is '$actual', expected '$3'"
}

install_dir='C:\Lumiran Apps\Programs\Lumiran'
mkdir -p "$prefix/drive_c/Lumiran Apps/Programs/Lumiran"
cp "$suite" "$prefix/drive_c/Lumiran Apps/Programs/Lumiran/Lumiran.exe"

shortcut installed "$install_dir\\Lumiran.exe"
expect installed "Local path" "$install_dir\\Lumiran.exe"
expect installed "Working directory" "$install_dir"
expect installed "Description" "Lumiran - 轻盈高效的桌面外壳与效率工具集"
expect installed "Icon location" "$install_dir\\Lumiran.exe"
expect installed "Icon index" "0"
grep -qi "argument" "$links/installed.txt" && fail "installed: the shortcut carries arguments"

shortcut in-root 'C:\Lumiran.exe'
expect in-root "Working directory" 'C:\'

# Wine completes a bare target against the current folder; the working
# directory stays empty all the same.
shortcut bare 'Lumiran.exe'
expect bare "Working directory" ""

if [ "$failures" -ne 0 ]; then
    cat "$links/installed.txt"
    exit 1
fi
echo "lnkinfo reads back all shortcut properties"
