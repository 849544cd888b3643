#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later
#
# The batch survives the program's end when the user did not close it: the
# real program on a virtual X display, scans typed by xdotool at a scanner's
# speed, ticks and deletes from the keyboard; the program killed with SIGKILL
# at random moments (while idle, and in the middle of a scan being typed) and
# ended with SIGTERM. Each next start must show what the window showed: read
# from outside by saving the list (Ctrl+S) and exporting the combined
# document (which holds the ticks) through the dialogs. A user's close starts
# empty, and a state folder that cannot be used leaves the program working.
#   batch_journal_test.sh PROGRAM SCAN_HOST WORK_FOLDER [KILLS]
set -euo pipefail

program=$1 scan_host=$2 work=$3 kills=${4:-22}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/tools/virtual-display.sh"

rm -rf "$work"
mkdir -p "$work/out" "$work/state"
export XDG_STATE_HOME=$work/state
log=$work/program.log
program_pid= main= reads=0 passed=0
RANDOM=${QUENLORA_TEST_SEED:-$$}
echo "seed $RANDOM"

fail() {
  echo "FAILED: $*" >&2
  report_display "$work"
  [[ -f $log ]] && sed 's/^/  program: /' "$log" >&2
  exit 1
}
cleanup() {
  if [[ -n $program_pid ]]; then kill -9 "$program_pid" 2>/dev/null || true; fi
  end_processes "$program_pid"
  stop_virtual_display
}
trap cleanup EXIT

start_program() {
  QT_QPA_PLATFORM=xcb "$program" >>"$log" 2>&1 &
  program_pid=$!
  main=$(window_named '^Quenlora$' 60) || fail "no window titled Quenlora"
  focus_window "$main" 30 || fail "the window Quenlora did not take the focus"
  sleep 0.3
}

end_program() {
  local signal=$1
  kill "-$signal" "$program_pid"
  wait_for_exit "$program_pid" 30 || fail "the program still ran 30 s after SIG$signal"
  program_pid=
}

# Answers a save dialog with the path and dismisses the notice after it.
save_as() {
  local path=$1
  window_named '^Ulo' 20 >/dev/null || fail "no save dialog"
  sleep 0.5
  xdotool key ctrl+a
  xdotool type --delay 10 "$path"
  xdotool key Return
  local notice
  notice=$(window_named '^Vortanek$' 20) || fail "no notice after saving $path"
  focus_window "$notice" || fail "the notice did not take the focus"
  xdotool key Return
  for _ in $(seq 50); do
    xdotool search --onlyvisible --name '^Vortanek$' >/dev/null 2>&1 || break
    sleep 0.1
  done
  [[ -f $path ]] || fail "nothing saved to $path"
}

# What the window shows, as files: the list (codes in order) and the
# combined export (which codes are ticked); sets read_name to their name.
read_window() {
  local with_ticks=$1 name=$work/out/read-$reads
  reads=$((reads + 1))
  read_name=$name
  focus_window "$main" || fail "the window Quenlora did not take the focus"
  xdotool key ctrl+s
  save_as "$name.txt"
  if $with_ticks; then
    # Export, Combined: the menu's last item.
    xdotool key alt+e
    sleep 0.3
    xdotool key Up Return
    save_as "$name.xml"
  fi
}

same_reads() {
  local a=$1 b=$2 with_ticks=$3
  cmp -s "$a.txt" "$b.txt" || fail "$4: the list was $(tr -d '\r' <"$a.txt" | tr '\n' ' ') and is $(tr -d '\r' <"$b.txt" | tr '\n' ' ')"
  if $with_ticks; then
    cmp -s "$a.xml" "$b.xml" || fail "$4: the ticks differ ($(diff "$a.xml" "$b.xml" | head -5))"
  fi
}

next_code=0
# Scans typed as a scanner types them: each a burst of keys ended by
# Return; codes numbered from FIRST.
#   type_scans FIRST COUNT
type_scans() {
  local i
  for ((i = $1; i < $1 + $2; i++)); do
    xdotool type --delay 4 "$(printf 'https://%s/KP%05d' "$scan_host" "$i")"
    xdotool key Return
  done
}
scan() {
  type_scans "$next_code" "$1"
  next_code=$((next_code + $1))
}

