#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later

# What is offered beside the Windows downloads: two makings of the folder give
# the same source archive; the archive is the commit's tree; the Debian source
# package of Qt is complete (every file its .dsc names, with that checksum);
# the recipe and the SPDX document are there; SHA256SUMS lists every file and
# each checksum holds.
#   release_folder_test.sh VERSION SPDX_DOCUMENT WORK_FOLDER
set -euo pipefail

version=$1 spdx=$2 work=$3
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
rm -rf "$work"
failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

"$root/packaging/windows/make-release-folder" "$version" "$spdx" "$work/first" >/dev/null 2>&1
sleep 1
"$root/packaging/windows/make-release-folder" "$version" "$spdx" "$work/second" >/dev/null 2>&1
source_archive=quenlora-$version-source.tar.xz
cmp -s "$work/first/$source_archive" "$work/second/$source_archive" || fail "two makings of the source archive differ"

folder=$work/first
listed=$(tar -tJf "$folder/$source_archive" | sed -n "s|^quenlora-$version/||p" | grep -v -e '/$' -e '^$' | LC_ALL=C sort)
tracked=$(git -C "$root" ls-tree -r --name-only HEAD | LC_ALL=C sort)
[[ $listed == "$tracked" ]] || fail "the source archive does not hold exactly the commit's files"

dsc=$(find "$folder" -maxdepth 1 -name 'qt6-base_*.dsc' | head -n 1)
if [[ -z $dsc ]]; then
  fail "no Debian source package of Qt"
else
  while read -r sum _ file; do
    [[ -f $folder/$file ]] || { fail "$file, named by $(basename "$dsc"), is missing"; continue; }
    [[ $(sha256sum <"$folder/$file" | cut -d' ' -f1) == "$sum" ]] || fail "$file does not match $(basename "$dsc")"
  done < <(awk '/^Checksums-Sha256:/ { on = 1; next } /^[^ ]/ { on = 0 } on && NF == 3' "$dsc")
fi
for file in build-windows-qt mingw-w64-x86_64.cmake "$(basename "$spdx")"; do
  [[ -s $folder/$file ]] || fail "$file is missing"
done

sums=$(cut -d' ' -f3- "$folder/SHA256SUMS" | LC_ALL=C sort)
files=$(cd "$folder" && find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%f\n' | LC_ALL=C sort)
[[ $sums == "$files" ]] || fail "SHA256SUMS does not list exactly the folder's files"
(cd "$folder" && sha256sum --quiet -c SHA256SUMS) || fail "a checksum in SHA256SUMS does not hold"

if ((failures > 0)); then
  echo "$failures failed" >&2
  exit 1
fi
echo "all passed"
