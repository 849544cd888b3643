#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs a build into a scratch prefix and checks that the program, its desktop
# entry, its theme icons and its AppStream metadata land where desktops look for
# them, that they name each other consistently, and that desktop-file-validate
# and appstreamcli accept them without errors or warnings.
#
# Usage: check-install.sh BUILD_DIR SCRATCH_PREFIX APP_ID PROGRAM ICON_SVG "SIZES"
set -euo pipefail

if [[ $# -ne 6 ]]; then
  echo "usage: $0 BUILD_DIR SCRATCH_PREFIX APP_ID PROGRAM ICON_SVG \"SIZES\"" >&2
  exit 2
fi
build_dir=$1 prefix=$2 app_id=$3 program=$4 icon_svg=$5
read -r -a sizes <<<"$6"

# The prefix is emptied first; refuse anything that does not look like a scratch folder.
case "$prefix" in
  ""|/|/usr|/usr/*|"${HOME:-/}") echo "refusing to use \"$prefix\" as the scratch prefix" >&2; exit 2 ;;
esac
rm -rf "$prefix"
mkdir -p "$prefix"
cmake --install "$build_dir" --prefix "$prefix" >/dev/null

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

desktop=share/applications/$app_id.desktop
metainfo=share/metainfo/$app_id.metainfo.xml
scalable=share/icons/hicolor/scalable/apps/$app_id.svg

# Exactly these files, nothing missing and nothing else.
expected=("bin/$program" "$desktop" "$metainfo" "$scalable" share/doc/quenlora/copyright share/doc/quenlora/changelog.gz)
for size in "${sizes[@]}"; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
installed=$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
wanted=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)
while IFS= read -r file; do
  [[ -n "$file" ]] && fail "not installed: $file"
done < <(LC_ALL=C comm -13 <(echo "$installed") <(echo "$wanted"))
while IFS= read -r file; do
  [[ -n "$file" ]] && fail "installed but not expected: $file"
done < <(LC_ALL=C comm -23 <(echo "$installed") <(echo "$wanted"))

[[ -f "$prefix/bin/$program" && -x "$prefix/bin/$program" ]] || fail "bin/$program is not an executable file"

if [[ -f "$prefix/$scalable" ]] && ! cmp -s "$icon_svg" "$prefix/$scalable"; then
  fail "$scalable differs from $icon_svg"
fi

# Each bitmap is a PNG of its folder's size, with an alpha channel for the rounded corners.
for size in "${sizes[@]}"; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/$app_id.png
  [[ -f "$png" ]] || continue
  signature=$(od -An -tx1 -N8 "$png" | tr -d ' \n')
  if [[ "$signature" != 89504e470d0a1a0a ]]; then
    fail "${png#"$prefix"/} is not a PNG image"
    continue
  fi
  read -r width height < <(od -An -tu4 --endian=big -j16 -N8 "$png")
  [[ "$width" == "$size" && "$height" == "$size" ]] ||
    fail "${png#"$prefix"/} is ${width}x${height} pixels, not ${size}x${size}"
  color_type=$(od -An -tu1 -j25 -N1 "$png" | tr -d ' ')
  [[ "$color_type" == 6 ]] || fail "${png#"$prefix"/} has no alpha channel (PNG colour type $color_type)"
done

# The entry starts the installed program and shows the installed icon; the metadata launches the entry.
if [[ -f "$prefix/$desktop" ]]; then
  exec_line=$(grep -m1 '^Exec=' "$prefix/$desktop" || true)
  [[ "$exec_line" == "Exec=$program" ]] || fail "$desktop: expected Exec=$program, found '$exec_line'"
  icon_line=$(grep -m1 '^Icon=' "$prefix/$desktop" || true)
  [[ "$icon_line" == "Icon=$app_id" ]] || fail "$desktop: expected Icon=$app_id, found '$icon_line'"
fi
if [[ -f "$prefix/$metainfo" ]]; then
  grep -q "<id>$app_id</id>" "$prefix/$metainfo" || fail "$metainfo: component id is not $app_id"
  grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$prefix/$metainfo" ||
    fail "$metainfo: does not launch $app_id.desktop"
  grep -q "<binary>$program</binary>" "$prefix/$metainfo" || fail "$metainfo: does not provide the binary $program"
fi

# desktop-file-validate fails only on errors; any output at all (a warning or a hint) counts here.
if [[ -f "$prefix/$desktop" ]]; then
  if ! output=$(desktop-file-validate "$prefix/$desktop" 2>&1) || [[ -n "$output" ]]; then
    printf '%s\n' "$output" >&2
    fail "desktop-file-validate does not accept $desktop"
  fi
fi

# --strict fails on anything above pedantic. The id's top-level domain is the
# reserved "example", which the validator cannot know; that alone is lowered
# to a pedantic note.
appstream_options=(--no-net --pedantic --strict --override=cid-maybe-not-rdns=pedantic)
if [[ -f "$prefix/$metainfo" ]]; then
  if ! output=$(appstreamcli validate "${appstream_options[@]}" "$prefix/$metainfo" 2>&1); then
    printf '%s\n' "$output" >&2
    fail "appstreamcli validate does not accept $metainfo"
  else
    printf '%s\n' "$output"
  fi
fi
# The tree check also follows the metadata to the desktop entry and the icons.
if ! output=$(appstreamcli validate-tree "${appstream_options[@]}" "$prefix" 2>&1); then
  printf '%s\n' "$output" >&2
  fail "appstreamcli validate-tree does not accept the installed tree"
else
  printf '%s\n' "$output"
fi

if [[ $failures -gt 0 ]]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "installed layout in $prefix is complete and valid"
