#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later

# Makes the Debian package of a build into a scratch folder and checks it: it
# carries its machine-readable copyright statement and its changelog, and
# lintian finds no error and no warning other than those named below.
#
# Usage: check-deb.sh BUILD_DIR SCRATCH_DIR
set -euo pipefail

build_dir=$1 scratch=$2
# Warnings left on purpose:
#   no-manual-page  the program is a desktop application started from the
#                   desktop's menu; it takes no options to document.
accepted_warnings=(no-manual-page)

case "$scratch" in
  ""|/|/usr|/usr/*|"${HOME:-/}") echo "refusing to use \"$scratch\" as the scratch folder" >&2; exit 2 ;;
esac
rm -rf "$scratch"
mkdir -p "$scratch"
cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; exit 1; }
deb=$(find "$scratch" -maxdepth 1 -name 'quenlora_*.deb' | head -n 1)
[[ -n $deb ]] || { echo "cpack made no package" >&2; exit 1; }

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

contents=$(dpkg-deb -c "$deb")
for file in ./usr/share/doc/quenlora/copyright ./usr/share/doc/quenlora/changelog.gz; do
  grep -q " $file\$" <<<"$contents" || fail "the package lacks $file"
done
mkdir "$scratch/unpacked"
dpkg-deb -x "$deb" "$scratch/unpacked"
copyright=$scratch/unpacked/usr/share/doc/quenlora/copyright
if [[ -f $copyright ]]; then
  head -n 1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "the copyright file is not in the machine-readable format"
  grep -qx 'License: GPL-3+' "$copyright" || fail "the copyright file does not state GPL-3+"
fi

# lintian says it runs as root when it does; that is no finding.
report=$(lintian --fail-on none --tag-display-limit 0 "$deb" 2>&1 | grep -v 'running with root privileges' || true)
printf '%s\n' "$report"
while IFS= read -r line; do
  [[ $line =~ ^([EW]):\ [^:]+:\ ([^ ]+) ]] || continue
  level=${BASH_REMATCH[1]} tag=${BASH_REMATCH[2]}
  if [[ $level == E ]] || ! printf '%s\n' "${accepted_warnings[@]}" | grep -qx "$tag"; then
    fail "lintian: $line"
  fi
done <<<"$report"

if ((failures > 0)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "the Debian package $(basename "$deb") passes"
