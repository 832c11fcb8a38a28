#!/usr/bin/env bash
# Runs a setup image silently from a folder of its own, C:\Downloads, with
# marker DLLs planted beside it, and looks for the markers they leave when
# loaded.
#
#   plant_test.sh WINE_DIR IMAGE none|loaded PLANTED_DLL NAME...
#
# "none": the install works and no planted DLL was loaded. "loaded": at
# least one was (the variant without the restriction: the attack is seen).
set -uo pipefail
wine_dir=$1 image=$2 expect=$3 planted=$4
shift 4
names=("$@")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
WINE=${WINE:-/usr/lib/wine/wine64}
# shellcheck source=../wine/prefix.sh
. "$source_dir/tests/wine/prefix.sh"

require_display

# Native first for the planted names, as the Windows loader takes the first
# file it finds; no crash dialog that could hang the run.
overrides=$(IFS=,; echo "${names[*]%.dll}")
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d;winedbg.exe=d;$overrides=n,b"
fresh_prefix "$wine_dir"

folder=$WINEPREFIX/drive_c/Downloads
mkdir -p "$folder"
image_name=$(basename "$image")
cp "$image" "$folder/$image_name" || exit 1
for name in "${names[@]}"; do cp "$planted" "$folder/$name" || exit 1; done

(cd "$folder" && "$WINE" "C:\\Downloads\\$image_name" /S)
rc=$?
user=$(prefix_user)
installed=$WINEPREFIX/drive_c/users/$user/AppData/Local/Programs/Lumiran/Lumiran.exe
loaded=$(cd "$folder" && ls -- *.loaded 2>/dev/null | sed 's/\.loaded$//' | tr '\n' ' ')
echo "planted: ${names[*]}; exit code $rc; loaded: ${loaded:-none}"

case $expect in
    none)
        failures=0
        [ $rc -eq 0 ] || { echo "FAIL: the silent install exits with $rc"; failures=1; }
        [ -f "$installed" ] || { echo "FAIL: Lumiran.exe was not written"; failures=1; }
        if [ -n "$loaded" ]; then
            echo "FAIL: planted DLL(s) loaded from the image's folder: $loaded"
            # What the loader binds before the entry point can restrict anything.
            early=$(x86_64-w64-mingw32-objdump -p "$image" | sed -n 's/^\tDLL Name: //p' |
                    grep -viE '^(kernel32|msvcrt)\.dll$' | tr '\n' ' ')
            [ -z "$early" ] || echo "  the image imports $early- these, and what their DllMain" \
                "loads, come in before the entry point restricts the search"
            failures=1
        fi
        [ $failures -eq 0 ] && echo "ok: installed, and no planted DLL was loaded"
        exit $failures
        ;;
    loaded)
        if [ -n "$loaded" ]; then
            echo "ok: without the restriction the planted DLL(s) are loaded: $loaded"
            exit 0
        fi
        echo "FAIL: no planted DLL was loaded, so this run cannot show the attack"
        exit 1
        ;;
esac
echo "unknown expectation '$expect'"
exit 2
