#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later

# vortanek.exe is the whole Windows program, one file to hand a user: a GUI
# program that loads no DLL but Windows' own, with the program's icon in every
# size Explorer and the taskbar ask for.
#   program_file_test.sh VORTANEK_EXE
set -euo pipefail

exe=$1
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

headers=$(x86_64-w64-mingw32-objdump -p "$exe")
grep -q 'Subsystem.*(Windows GUI)' <<<"$headers" || fail "not a GUI-subsystem program"

# What a Windows 8.1 to 11 installation has; anything else would have to ship beside the program.
system_dlls='^(advapi32|authz|comdlg32|d3d9|d3d11|dwmapi|dwrite|dxgi|gdi32|imm32|kernel32|msvcrt|netapi32|ole32|oleaut32|shcore|shell32|shlwapi|user32|userenv|uxtheme|version|winmm|ws2_32|wtsapi32|api-ms-win-core-[a-z0-9-]+)\.dll$'
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u)
[[ -n $imports ]] || fail "no imports found"
while read -r dll; do
  [[ $dll =~ $system_dlls ]] || fail "imports $dll, which Windows does not have"
done <<<"$imports"

icon=$(mktemp)
trap 'rm -f "$icon"' EXIT
wrestool -x --type=group_icon --name=1 "$exe" >"$icon" || fail "no icon resource"
sizes=$(icotool -l "$icon" | sed -n 's/.*--width=\([0-9]*\) --height=\([0-9]*\) --bit-depth=32.*/\1x\2/p' | tr '\n' ' ')
[[ $sizes == "16x16 20x20 24x24 32x32 40x40 48x48 64x64 128x128 256x256 " ]] || fail "icon sizes are: $sizes"

echo "$(basename "$exe"): $(stat -c %s "$exe") bytes; imports $(wc -l <<<"$imports") system DLLs; icon $sizes"
[[ $failures -eq 0 ]] && echo "1 passed, 0 failed" || { echo "0 passed, 1 failed"; exit 1; }
