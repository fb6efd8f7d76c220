#!/usr/bin/env bash
# Checks a built Windows module as the host will load it: PE32 for i386,
# `_mod_descrip` its only export, no DLL dependency beyond the system's own
# (in particular none on the compiler's libgcc, libstdc++ or libwinpthread
# DLLs: those are linked in statically), and the debug print reaching the
# debugger through OutputDebugStringA from kernel32.
set -euo pipefail
dll=$1
dump=$(i686-w64-mingw32-objdump -p "$dll")

fail() { echo "check-dll: $dll: $*" >&2; exit 1; }

grep -q '^architecture: i386' <<<"$(i686-w64-mingw32-objdump -f "$dll")" || fail "not an i386 image"
grep -q 'Magic.*010b.*(PE32)' <<<"$dump" || fail "not PE32"

exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | grep -E '^\s+\[ *[0-9]+\]' | sed -E 's/^\s+\[ *[0-9]+\] //' || true)
[[ "$exports" == "_mod_descrip" ]] || fail "exports must be exactly _mod_descrip, found: ${exports:-nothing}"

imports=$(grep 'DLL Name:' <<<"$dump" | awk '{print tolower($3)}' | sort -u)
for dll_name in $imports; do
  case "$dll_name" in
    libgcc*|libstdc++*|libwinpthread*) fail "depends on the compiler's $dll_name: link it statically" ;;
    kernel32.dll|msvcrt.dll|user32.dll|advapi32.dll) ;;
    *) fail "depends on $dll_name" ;;
  esac
done

# The import table lists, under each DLL name, "hint name" rows of the
# functions taken from it.
kernel32_functions=$(awk '/DLL Name:/ {dll = tolower($3)} dll == "kernel32.dll" && NF == 3 && $1 ~ /^[0-9a-f]+$/ {print $3}' <<<"$dump")
grep -qx OutputDebugStringA <<<"$kernel32_functions" || fail "does not import OutputDebugStringA from kernel32"

echo "check-dll: $dll: PE32 i386, exports only _mod_descrip, imports: $(echo $imports), debug print through OutputDebugStringA"
