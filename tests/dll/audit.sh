#!/usr/bin/env bash
# Traces every file that a silent install looks up while the image runs from
# a folder of its own (strace on the Wine processes), and fails on any look-up
# of a DLL in that folder: each one is a place where a planted file would be
# taken.
#
#   audit.sh WINE_DIR IMAGE [clean|probes]
#
# "clean" (the default) passes when there is no such look-up; "probes" when
# there is one at least (the variant without the restriction: the audit sees
# the attack).
#
# Allowed, because no image can avoid them under Wine: its own imports of
# kernel32 and the C runtime, and kernel32's of kernelbase, which Wine looks
# for in the folder before any code of the image runs (Windows takes these
# KnownDLLs from System32 without looking), and the look-up of mscoree.dll
# by Wine's msvcrt at exit, which asks for the handle of a loaded module and
# loads nothing.
set -uo pipefail
wine_dir=$1 image=$2 expect=${3:-clean}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
WINE=${WINE:-/usr/lib/wine/wine64}
# shellcheck source=../wine/prefix.sh
. "$source_dir/tests/wine/prefix.sh"
allowed=" kernel32.dll kernelbase.dll msvcrt.dll mscoree.dll "

require_display
command -v strace >/dev/null || { echo "SKIP: strace not installed"; exit 77; }

export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d;winedbg.exe=d"
fresh_prefix "$wine_dir"

folder=$WINEPREFIX/drive_c/Downloads
mkdir -p "$folder"
image_name=$(basename "$image")
cp "$image" "$folder/$image_name" || exit 1

# The prefix's own services start outside the trace, so that it holds the
# installer and what it starts (the suite) only.
"$WINE" cmd /c exit >/dev/null 2>&1

trace=$WINEPREFIX/strace.log
rc_file=$WINEPREFIX/rc
(cd "$folder" && strace -f -qq -e trace=file -o "$trace" \
    sh -c '"$1" "C:\\Downloads\\$3" /S; echo $? >"$2"' sh "$WINE" "$rc_file" "$image_name") &
tracer=$!
for _ in $(seq 600); do
    [ -s "$rc_file" ] && break
    sleep 0.1
done
wineserver -k 2>/dev/null  # the started suite runs on, and strace waits for it
wait $tracer
rc=$(cat "$rc_file" 2>/dev/null || echo "none")

failures=0
[ "$rc" = 0 ] || { echo "FAIL: the silent install exits with $rc"; failures=1; }
# Wine reaches C: through dosdevices/c:, sometimes through drive_c.
probes=$(grep -oiE '"[^"]*/(dosdevices/c:|drive_c)/downloads/[^"/]*\.(dll|drv)"' "$trace" |
         sed -E 's|.*/||; s|"$||' | tr 'A-Z' 'a-z' | sort -u)
total=$(grep -ciE '/(dosdevices/c:|drive_c)/downloads/' "$trace")
echo "the trace holds $(wc -l <"$trace") file operations, $total of them in the image's folder"
unexpected=0
for name in $probes; do
    case $allowed in
        *" $name "*) echo "allowed: $name" ;;
        *) echo "looked up in the image's folder: $name"; unexpected=$((unexpected + 1)) ;;
    esac
done
[ "$total" -gt 0 ] || { echo "FAIL: the trace never saw the image's folder"; failures=1; }
if [ "$expect" = probes ]; then
    [ $unexpected -gt 0 ] || { echo "FAIL: no DLL looked up in the image's folder, so this run cannot show the attack"; failures=1; }
    [ $failures -eq 0 ] && echo "ok: without the restriction $unexpected DLL(s) are looked up in the image's folder"
else
    [ $unexpected -eq 0 ] || { echo "FAIL: $unexpected DLL(s) looked up in the image's folder"; failures=1; }
    [ $failures -eq 0 ] && echo "ok: no DLL is looked up in the image's folder"
fi
exit $failures
