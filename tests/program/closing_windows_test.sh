#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later
#
# The test scripts' own way of closing a program through its window
# (tools/virtual-display.sh), on a virtual display: a window that ignores the
# first requests to close, as a program still starting up loses the first
# keys, is closed all the same, and another window that had the focus is not
# closed instead; a program that does not end is given up on in bounded time;
# a failure's report leaves a screenshot.
#   closing_windows_test.sh LATE_WINDOW WORK_FOLDER
set -euo pipefail

late_window=$1 work=$2
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/tools/virtual-display.sh"

rm -rf "$work"
mkdir -p "$work"
late_pid= other_pid= stuck_pid=
passed=0 failed=0

cleanup() {
  end_processes "$late_pid" "$other_pid" "$stuck_pid"
  stop_virtual_display
}
trap cleanup EXIT
check() {
  if "${@:2}"; then
    passed=$((passed + 1))
  else
    echo "FAILED: $1" >&2
    failed=$((failed + 1))
  fi
}

start_virtual_display
QT_QPA_PLATFORM=xcb "$late_window" "late window" 2 >"$work/late.log" 2>&1 &
late_pid=$!
late=$(window_named '^late window$' 30) || { echo "FAILED: the late window did not show"; exit 1; }
xmessage -name other "another window" >/dev/null 2>&1 &
other_pid=$!
other=$(window_named '^other$' 30) || { echo "FAILED: the other window did not show"; exit 1; }
focus_window "$other" || { echo "FAILED: the other window took no focus"; exit 1; }

# 1. Closed although it ignores the first two requests and another window had the focus.
check "the late window was not closed" close_program "$late" "$late_pid" 60
check "the window that had the focus was closed instead" kill -0 "$other_pid"

# 2. A program that does not end when its window closes is given up on, in
# about the time given, not waited for.
sleep 600 &
stuck_pid=$!
started=$SECONDS
ended=true
close_program "$other" "$stuck_pid" 5 || ended=false
check "close_program took the ended window's process for ended" test "$ended" = false
check "close_program waited $((SECONDS - started)) s for a process given 5 s" test $((SECONDS - started)) -le 25

# 3. A failure's report names the windows and keeps a screenshot.
report_display "$work/report" 2>"$work/report.log"
shot=$(ls "$work/report"/failure-*.png 2>/dev/null | head -n 1 || true)
check "report_display left no PNG screenshot" grep -q 'PNG image' <(file "${shot:-/dev/null}")

echo "$passed passed, $failed failed"
((failed == 0))
