# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later

# Sourced by the scripts that show windows without a screen: a virtual X
# display of its own (Xvfb on a free display number) with a window manager,
# so that windows get activated, focused and decorated as on a desktop.
#   start_virtual_display [WIDTHxHEIGHT]   sets DISPLAY
#   stop_virtual_display
#   window_named PATTERN SECONDS          the id of a visible window so titled
#   list_windows                          the visible windows' titles, on standard error
#   close_with_alt_f4 WINDOW PID          Alt+F4 on the window; waits for the process to end

start_virtual_display() {
  local size=${1:-1280x1024}
  local number_file
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$number_file" 2>/dev/null &
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
  [[ -n ${QUENLORA_WM_PID:-} ]] && kill "$QUENLORA_WM_PID" 2>/dev/null || true
  [[ -n ${QUENLORA_XVFB_PID:-} ]] && kill "$QUENLORA_XVFB_PID" 2>/dev/null || true
  # A killed process answers wait with its signal; that is no failure here.
  wait ${QUENLORA_WM_PID:-} ${QUENLORA_XVFB_PID:-} 2>/dev/null || true
  QUENLORA_WM_PID= QUENLORA_XVFB_PID=
  return 0
}

# Waits up to SECONDS for a visible window whose title matches PATTERN,
# prints its id.
#   window_named PATTERN SECONDS
window_named() {
  local pattern=$1 seconds=$2 id
  for _ in $(seq $((seconds * 10))); do
    id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1 || true)
    [[ -n $id ]] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# For a failure's report: the titles of the windows on the display.
list_windows() {
  [[ -n ${DISPLAY:-} ]] || return 0
  echo "windows on the display:" >&2
  xdotool search --onlyvisible --name '.' getwindowname %@ 2>/dev/null | sed 's/^/  /' >&2 || true
}

# Closes the window with Alt+F4, as a user does, and waits up to 10 s for the
# process to end; false when it is still running then.
close_with_alt_f4() {
  local window=$1 pid=$2
  xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
  xdotool key alt+F4
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  return 1
}
