#!/usr/bin/env bash
# The host package holds what an author needs to build a picker: the guide,
# its CI script and the smallest picker build with mingw-w64 from the
# unpacked package alone, nothing else on the include path.
#
#   picker_from_package.sh CC MODULE HOST SDK_HOST CHECK WORK
set -euo pipefail
cc=$1 module=$2 host=$3 sdk_host=$4 check=$5 work=$6
root=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work"
mkdir -p "$work/package"
# The project's own version: the packaged changelog needs its dated section.
version=$(sed -n 's/^project(huevane VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
SOURCE_DATE_EPOCH=315532800 bash "$root/scripts/make-dist" "$module" "$host" "$sdk_host" "$version" \
  "$work/dist" "$check" >/dev/null
python3 -m zipfile -e "$work/dist/huevane-host-$version-win64.zip" "$work/package"
cd "$work/package"
for file in writing-a-picker.md ci.sh minimal_picker.c host_api.h; do
  [[ -f $file ]] || { echo "FAIL: the package has no $file" >&2; exit 1; }
  grep -q "$file" README.txt || { echo "FAIL: README.txt does not name $file" >&2; exit 1; }
done
# As the guide's ci.sh builds it, with the package's folder as the only -I
# beside the compiler's own headers.
"$cc" -shared -O2 -Wall -Werror -static-libgcc -I . -o picker.p minimal_picker.c 2>&1 || {
  echo "FAIL: minimal_picker.c does not build from the package" >&2
  exit 1
}
exports=$(x86_64-w64-mingw32-objdump -p picker.p)
[[ $exports == *_mod_descrip* ]] || { echo "FAIL: picker.p exports no _mod_descrip" >&2; exit 1; }
echo "PASS: minimal_picker.c builds from the host package alone"
