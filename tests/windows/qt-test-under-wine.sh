#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later

# Runs a Qt Test program under Wine on a virtual display of its own and prints
# its log. Qt Test's console output does not come through Wine's standard
# output, so the log goes through a file.
#   qt-test-under-wine.sh LOCALE PROGRAM [ARGUMENT...]
set -uo pipefail

locale=$1 program=$2
shift 2
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
log=$(mktemp "${TMPDIR:-/tmp}/qt-test-log.XXXXXX")
"$root/tools/wine-run" --display "$locale" "$program" "$@" -o "Z:${log//\//\\},txt"
status=$?
cat "$log"
rm -f "$log"
exit $status
