# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later

# Sourced by the scripts that show windows without a screen: a virtual X
# display of its own (Xvfb on a free display number) with a window manager,
# so that windows get activated, focused and decorated as on a desktop.
#   start_virtual_display [WIDTHxHEIGHT]   sets DISPLAY
#   stop_virtual_display
#   window_named PATTERN SECONDS [PID]    the id of a visible window so titled; with PID,
#                                         false as soon as that process has ended
#   list_windows                          the visible windows' titles, on standard error
#   report_display FOLDER                 for a failure: the windows, and a screenshot in FOLDER
#   focus_window WINDOW [SECONDS]         activates the window; false if it is not the active one then
#   close_program WINDOW PID [SECONDS]    closes the window as a user does; waits for the process to end
#   end_processes PID...                  ends processes, waiting a few seconds at most
#   wait_for_exit PID SECONDS             waits for a process to end; false if it still runs then
#   wait_for_wine PREFIX SECONDS          waits for a Wine prefix's processes to end; false if some still run
#   end_wine PREFIX                       ends a Wine prefix's processes and its server
# Nothing here waits without a bound: a test that fails must end at once, not
# when CTest's timeout runs out.

start_virtual_display() {
  local size=${1:-1280x1024}
  local number_file
  number_file=$(mktemp)
  # No auto-repeat: on a busy machine a key that xdotool presses and releases
  # can stay down past the repeat delay, and a doubled Return or Ctrl+S would
  # answer a dialog the test did not mean to answer.
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset -r 3>"$number_file" 2>/dev/null &
  QUENLORA_XVFB_PID=$!
  local waited=0
  while [[ ! -s $number_file ]]; do
    if ! kill -0 "$QUENLORA_XVFB_PID" 2>/dev/null || (( waited >= 100 )); then
      rm -f "$number_file"
      echo "the virtual display did not start" >&2
      return 1
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  export DISPLAY=:$(tr -d '[:space:]' <"$number_file")
  rm -f "$number_file"
  openbox --sm-disable >/dev/null 2>&1 &
  QUENLORA_WM_PID=$!
  # The window manager is ready once it has claimed the screen.
  for _ in $(seq 50); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
}

stop_virtual_display() {
  end_processes "${QUENLORA_WM_PID:-}" "${QUENLORA_XVFB_PID:-}"
  QUENLORA_WM_PID= QUENLORA_XVFB_PID=
  return 0
}

# Ends the given processes (empty arguments are skipped): TERM, then KILL for
# any still running after 5 s, then reaps those that are this shell's children.
end_processes() {
  local pid alive
  for pid in "$@"; do
    if [[ -n $pid ]]; then kill "$pid" 2>/dev/null || true; fi
  done
  for _ in $(seq 50); do
    alive=false
    for pid in "$@"; do
      if [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null; then alive=true; fi
    done
    $alive || break
    sleep 0.1
  done
  for pid in "$@"; do
    if [[ -n $pid ]]; then kill -KILL "$pid" 2>/dev/null || true; fi
  done
  # A killed process answers wait with its signal; that is no failure here.
  for pid in "$@"; do
    if [[ -n $pid ]]; then wait "$pid" 2>/dev/null || true; fi
  done
  return 0
}

# Waits up to SECONDS for a visible window whose title matches PATTERN,
# prints its id. Given the PID of the program that is to show it, it stops
# waiting when that program has ended, and says so on standard error.
#   window_named PATTERN SECONDS [PID]
window_named() {
  local pattern=$1 seconds=$2 pid=${3:-} id
  for _ in $(seq $((seconds * 10))); do
    id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1 || true)
    [[ -n $id ]] && { echo "$id"; return 0; }
    if [[ -n $pid ]] && ! kill -0 "$pid" 2>/dev/null; then
      echo "the program (process $pid) ended before a window titled '$pattern' showed" >&2
      return 1
    fi
    sleep 0.1
  done
  [[ -z $pid ]] || echo "the program (process $pid) still runs, with no window titled '$pattern' after $seconds s" >&2
  return 1
}

# Waits up to SECONDS for the process to end, and reaps it when it is this
# shell's child.
wait_for_exit() {
  local pid=$1 seconds=$2
  for _ in $(seq $((seconds * 10))); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid" 2>/dev/null || true
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# Waits up to SECONDS for every process of the Wine prefix to end.
wait_for_wine() {
  WINEPREFIX=$1 timeout "$2" wineserver --wait >/dev/null 2>&1
}

end_wine() {
  WINEPREFIX=$1 timeout 30 wineserver --kill >/dev/null 2>&1 || true
}

# For a failure's report: the titles of the windows on the display.
list_windows() {
  [[ -n ${DISPLAY:-} ]] || return 0
  echo "windows on the display:" >&2
  timeout 10 xdotool search --onlyvisible --name '.' getwindowname %@ 2>/dev/null | sed 's/^/  /' >&2 || true
}

# For a failure's report: the windows on the display, and a screenshot of the
# whole display kept in FOLDER.
report_display() {
  local folder=$1 shot
  list_windows
  [[ -n ${DISPLAY:-} ]] || return 0
  mkdir -p "$folder"
  shot=$folder/failure-$(date +%H%M%S-%N).png
  if timeout 20 import -display "$DISPLAY" -window root "$shot" 2>/dev/null; then
    echo "screenshot of the display: $shot" >&2
  else
    echo "no screenshot of the display could be taken" >&2
  fi
  return 0
}

# Whether the window is the active one, the one that keys go to.
window_has_focus() {
  [[ $(timeout 5 xdotool getactivewindow 2>/dev/null) == "$1" ]]
}

# Activates the window and waits up to SECONDS (20 by default) until it is the
# active one, so that the keys typed next reach it.
focus_window() {
  local window=$1 seconds=${2:-20}
  local deadline=$((SECONDS + seconds))
  while ((SECONDS < deadline)); do
    timeout 5 xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
    window_has_focus "$window" && return 0
    sleep 0.2
  done
  return 1
}

# Closes the program's window as a user does and waits for the process to
# end; false when it still runs after SECONDS (60 by default).
# A first start (a new Wine prefix most of all) can map the window well before
# it takes input, and a key pressed while another window or none has the focus
# is lost. So Alt+F4 is pressed only once the window has been activated and is
# seen to be the active one, and again while the process runs. From the third
# try on, the window is also asked to close the way a window manager's close
# button asks (_NET_CLOSE_WINDOW, which becomes WM_DELETE_WINDOW), which needs
# no focus; a program closes the same way either way.
close_program() {
  local window=$1 pid=$2 seconds=${3:-60}
  local deadline=$((SECONDS + seconds)) tries=0
  while kill -0 "$pid" 2>/dev/null; do
    ((SECONDS < deadline)) || return 1
    tries=$((tries + 1))
    if focus_window "$window" 2; then
      xdotool key alt+F4 >/dev/null 2>&1 || true
    fi
    if ((tries >= 3)); then
      timeout 5 wmctrl -i -c "$window" >/dev/null 2>&1 || true
    fi
    # A closing program needs a moment, a slow first start longer.
    for _ in $(seq $((tries < 3 ? 20 : 50))); do
      kill -0 "$pid" 2>/dev/null || return 0
      sleep 0.1
    done
  done
  return 0
}
