#!/usr/bin/env bash
# Two clean builds of the same sources, in build trees at different paths,
# give byte-identical setup images (and stand-in suites).
#
#   reproducible.sh SOURCE_DIR
set -euo pipefail
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

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
for file in "Lumiran-Setup-$(cat "$work/a/version.txt")-x64.exe" suite/Lumiran.exe; do
    if cmp "$work/a/$file" "$work/a much longer/second tree/$file"; then
        echo "ok: $file identical ($(stat -c %s "$work/a/$file") bytes)"
    else
        echo "FAIL: $file differs between the two builds"
        status=1
    fi
done
exit $status
