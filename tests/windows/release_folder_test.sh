#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later

# What is offered beside the Windows downloads: two makings of the folder give
# the same source archive; the archive is the commit's tree; the Debian source
# package of Qt is complete (every file its .dsc names, with that checksum), and
# that of Qt's translations is, or its directions name what is missing;
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

# Every file a .dsc names is beside it with that checksum; for Qt's
# translations, whose tarballs a mirror may lack, a missing one must instead
# be named, with that checksum, by the directions that say where it is kept.
check_source() {
  local pattern=$1 directions=${2:-} dsc
  dsc=$(find "$folder" -maxdepth 1 -name "$pattern" | head -n 1)
  [[ -n $dsc ]] || { fail "no Debian source package $pattern"; return; }
  while read -r sum _ file; do
    if [[ -f $folder/$file ]]; then
      [[ $(sha256sum <"$folder/$file" | cut -d' ' -f1) == "$sum" ]] || fail "$file does not match $(basename "$dsc")"
    elif [[ -n $directions ]] && grep -qx "  $sum  $file" "$folder/$directions" 2>/dev/null; then
      :
    else
      fail "$file, named by $(basename "$dsc"), is missing${directions:+ and not named in $directions}"
    fi
  done < <(awk '/^Checksums-Sha256:/ { on = 1; next } /^[^ ]/ { on = 0 } on && NF == 3' "$dsc")
}
check_source 'qt6-base_*.dsc'
check_source 'qt6-translations_*.dsc' qt6-translations-source.txt
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
