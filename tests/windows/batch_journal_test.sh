#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later
#
# The Windows program's batch survives its end under Wine, on a virtual
# display: scans typed as a scanner types them, then the process ended with
# TerminateProcess (a crash), and again by the messages of a logoff
# (WM_QUERYENDSESSION, WM_ENDSESSION) sent to its window. Each next start
# must show the batch, read by saving the list with Ctrl+S; a close with
# Alt+F4 then starts empty.
#   batch_journal_test.sh VORTANEK_EXE WIN32_PROBE_EXE SCAN_HOST WORK_FOLDER
set -euo pipefail

program=$1 probe=$2 scan_host=$3 work=$4
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/tools/virtual-display.sh"

rm -rf "$work/out"
mkdir -p "$work/out"
export QUENLORA_WINE_HOME=$work/wine
log=$work/program.log
program_pid= main= saves=0 passed=0

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

start_program() {
  "$root/tools/wine-run" cs_CZ.UTF-8 "$program" >>"$log" 2>&1 &
  program_pid=$!
  main=$(window_named '^Quenlora$' 120 "$program_pid") || fail "no window titled Quenlora"
  focus_window "$main" 60 || fail "the window Quenlora did not take the focus"
  sleep 0.5
}

scan() {
  local code
  for code in "$@"; do
    xdotool type --delay 10 "https://${scan_host}/${code}"
    xdotool key Return
  done
  sleep 0.3
}

# The list the window shows, saved with Ctrl+S; sets list to its lines.
saved_list() {
  local target=$work/out/list-$saves.txt
  saves=$((saves + 1))
  focus_window "$main" || fail "the window Quenlora did not take the focus"
  xdotool key ctrl+s
  window_named 'Ulo' 30 >/dev/null || fail "Ctrl+S showed no save dialog"
  sleep 0.5
  xdotool key ctrl+a
  xdotool type --delay 10 "Z:${target//\//\\}"
  xdotool key Return
  local notice
  notice=$(window_named '^Vortanek$' 30) || fail "no notice after the save"
  focus_window "$notice" || fail "the notice did not take the focus"
  xdotool key Return
  sleep 0.5
  [[ -f $target ]] || fail "the list was not written to $target"
  list=$(tr -d '\r' <"$target" | tr '\n' ' ')
}

probe() {
  timeout -k 5 120 "$root/tools/wine-run" cs_CZ.UTF-8 "$probe" "$@" >>"$log" 2>&1 || fail "win32_probe $* failed"
  wait_for_exit "$program_pid" 60 || fail "the program still ran 60 s after win32_probe $*"
  program_pid=
}

start_virtual_display
: >"$log"
# The Wine prefix first, so that the wait for the window is the program's own.
"$root/tools/wine-run" --prepare cs_CZ.UTF-8 >>"$log" 2>&1 || fail "no Wine prefix"

start_program
scan KP001 KP002 KP003
probe terminate Quenlora
start_program
saved_list
[[ $list == "KP001 KP002 KP003 " ]] || fail "after TerminateProcess the list is '$list'"
passed=$((passed + 1))
echo "TerminateProcess: the batch came back"

scan KP004
probe end-session Quenlora
start_program
saved_list
[[ $list == "KP001 KP002 KP003 KP004 " ]] || fail "after the session's end the list is '$list'"
passed=$((passed + 1))
echo "the session's end: the batch came back"

close_program "$main" "$program_pid" || fail "the program did not end when its window was closed"
program_pid=
start_program
saved_list
[[ -z ${list// /} ]] || fail "after Alt+F4 the next start shows '$list'"
close_program "$main" "$program_pid" || fail "the program did not end when its window was closed"
program_pid=
passed=$((passed + 1))
echo "Alt+F4: the next start is empty"
echo "$passed passed, 0 failed"
