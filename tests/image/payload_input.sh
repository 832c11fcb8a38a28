#!/usr/bin/env bash
# LUMIRAN_SUITE_EXE: a missing or foreign file stops the configuration with a
# message naming it; a custom file is embedded byte for byte; touching or
# changing it rebuilds the image; a file that goes missing after the
# configuration stops the build with the same message.
#
#   payload_input.sh SOURCE_DIR SUITE_EXE   (any x64 executable to start from)
set -uo pipefail
src=$1
suite=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

configure() {  # TREE PAYLOAD
    cmake -S "$src" -B "$1" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake" \
          -DCMAKE_BUILD_TYPE=Release -DLUMIRAN_SUITE_EXE="$2" >"$1.log" 2>&1
}
build() {  # TREE
    cmake --build "$1" --target lumiran_setup -j"$(nproc)" >"$1.log" 2>&1
}
# The message's first line, then the path indented on a line of its own.
names_file() {  # LOG FIRST_LINE PATH
    grep -qF "$2" "$1" && grep -qxF "    $3" "$1"
}
image() { echo "$1/Lumiran-Setup-$(cat "$1/version.txt")-x64.exe"; }  # TREE
embedded_is() {  # TREE FILE
    wrestool -x --raw --type=10 --name=201 "$(image "$1")" >"$work/embedded" && cmp -s "$work/embedded" "$2"
}
mtime() { stat -c %y "$1"; }

# A missing file.
missing="$work/no such folder/Lumiran.exe"
if configure "$work/missing" "$missing"; then
    fail "configured with a missing payload"
elif names_file "$work/missing.log" "LUMIRAN_SUITE_EXE: no readable suite executable at" "$missing"; then
    ok "a missing payload stops the configuration"
else
    cat "$work/missing.log"; fail "no clear message for a missing payload"
fi

# A file that is no Windows executable.
foreign="$work/notes.txt"
echo "not a program" >"$foreign"
if configure "$work/foreign" "$foreign"; then
    fail "configured with a payload that is no executable"
elif names_file "$work/foreign.log" "LUMIRAN_SUITE_EXE: not a Windows executable" "$foreign"; then
    ok "a foreign payload stops the configuration"
else
    cat "$work/foreign.log"; fail "no clear message for a foreign payload"
fi

# A custom payload, in a folder whose name has a space, embedded byte for byte.
payload="$work/custom suite/Lumiran.exe"
mkdir -p "$(dirname "$payload")"
cp "$suite" "$payload"
printf 'custom payload, first edition' >>"$payload"
tree="$work/custom"
if ! configure "$tree" "$payload" || ! build "$tree"; then
    cat "$tree.log"; echo "FAIL: the build with a custom payload failed"; exit 1
fi
if embedded_is "$tree" "$payload"; then ok "the custom payload is embedded"; else fail "IDR_PAYLOAD is not the custom file"; fi

# Touching it rebuilds the image.
before=$(mtime "$(image "$tree")")
sleep 1
touch "$payload"
build "$tree" || { cat "$tree.log"; fail "rebuild after touch failed"; }
if [ "$(mtime "$(image "$tree")")" != "$before" ]; then ok "touching the payload relinks"; else fail "touching the payload left the image alone"; fi

# Changing it rebuilds the image with the new bytes.
sleep 1
printf ', second edition' >>"$payload"
build "$tree" || { cat "$tree.log"; fail "rebuild after change failed"; }
if embedded_is "$tree" "$payload"; then ok "the changed payload is embedded"; else fail "IDR_PAYLOAD is not the changed file"; fi

# Gone after the configuration: the build stops with the same message.
rm "$payload"
if build "$tree"; then
    fail "built without the payload"
elif names_file "$tree.log" "LUMIRAN_SUITE_EXE: no readable suite executable at" "$payload"; then
    ok "a payload gone since the configuration stops the build"
else
    cat "$tree.log"; fail "no clear message for a payload gone since the configuration"
fi

exit $((failures > 0))
