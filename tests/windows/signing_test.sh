#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later

# Signing the Windows downloads with a throwaway certificate: the program in
# the zip and the installer carry an Authenticode signature (SHA-256) that
# osslsigncode accepts against that certificate, and a copy of either with
# one byte changed is rejected.
#   signing_test.sh VORTANEK_EXE ICON VERSION WORK_FOLDER CERTIFICATE_FOLDER
# CERTIFICATE_FOLDER is what make-test-certificate.sh made.
set -euo pipefail

exe=$1 icon=$2 version=$3 work=$4 certificates=$5
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
rm -rf "$work"
mkdir -p "$work"
failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

QUENLORA_SIGN_PKCS12=$certificates/signing.p12 QUENLORA_SIGN_PASSWORD_FILE=$certificates/password.txt \
  "$root/packaging/windows/make-packages" "$exe" "$icon" "$version" "$work/packages" >/dev/null
signed_exe=$work/vortanek.exe
unzip -p "$work/packages/quenlora-$version-windows-x64.zip" Quenlora/vortanek.exe >"$signed_exe"
msi=$work/packages/quenlora-$version-x64.msi
cmp -s "$exe" "$signed_exe" && fail "the program in the zip is not signed"

verify() { osslsigncode verify -CAfile "$certificates/certificate.pem" -in "$1" >"$work/verify.log" 2>&1; }
# Changes one byte of a copy, at an offset within the signed content.
flipped() {
  local copy=$work/flipped-$(basename "$1") offset=$2 byte
  cp "$1" "$copy"
  byte=$(od -An -tu1 -j "$offset" -N1 "$copy" | tr -d ' ')
  printf "$(printf '\\%03o' $((byte ^ 0xff)))" | dd of="$copy" bs=1 seek="$offset" conv=notrunc status=none
  echo "$copy"
}

for file in "$signed_exe" "$msi"; do
  name=$(basename "$file")
  if verify "$file"; then
    grep -q "Message digest algorithm *: SHA256" "$work/verify.log" || fail "$name is not signed with SHA-256"
  else
    cat "$work/verify.log" >&2
    fail "osslsigncode does not accept the signature of $name"
  fi
done
# The program's code (past its headers); in the installer, the cabinet with the files.
cabinet=$(grep -obUaP "MSCF" "$msi" | head -n 1 | cut -d: -f1)
[[ -n $cabinet ]] || fail "no cabinet found in the installer"
for changed in "$(flipped "$signed_exe" 4096)" "$(flipped "$msi" $((${cabinet:-0} + 200)))"; do
  if verify "$changed"; then fail "a copy of $(basename "$changed") with one byte changed passes verification"; fi
done

if ((failures > 0)); then
  echo "$failures failed" >&2
  exit 1
fi
echo "all passed"
