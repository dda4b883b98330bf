#!/usr/bin/env bash
# Checks a Windows PE file's import and export tables with mingw objdump,
# and its version resource with mingw windres.
#
#   check_pe.sh [--objdump PROG] [--allow "A.dll B.dll ..."] [--system-only]
#               [--export SYMBOL]... [--no-symbol REGEX]...
#               [--windres PROG] [--version X.Y.Z] [--stripped-by PROG]
#               [--max-bytes N] FILE
#
# --allow        every imported DLL must be one of these (case-insensitive)
# --system-only  no mingw runtime DLL (lib*.dll) and no api-ms-win-* forwarder
# --export SYM   the export table must name SYM
# --no-symbol RE no symbol of the file's symbol table may match RE (extended
#                regex); the file must have a symbol table for this to tell
# --version V    the version resource says V (file and product version, the
#                numeric ones V.0), names the product Huevane and the file by
#                its own name, has a description and a copyright; and the
#                picker's default title, "Huevane V", is in the file
# --stripped-by PROG  check the file as the release package holds it: a copy
#                stripped with `PROG --strip-debug`, which must have no
#                .debug_* section left (and keeps what the other checks ask)
# --max-bytes N  the file as checked (the stripped copy with --stripped-by)
#                is at most N bytes
# Prints one PASS or FAIL line per file (with the reasons) and exits 1 on FAIL.
set -euo pipefail

objdump=x86_64-w64-mingw32-objdump
allow=""
system_only=0
exports=()
absent=()
windres=x86_64-w64-mingw32-windres
version=""
strip=""
max_bytes=""
while [[ $# -gt 1 ]]; do
  case $1 in
    --objdump) objdump=$2; shift 2 ;;
    --allow) allow=$2; shift 2 ;;
    --system-only) system_only=1; shift ;;
    --export) exports+=("$2"); shift 2 ;;
    --no-symbol) absent+=("$2"); shift 2 ;;
    --windres) windres=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    --stripped-by) strip=$2; shift 2 ;;
    --max-bytes) max_bytes=$2; shift 2 ;;
    *) echo "check_pe: unknown option $1" >&2; exit 2 ;;
  esac
done
file=${1:?usage: check_pe.sh [options] FILE}
name=$(basename "$file")

if [[ ! -f $file ]]; then
  echo "FAIL $name: file not found: $file"
  exit 1
fi
problems=()
if [[ -n $strip ]]; then
  stripped_dir=$(mktemp -d)
  trap 'rm -rf "$stripped_dir"' EXIT
  "$strip" --strip-debug -o "$stripped_dir/$name" "$file"
  file=$stripped_dir/$name
  mapfile -t debug < <("$objdump" -h "$file" | awk '$2 ~ /^\.debug_/ {print $2}')
  [[ ${#debug[@]} -eq 0 ]] || problems+=("stripped, it still has ${debug[*]}")
fi
if ! dump=$("$objdump" -p "$file" 2>&1); then
  echo "FAIL $name: $objdump -p failed: $dump"
  exit 1
fi

# "\tDLL Name: KERNEL32.dll" lines of the import directory.
mapfile -t imports < <(sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' <<<"$dump" | tr -d '\r')
# Export names: the rows after "[Ordinal/Name Pointer] Table" look like
# "\t[   0] _mod_descrip" (binutils 2.40).
mapfile -t exported < <(awk '/\[Ordinal\/Name Pointer\] Table/ {t = 1; next}
                             t && /^[[:space:]]*\[[[:space:]]*[0-9]+\]/ {print $NF; next}
                             t && NF == 0 {t = 0}' <<<"$dump")

lower_allow=" $(tr '[:upper:]' '[:lower:]' <<<"$allow" | xargs) "
for dll in "${imports[@]}"; do
  lower=$(tr '[:upper:]' '[:lower:]' <<<"$dll")
  if [[ -n $allow && $lower_allow != *" $lower "* ]]; then
    problems+=("imports $dll, which is not one of: $allow")
  fi
  if [[ $system_only -eq 1 && ( $lower == lib*.dll || $lower == api-ms-win-* ) ]]; then
    problems+=("imports $dll, a runtime DLL that is not part of Windows")
  fi
done
for sym in "${exports[@]}"; do
  found=0
  for e in "${exported[@]}"; do [[ $e == "$sym" ]] && found=1 && break; done
  [[ $found -eq 1 ]] || problems+=("does not export $sym (exports: ${exported[*]:-none})")
done

if [[ ${#absent[@]} -gt 0 ]]; then
  # COFF symbol rows end in the name: "[ 12](sec  1)(fl 0x00)... 0x... name".
  mapfile -t symbols < <("$objdump" -t "$file" 2>/dev/null | sed -n 's/^\[ *[0-9]*\](sec.* //p')
  if [[ ${#symbols[@]} -eq 0 ]]; then
    problems+=("has no symbol table, so --no-symbol cannot tell")
  fi
  for re in "${absent[@]}"; do
    for sym in "${symbols[@]}"; do
      [[ $sym =~ $re ]] && problems+=("carries symbol $sym (matches $re)")
    done
  done
fi

if [[ -n $version ]]; then
  resource=$("$windres" -J coff -i "$file" -O rc 2>&1 | tr -d '\r') || resource=""
  value() { sed -n "s/^ *VALUE \"$1\", \"\(.*\)\"$/\1/p" <<<"$resource"; }
  IFS=. read -r major minor patch <<<"$version"
  numeric="$major, $minor, $patch, 0"
  want=("FileVersion=$version" "ProductVersion=$version" "ProductName=Huevane"
        "OriginalFilename=$name")
  for pair in "${want[@]}"; do
    got=$(value "${pair%%=*}")
    [[ $got == "${pair#*=}" ]] || problems+=("version resource: ${pair%%=*} is '$got', not '${pair#*=}'")
  done
  for key in FileDescription LegalCopyright; do
    [[ -n $(value $key) ]] || problems+=("version resource: no $key")
  done
  for key in FILEVERSION PRODUCTVERSION; do
    grep -q "^ *$key $numeric\$" <<<"$resource" ||
      problems+=("version resource: $key is not $numeric")
  done
  title="Huevane $version"
  grep -qaF "$title" "$file" || problems+=("the default title '$title' is not in the file")
fi

bytes=$(stat -c %s "$file")
if [[ -n $max_bytes && $bytes -gt $max_bytes ]]; then
  problems+=("is $bytes bytes, over the $max_bytes allowed")
fi

if [[ ${#problems[@]} -eq 0 ]]; then
  echo "PASS $name${strip:+ (stripped)}: $bytes bytes${max_bytes:+ (at most $max_bytes)}; imports ${imports[*]:-nothing}; exports ${exported[*]:-nothing}${version:+; version $version}"
  exit 0
fi
echo "FAIL $name:"
printf '  %s\n' "${problems[@]}"
exit 1
