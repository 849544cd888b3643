#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later
#
# The long-path test of the core under Wine's trace of file calls: between
# the test's two marks, every path the Windows file calls were handed in the
# test's deep folder has the extended-length form ("\\?\"), and the calls
# that save, load, export and clean up were all seen.
#   long_paths_trace_test.sh WINE_RUN CORE_TESTS_EXE
set -euo pipefail

wine_run=$1
tests=$2
trace=$(mktemp)
trap 'rm -f "$trace"' EXIT

QUENLORA_WINEDEBUG=+file "$wine_run" cs_CZ.UTF-8 "$tests" --gtest_filter='Win32LongPaths.*' 2>"$trace" ||
  { tail -n 50 "$trace" >&2; echo "0 passed, 1 failed"; exit 1; }

failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

# Wine writes a call's first name as L"..." with each backslash doubled. The
# conversion to the system's internal form shows every path that reaches it,
# also the new name of a rename through a handle (SetFileInformationByHandle
# does not trace it); GetFullPathNameW, which makes the path full before the
# prefix is added, is the one call that is handed the user's form.
calls='CreateFileW|DeleteFileW|FindFirstFileExW|GetFileAttributesW|GetFileAttributesExW|MoveFileWithProgressW|MoveFileExW|CreateDirectoryW|RemoveDirectoryW|RtlDosPathNameToNtPathName_U_WithStatus'
window=$(sed -n '/quenlora-trace-begin/,/quenlora-trace-end/p' "$trace")
[[ -n $window ]] || fail "the trace holds no marks; was it written at all?"
deep=$(grep -E ":trace:file:($calls) \(?L\"" <<<"$window" | grep 'quenlora-long-path' || true)
while IFS= read -r line; do
  [[ -z $line ]] && continue
  call=$(sed -E 's/.*:trace:file:([A-Za-z_]+) .*/\1/' <<<"$line")
  name=$(sed -E 's/.*:trace:file:[A-Za-z_]+ \(?(L"[^"]*).*/\1/' <<<"$line")
  [[ $name == 'L"\\\\?\\'* ]] || fail "$call was handed ${name:0:120}"
done <<<"$deep"
for call in CreateFileW DeleteFileW FindFirstFileExW GetFileAttributesW RtlDosPathNameToNtPathName_U_WithStatus; do
  grep -qE ":trace:file:$call \(?L\"" <<<"$deep" || fail "no $call in the deep folder was traced"
done

echo "$(grep -c . <<<"$deep") file calls in the deep folder checked"
[[ $failures -eq 0 ]] && echo "1 passed, 0 failed" || { echo "0 passed, 1 failed"; exit 1; }
