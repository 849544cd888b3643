#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later

# The Windows Installer package under Wine, in a fresh Wine prefix of its own,
# on a virtual display (without one the installed program would wait for a
# screen for ever): a silent install and what it puts where, the installed
# program showing its window, an upgrade to a higher version, a refused
# downgrade, the optional desktop shortcut, and an uninstall that leaves
# nothing behind. The first failure ends the test at once, with the windows on
# the display and a screenshot of it in WORK_FOLDER; no step waits unbounded.
#   installer_test.sh VORTANEK_EXE ICON VERSION WORK_FOLDER
set -euo pipefail
USER=${USER:-$(id -un)}

exe=$1 icon=$2 version=$3 work=$4
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/tools/virtual-display.sh"

rm -rf "$work"
mkdir -p "$work/home"
export QUENLORA_WINE_HOME=$work/wine
# Wine links the user's desktop and documents to the Unix home: a home of the
# test's own keeps the shortcuts it makes there.
export HOME=$work/home
prefix=$QUENLORA_WINE_HOME/prefix-cs_CZ.UTF-8
program_pid=

fail() {
  echo "FAILED: $*" >&2
  report_display "$work"
  [[ -f $work/program.log ]] && sed 's/^/  program: /' "$work/program.log" >&2
  exit 1
}
cleanup() {
  end_processes "$program_pid"
  end_wine "$prefix"
  stop_virtual_display
}
trap cleanup EXIT

# A Wine command, ended after SECONDS.
run_within() {
  local seconds=$1
  shift
  timeout -k 5 "$seconds" "$root/tools/wine-run" cs_CZ.UTF-8 "$@"
}
run() { run_within 120 "$@"; }
windows_path() { local path=$1; echo "Z:${path//\//\\}"; }
# Installs or uninstalls silently, with a log; sets msi_status to the exit code.
msiexec_quietly() {
  local log=$1
  shift
  msi_status=0
  run_within 300 msiexec "$@" /qn /l*v "$(windows_path "$log")" >/dev/null 2>&1 || msi_status=$?
  ((msi_status != 124)) || fail "msiexec $* did not end within 300 s"
  # Wait for the installer's service and any process it started to end.
  wait_for_wine "$prefix" 120 || fail "Wine's processes still ran 120 s after msiexec $*"
}
# The uninstall entry of a product code, as a .reg export in UTF-8; empty when there is none.
uninstall_entry() {
  local code=$1 file=$work/entry.reg
  rm -f "$file"
  run reg export "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{$code}" \
    "$(windows_path "$file")" /y >/dev/null 2>&1 || true
  wait_for_wine "$prefix" 60 || true
  [[ -f $file ]] && iconv -f UTF-16LE -t UTF-8 "$file" | tr -d '\r'
  return 0
}
entry_value() { sed -n "s/^\"$2\"=\(.*\)$/\1/p" <<<"$1"; }
uuid_of() {
  local h
  h=$(printf '%s' "$1" | sha1sum | cut -c1-32)
  printf '%s-%s-5%s-%x%s-%s\n' "${h:0:8}" "${h:8:4}" "${h:13:3}" $(((0x${h:16:1} & 0x3) | 0x8)) "${h:17:3}" \
    "${h:20:12}" | tr 'a-f' 'A-F'
}
# Whether a file holds the text in UTF-16 LE (as shortcuts keep their descriptions).
hex() { od -An -tx1 -v | tr -d ' \n'; }
holds_utf16() { [[ $(hex <"$1") == *"$(printf '%s' "$2" | iconv -f UTF-8 -t UTF-16LE | hex)"* ]]; }

# This version, a higher and a lower one, from the same program.
IFS=. read -r major minor build _ <<<"$version"
current=$major.$minor.$build
higher=$major.$minor.$((build + 1))
lower=$((major - 1)).99.0
((major > 0)) || lower=$major.$minor.$((build - 1))
for msi_version in "$current" "$higher" "$lower"; do
  "$root/packaging/windows/make-packages" "$exe" "$icon" "$version" "$work/packages" "$msi_version" >/dev/null
