#!/bin/sh
# The silent-install benchmark (make bench), or its smoke run (ctest).
#
#   bench/run.sh TREE [--smoke] [--out DIR] [--runs N] [--cold-runs N] [--sizes A,B]
#                     [--variant-ldflags FLAGS] [--variant-patch FILE]
#
# TREE is a built cross tree such as build/win64. Without a display the run
# gets a virtual one: the programs that the installers start open windows.
# See bench/bench.py for what is built, run and written.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
[ $# -ge 1 ] || { echo "usage: bench/run.sh TREE [--smoke] [--out DIR] [--runs N] [--cold-runs N] [--sizes A,B] [--variant-ldflags FLAGS] [--variant-patch FILE]" >&2; exit 2; }
for tool in makensis x86_64-w64-mingw32-gcc-posix wineserver "${WINE:-/usr/lib/wine/wine64}"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "bench: $tool is missing (make deps)" >&2; exit 1; }
done
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" /usr/bin/python3 "$here/bench.py" "$@"
fi
exec /usr/bin/python3 "$here/bench.py" "$@"
