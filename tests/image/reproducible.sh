#!/usr/bin/env bash
# Two clean builds of the same sources, in build trees at different paths,
# give byte-identical setup images (and stand-in suites), and with
# SOURCE_DATE_EPOCH byte-identical notices and bills of materials. A relink
# that makes the same image leaves those two alone.
#
#   reproducible.sh SOURCE_DIR
set -euo pipefail
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SOURCE_DATE_EPOCH=1700000000

build() {
    local tree=$1
    mkdir -p "$(dirname "$tree")"
    if ! { cmake -S "$src" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake" \
                 -DCMAKE_BUILD_TYPE=Release &&
           cmake --build "$tree" --target lumiran_setup -j"$(nproc)"; } >"$tree.log" 2>&1; then
        cat "$tree.log"
        echo "FAIL: the build in $tree failed"
        exit 1
    fi
}

build "$work/a"
build "$work/a much longer/second tree"

status=0
name=Lumiran-Setup-$(cat "$work/a/version.txt")-x64
for file in "$name.exe" "$name.notices.txt" "$name.cdx.json" suite/Lumiran.exe; do
    if cmp "$work/a/$file" "$work/a much longer/second tree/$file"; then
        echo "ok: $file identical ($(stat -c %s "$work/a/$file") bytes)"
    else
        echo "FAIL: $file differs between the two builds"
        status=1
    fi
done

# A relink to the same image, even without SOURCE_DATE_EPOCH, leaves both alone.
stamps() { stat -c %y "$work/a/$name".{exe,notices.txt,cdx.json}; }
before=$(stamps)
sleep 1 && touch "$work/a/liblumiran_core.a" && (unset SOURCE_DATE_EPOCH; build "$work/a")
if [ "$(stamps | head -n1)" = "$(head -n1 <<<"$before")" ] || [ "$(stamps | tail -n2)" != "$(tail -n2 <<<"$before")" ]; then
    echo "FAIL: a relink to the same image did not happen, or rewrote the notices or the bill of materials"; status=1
else echo "ok: relinked to the same image, the notices and the bill of materials were left alone"; fi
exit $status