done
msi() { ls "$work/packages/"quenlora-"$1"*-x64.msi; }
# The program as a package carries it: signed when a certificate is given
# (QUENLORA_SIGN_PKCS12, each making signs anew), else the built file itself.
program_in() {
  local folder=$work/extracted-$1
  rm -rf "$folder"
  msiextract -C "$folder" "$(msi "$1")" >/dev/null
  find "$folder" -name vortanek.exe | head -n 1
}

start_virtual_display
installed=$prefix/drive_c/Program\ Files/Quenlora/vortanek.exe
# Windows puts a per-machine package's shortcuts into the menus and desktop of
# all users; Wine puts them into the installing user's.
shortcut() {
  local place
  for place in "$prefix/drive_c/ProgramData/Microsoft/Windows/$1" "$prefix/drive_c/users/Public/$2" \
               "$prefix/drive_c/users/$USER/AppData/Roaming/Microsoft/Windows/$1" "$prefix/drive_c/users/$USER/$2"; do
    [[ -e $place/Quenlora.lnk ]] && { echo "$place/Quenlora.lnk"; return 0; }
  done
  return 0
}
start_menu() { shortcut "Start Menu/Programs" "Start Menu/Programs"; }
desktop() { shortcut "Desktop" "Desktop"; }
description="Sběr kódů vrácených kontrolních pásek"

# 0. Windows older than 10 version 1809 is refused, with the launch condition's
# Czech message, and nothing is installed; the rest runs as Windows 10 (a new
# Wine prefix reports Windows 7).
windows_version() {
  run winecfg -v "$1" >/dev/null 2>&1 || true
  wait_for_wine "$prefix" 60 || fail "Wine's processes still ran 60 s after winecfg -v $1"
}
windows_version win81
msiexec_quietly "$work/old-windows.log" /i "$(windows_path "$(msi "$current")")"
[[ $msi_status != 0 ]] || fail "the package installed on Windows 8.1"
[[ -e $installed ]] && fail "the program was installed on Windows 8.1"
old_windows="Program Quenlora vyžaduje 64bitová Windows 10 verze 1809 nebo novější, nebo Windows 11. V této verzi Windows jej nelze nainstalovat."
condition=$(msiinfo export "$(msi "$current")" LaunchCondition | tr -d '\r' | sed -n 's/^Installed OR WINDOWSBUILD >= 17763\t//p')
[[ $condition == "$old_windows" ]] || fail "the message for an older Windows reads: $condition"
windows_version win10

# 1. A silent install, per machine.
msiexec_quietly "$work/install.log" /i "$(windows_path "$(msi "$current")")"
[[ $msi_status == 0 ]] || fail "msiexec /i of $current ended with $msi_status"
cmp -s "$(program_in "$current")" "$installed" || fail "the program is not in Program Files\\Quenlora"
if [[ -n ${QUENLORA_SIGN_PKCS12:-} ]] && cmp -s "$exe" "$installed"; then fail "the installed program is not signed"; fi
for name in LICENSE.txt THIRD-PARTY-NOTICES.txt; do
  [[ -s $(dirname "$installed")/$name ]] || fail "no $name beside the installed program"
done
menu_link=$(start_menu)
[[ -n $menu_link ]] || fail "no Start menu shortcut"
[[ -n $menu_link ]] && ! holds_utf16 "$menu_link" "$description" && fail "the shortcut lacks its Czech description"
[[ -n $(desktop) ]] && fail "the desktop shortcut was installed without being asked for"
entry=$(uninstall_entry "$(uuid_of "Quenlora product $current")")
[[ -n $entry ]] || fail "no uninstall entry for $current"
[[ $(entry_value "$entry" DisplayName) == '"Quenlora"' ]] || fail "DisplayName: $(entry_value "$entry" DisplayName)"
[[ $(entry_value "$entry" DisplayVersion) == "\"$current\"" ]] || fail "DisplayVersion: $(entry_value "$entry" DisplayVersion)"
[[ $(entry_value "$entry" Publisher) == '"Quenlora"' ]] || fail "Publisher: $(entry_value "$entry" Publisher)"
[[ $(entry_value "$entry" Comments) == "\"$description\"" ]] || fail "Comments: $(entry_value "$entry" Comments)"
[[ $(entry_value "$entry" NoModify) == 'dword:00000001' ]] || fail "NoModify: $(entry_value "$entry" NoModify)"
[[ $(entry_value "$entry" NoRepair) == 'dword:00000001' ]] || fail "NoRepair: $(entry_value "$entry" NoRepair)"
# The icon of the entry in Add/Remove Programs, kept where the system keeps installed products' icons.
cmp -s "$icon" "$prefix/drive_c/windows/Installer/{$(uuid_of "Quenlora product $current")}/vortanek.ico" ||
  fail "the entry's icon is not the program's"

