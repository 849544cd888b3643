#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later

# The Windows zip: two makings of it, at different times and in different
# time zones, give the same bytes; inside are exactly the program, the Czech
# text, the licence and the third-party notices, with fixed times and modes,
# the texts in UTF-8 with its mark and CR LF line ends.
#   zip_test.sh VORTANEK_EXE ICON VERSION WORK_FOLDER
set -euo pipefail

exe=$1 icon=$2 version=$3 work=$4
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
rm -rf "$work"
mkdir -p "$work/first" "$work/second" "$work/third"
zip_name=quenlora-$version-windows-x64.zip
failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

TZ=UTC "$root/packaging/windows/make-packages" "$exe" "$icon" "$version" "$work/first" >/dev/null
sleep 2
TZ=Asia/Tokyo "$root/packaging/windows/make-packages" "$exe" "$icon" "$version" "$work/second" >/dev/null
cmp -s "$work/first/$zip_name" "$work/second/$zip_name" || fail "two makings of the zip differ"

# The installer's package code: the same for the same inputs, another one when
# any input differs, here only the icon (the product code stays).
msi_name=quenlora-$version-x64.msi
package_code() { msiinfo suminfo "$1" | sed -n 's/^Revision number (UUID): //p'; }
product_code() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'; }
cp "$icon" "$work/other.ico"
printf '\0' >>"$work/other.ico"
"$root/packaging/windows/make-packages" "$exe" "$work/other.ico" "$version" "$work/third" >/dev/null
first_code=$(package_code "$work/first/$msi_name")
[[ -n $first_code ]] || fail "the installer has no package code"
[[ $(package_code "$work/second/$msi_name") == "$first_code" ]] || fail "two makings of the installer have other package codes"
[[ $(package_code "$work/third/$msi_name") != "$first_code" ]] || fail "another icon kept the package code $first_code"
[[ $(product_code "$work/third/$msi_name") == "$(product_code "$work/first/$msi_name")" ]] ||
  fail "another icon changed the product code"

listing=$(zipinfo "$work/first/$zip_name" | sed -n '/^-/p' | awk '{ print $1, $NF == "spustit.txt" ? "Quenlora/Jak spustit.txt" : $NF }')
expected=$'-rw-r--r-- Quenlora/vortanek.exe\n-rw-r--r-- Quenlora/Jak spustit.txt\n-rw-r--r-- Quenlora/LICENSE.txt\n-rw-r--r-- Quenlora/THIRD-PARTY-NOTICES.txt'
[[ $listing == "$expected" ]] || fail "the zip holds: $listing"
mkdir "$work/unpacked"
(cd "$work/unpacked" && unzip -q "$work/first/$zip_name")
cmp -s "$exe" "$work/unpacked/Quenlora/vortanek.exe" || fail "the zip's program is not the built one"
# Every text in the form Windows' Notepad reads everywhere: UTF-8 with its mark, CR LF.
for name in "Jak spustit.txt" LICENSE.txt THIRD-PARTY-NOTICES.txt; do
  text=$work/unpacked/Quenlora/$name
  [[ $(head -c 3 "$text" | od -An -tx1 | tr -d ' ') == efbbbf ]] || fail "$name has no UTF-8 mark"
  lines=$(wc -l <"$text")
  crlf=$(grep -c $'\r$' "$text" || true)
  [[ $lines -gt 5 && $crlf == "$lines" ]] || fail "not every line of $name ends in CR LF ($crlf of $lines)"
  iconv -f UTF-8 -t UTF-8 "$text" >/dev/null || fail "$name is not UTF-8"
done
text=$work/unpacked/Quenlora/Jak\ spustit.txt
grep -q "vortanek.exe" "$text" || fail "the text does not name the program"
grep -qF "Spuštění" "$text" || fail "the text is not the Czech one"
grep -qF "Zdrojový kód" "$text" || fail "the text does not say where the source is"
tail -c +4 "$work/unpacked/Quenlora/LICENSE.txt" | tr -d '\r' | cmp -s - "$root/LICENSE" ||
  fail "LICENSE.txt is not the program's licence"
cmp -s "$(dirname "$exe")/THIRD-PARTY-NOTICES.txt" "$work/unpacked/Quenlora/THIRD-PARTY-NOTICES.txt" ||
  fail "THIRD-PARTY-NOTICES.txt is not the one written for the program"
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)}
stamp=$(TZ=UTC date -d "@$epoch" '+%Y%m%d.%H%M')
[[ $(zipinfo -T "$work/first/$zip_name" | sed -n '/^-/p' | awk '{ print $7 }' | sort -u) == "${stamp:0:13}"* ]] ||
  fail "the files' times are not the last commit's ($stamp): $(zipinfo -T "$work/first/$zip_name" | sed -n '/^-/p')"

if ((failures > 0)); then
  echo "$failures failed" >&2
  exit 1
fi
echo "all passed"