# Ticks and deletes in the list: Tab into it, then the keys, then back.
list_keys() {
  xdotool key Tab Home "$@" shift+Tab
}

start_virtual_display
: >"$log"

# The rounds: work in the window, then a kill; the next start must show it.
start_program
read_window true; previous=$read_name
for ((round = 1; round <= kills; round++)); do
  scan $((1 + RANDOM % 4))
  case $((RANDOM % 4)) in
    0) list_keys space ;;
    1) list_keys Down space Down space ;;
    2) list_keys Down Delete ;;
    3) ;;
  esac
  if ((round % 2 == 0)); then
    # Idle: what the window shows now must come back exactly.
    sleep 0.2
    read_window true; shown=$read_name
    end_program KILL
    start_program
    read_window true; now=$read_name
    same_reads "$shown" "$now" true "kill $round while idle"
    previous=$now
  else
    # In the middle of scans being typed: the next start shows the batch
    # as it was before them plus some of them, in order.
    read_window false; before=$read_name
    first=$next_code
    next_code=$((next_code + 6))
    type_scans "$first" 6 &
    typing=$!
    sleep "0.$((RANDOM % 9 + 1))"
    end_program KILL
    wait_for_exit "$typing" 30 || fail "xdotool still typed 30 s after the kill"
    start_program
    read_window false; now=$read_name
    restored=$(tr -d '\r' <"$now.txt")
    found=false
    for ((k = 0; k <= 6; k++)); do
      expected=$(tr -d '\r' <"$before.txt"; for ((c = first; c < first + k; c++)); do printf 'KP%05d\n' "$c"; done)
      [[ $restored == "$expected" ]] && { found=true; break; }
    done
    $found || fail "kill $round while scanning: the list $(tr '\n' ' ' <<<"$restored") is not the earlier batch plus some of the scans"
    echo "kill $round while scanning: $k of 6 scans had been shown"
  fi
  passed=$((passed + 1))
done

# SIGTERM, as at a logout. The last code, just scanned and so unticked, is
# ticked (Space toggles, and the rounds may have left any row ticked).
scan 3
xdotool key Tab End space shift+Tab
read_window true; shown=$read_name
end_program TERM
[[ -n $(ls "$XDG_STATE_HOME/quenlora/"*.journal 2>/dev/null) ]] || fail "SIGTERM removed the journal"
start_program
read_window true; now=$read_name
same_reads "$shown" "$now" true "SIGTERM"
[[ -s $now.txt ]] || fail "SIGTERM: the batch came back empty"
last=$(tr -d '\r' <"$now.txt" | tail -n 1)
sed -n '/<NeporusenaBaleni>/,/<\/NeporusenaBaleni>/p' "$now.xml" | grep -q "$last" ||
  fail "SIGTERM: the ticked code $last came back unticked"
passed=$((passed + 1))
echo "SIGTERM: the batch came back"

# The user's close: nothing is kept.
close_program "$main" "$program_pid" || fail "the program did not end when its window was closed"
program_pid=
[[ -z $(ls "$XDG_STATE_HOME/quenlora/" 2>/dev/null) ]] || fail "the close left $(ls "$XDG_STATE_HOME/quenlora/")"
start_program
read_window false; now=$read_name
[[ ! -s $now.txt ]] || fail "after the user's close the next start is not empty"
close_program "$main" "$program_pid" || fail "the program did not end when its window was closed"
program_pid=
passed=$((passed + 1))
echo "the user's close: the next start is empty"

# A file where the state folder should be: the program works as ever.
rm -rf "$XDG_STATE_HOME"
echo file >"$XDG_STATE_HOME"
start_program
scan 2
read_window false; now=$read_name
[[ $(tr -d '\r' <"$now.txt" | wc -l) -eq 2 ]] || fail "with no state folder, the scans did not reach the list"
close_program "$main" "$program_pid" || fail "the program did not end when its window was closed"
program_pid=
passed=$((passed + 1))
echo "an unusable state folder: the program works"
echo "$passed passed, 0 failed"
