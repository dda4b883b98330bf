#!/bin/sh
# An author's CI for the smallest picker, with nothing of Huevane but the host package:
#   ci.sh HOST_ZIP PICKER_C  (mingw-w64, Wine, unzip; a Debian or Ubuntu runner)
set -eu
unzip -qo "$1" -d host && (cd host && sha256sum --quiet -c SHA256SUMS)
x86_64-w64-mingw32-gcc -shared -O2 -Wall -Werror -static-libgcc -I host -o picker.p "$2"
export WINEPREFIX="${WINEPREFIX:-$PWD/.wine}" WINEDEBUG=-all
printf 'rgb 64 160 224\nok\nrgb 64 160 224\nok\n' >pick.txt
status=0
wine host/huevane-host.exe --headless --module picker.p --server Minimal --color 0.8,0.5,0.3 \
  --script pick.txt --trace trace.txt --strict --timeout 60 --repeat 2 >lines.txt || status=$?
# The exit status first: with --strict a run can print its result lines and still fail (7).
test "$status" = 0 || { echo "picker CI: huevane-host exited $status" >&2; exit 1; }
test "$(grep -cx 'result 1 0.250980407 0.627451003 0.87843138' lines.txt)" = 2
wine host/sdk_host.exe --basic --server Minimal picker.p >sdk.txt
echo "picker CI: passed"