# 2. The installed program starts and shows its window.
"$root/tools/wine-run" cs_CZ.UTF-8 'C:\Program Files\Quenlora\vortanek.exe' >"$work/program.log" 2>&1 &
program_pid=$!
window=$(window_named '^Quenlora$' 120 "$program_pid") || fail "the installed program showed no window titled Quenlora"
close_program "$window" "$program_pid" 90 || fail "the installed program did not end when its window was closed"
program_pid=
wait_for_wine "$prefix" 60 || fail "Wine's processes still ran 60 s after the program ended"

# 3. A higher version replaces it (with the desktop shortcut asked for): one entry, the new one.
msiexec_quietly "$work/upgrade.log" /i "$(windows_path "$(msi "$higher")")" ADDLOCAL=Program,DesktopShortcut
[[ $msi_status == 0 ]] || fail "msiexec /i of $higher ended with $msi_status"
[[ -z $(uninstall_entry "$(uuid_of "Quenlora product $current")") ]] || fail "the entry of $current is still there"
entry=$(uninstall_entry "$(uuid_of "Quenlora product $higher")")
[[ $(entry_value "$entry" DisplayVersion) == "\"$higher\"" ]] || fail "after the upgrade, DisplayVersion: $(entry_value "$entry" DisplayVersion)"
cmp -s "$(program_in "$higher")" "$installed" || fail "the program is gone after the upgrade"
[[ -n $(desktop) ]] || fail "no desktop shortcut although it was asked for"

# 4. A lower version is refused and changes nothing. (Windows ends with 1603
# and shows the launch condition's message; Wine ends with another code and
# shows nothing in a silent install, so the message is read from the package:
# in the package's code page, read back as the Czech text it is.)
msiexec_quietly "$work/downgrade.log" /i "$(windows_path "$(msi "$lower")")"
[[ $msi_status != 0 ]] || fail "msiexec /i of the lower $lower succeeded"
message="Na počítači je již nainstalována novější verze programu Quenlora. Starší verzi nelze nainstalovat."
condition=$(msiinfo export "$(msi "$lower")" LaunchCondition | tr -d '\r' | sed -n 's/^NOT WIX_DOWNGRADE_DETECTED\t//p')
[[ $condition == "$message" ]] || fail "the downgrade's message reads: $condition"
[[ -n $(uninstall_entry "$(uuid_of "Quenlora product $lower")") ]] && fail "the lower version was registered"
[[ -n $(uninstall_entry "$(uuid_of "Quenlora product $higher")") ]] || fail "the refused downgrade removed $higher"

# 5. Uninstalling leaves nothing behind.
msiexec_quietly "$work/uninstall.log" /x "{$(uuid_of "Quenlora product $higher")}"
[[ $msi_status == 0 ]] || fail "msiexec /x ended with $msi_status"
[[ -e $prefix/drive_c/Program\ Files/Quenlora ]] && fail "Program Files\\Quenlora is still there"
[[ -n $(start_menu)$(desktop) ]] && fail "a shortcut is still there"
[[ -n $(uninstall_entry "$(uuid_of "Quenlora product $higher")") ]] && fail "the uninstall entry is still there"
if run reg query 'HKLM\Software\Quenlora' >/dev/null 2>&1; then fail "HKLM\\Software\\Quenlora is still there"; fi

echo "all passed"
