#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later

# The Windows program as a user meets it, under Wine on a virtual display:
# start vortanek.exe, wait for the window titled "Quenlora", scan a code the
# way a scanner does (keys, then Return), save the list with Ctrl+S through
# the real save dialog, confirm the notice, check the file's bytes, close the
# program with Alt+F4.
#   program_smoke_test.sh VORTANEK_EXE SCAN_HOST WORK_FOLDER [SCREENSHOT.png]
set -euo pipefail

program=$1 scan_host=$2 work=$3 screenshot=${4:-}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/tools/virtual-display.sh"

rm -rf "$work/out"
mkdir -p "$work/out"
export QUENLORA_WINE_HOME=$work/wine
log=$work/program.log
program_pid=

fail() {
  echo "FAILED: $*" >&2
  report_display "$work"
  [[ -f $log ]] && sed 's/^/  program: /' "$log" >&2
  exit 1
}
cleanup() {
  end_processes "$program_pid"
  end_wine "$QUENLORA_WINE_HOME/prefix-cs_CZ.UTF-8"
  stop_virtual_display
}
trap cleanup EXIT

start_virtual_display
# The Wine prefix first, so that the time to the window is the program's own.
started=$(date +%s%N)
"$root/tools/wine-run" --prepare cs_CZ.UTF-8 >"$log" 2>&1 || fail "no Wine prefix"
echo "Wine prefix made in $(( ($(date +%s%N) - started) / 1000000 )) ms"
started=$(date +%s%N)
"$root/tools/wine-run" cs_CZ.UTF-8 "$program" >>"$log" 2>&1 &
program_pid=$!

main=$(window_named '^Quenlora$' 120 "$program_pid") || fail "no window titled Quenlora"
echo "window up after $(( ($(date +%s%N) - started) / 1000000 )) ms"
focus_window "$main" 60 || fail "the window Quenlora did not take the focus"
sleep 0.5

# A scanner types the URL and presses Enter.
xdotool type --delay 20 "https://${scan_host}/abc-123x"
xdotool key Return
sleep 0.5
[[ -n $screenshot ]] && import -window root "$screenshot"

xdotool key ctrl+s
dialog=$(window_named '^Uložit seznam$|^Uložit jako$|Uložit' 30) || fail "Ctrl+S showed no save dialog"
sleep 0.5
target_unix=$work/out/seznam.txt
target_windows="Z:${target_unix//\//\\}"
# The name box has the focus and proposes a name; the typed path replaces it.
xdotool key ctrl+a
xdotool type --delay 10 "$target_windows"
xdotool key Return

notice=$(window_named '^Vortanek$' 30) || fail "no notice after the save"
focus_window "$notice" || fail "the notice did not take the focus"
xdotool key Return
sleep 0.5

expected=$(printf 'ABC-123X\r\n' | od -An -tx1)
[[ -f $target_unix ]] || fail "the list was not written to $target_unix"
actual=$(od -An -tx1 <"$target_unix")
[[ $actual == "$expected" ]] || fail "the list holds$actual, expected$expected"
echo "saved list: $(od -An -c <"$target_unix" | tr -s ' ')"

close_program "$main" "$program_pid" || fail "the program did not end when its window was closed"
# It has ended: this wait only reads its status.
wait "$program_pid" || fail "the program ended with status $?"
program_pid=
echo "1 passed, 0 failed"
