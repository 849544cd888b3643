#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later

# How tools/wine-run makes a new Wine prefix when Wine's first boot gets
# stuck, with stand-ins for wineboot, wineserver and localedef on the PATH:
# a boot stuck once is ended within its bound and the prefix made again from
# nothing; a boot stuck every time ends in a clear failure, not a wait.
#   wine_prefix_test.sh WORK_FOLDER
set -euo pipefail

work=$1
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
rm -rf "$work"
mkdir -p "$work/bin"
passed=0 failed=0
check() {
  if eval "$2"; then passed=$((passed + 1)); else echo "FAILED: $1" >&2; failed=$((failed + 1)); fi
}

# wineboot gets stuck on the boots that $work/stuck lists by number, after
# leaving a half-made prefix; the others make the prefix at once.
cat >"$work/bin/wineboot" <<'STANDIN'
#!/usr/bin/env bash
boots=$(($(cat "$STANDIN_STATE/boots" 2>/dev/null || echo 0) + 1))
echo "$boots" >"$STANDIN_STATE/boots"
mkdir -p "$WINEPREFIX/drive_c"
touch "$WINEPREFIX/drive_c/boot-$boots"
if grep -qx "$boots" "$STANDIN_STATE/stuck"; then exec sleep 600; fi
touch "$WINEPREFIX/system.reg"
STANDIN
printf '#!/bin/sh\nexit 0\n' >"$work/bin/wineserver"
printf '#!/usr/bin/env bash\nmkdir -p "${@: -1}"\n' >"$work/bin/localedef"
chmod +x "$work/bin/"*

# Makes the prefix with the boots listed stuck; prints wine-run's status.
prepare() {
  local name=$1
  shift
  export STANDIN_STATE=$work/$name QUENLORA_WINE_HOME=$work/$name/wine
  mkdir -p "$STANDIN_STATE"
  printf '%s\n' "$@" >"$STANDIN_STATE/stuck"
  local status=0
  PATH="$work/bin:$PATH" QUENLORA_WINE_BOOT_SECONDS=2 \
    "$root/tools/wine-run" --prepare cs_CZ.UTF-8 2>"$STANDIN_STATE/stderr" || status=$?
  echo "$status"
}

status=$(prepare once 1)
prefix=$work/once/wine/prefix-cs_CZ.UTF-8
check "a boot stuck once: wine-run --prepare exited $status" "[[ $status == 0 ]]"
check "a boot stuck once: no prefix" "[[ -f $prefix/system.reg ]]"
check "a boot stuck once: the half-made prefix was kept" "[[ ! -e $prefix/drive_c/boot-1 && -e $prefix/drive_c/boot-2 ]]"
check "a boot stuck once: not told" "grep -q 'did not settle (try 1' '$work/once/stderr'"

started=$SECONDS
status=$(prepare always 1 2)
check "a boot stuck always: wine-run --prepare exited $status" "[[ $status == 1 ]]"
check "a boot stuck always: waited $((SECONDS - started)) s" "(( SECONDS - started < 30 ))"
check "a boot stuck always: not told" "grep -q 'could not be made' '$work/always/stderr'"
check "a boot stuck always: a half-made prefix was left" "[[ ! -e $work/always/wine/prefix-cs_CZ.UTF-8 ]]"

status=$(prepare never)
check "a boot that settles: booted $(cat "$work/never/boots") times" "[[ $(cat "$work/never/boots") == 1 && $status == 0 ]]"
status=$(prepare never)
check "a prefix that is there: booted again" "[[ $(cat "$work/never/boots") == 1 && $status == 0 ]]"

echo "$passed passed, $failed failed"
((failed == 0))
