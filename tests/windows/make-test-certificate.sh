#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later

# Makes a throwaway code-signing certificate for the tests, in FOLDER:
#   certificate.pem  the self-signed certificate (code signing use)
#   signing.p12      the certificate with its key, protected by a password
#   password.txt     that password (random for each run)
#   make-test-certificate.sh FOLDER
set -euo pipefail

folder=$1
rm -rf "$folder"
mkdir -p "$folder"
umask 077
openssl rand -hex 16 >"$folder/password.txt"
openssl req -x509 -newkey rsa:3072 -sha256 -days 30 -nodes -keyout "$folder/key.pem" \
  -out "$folder/certificate.pem" -subj "/CN=Quenlora test signing/O=The Quenlora authors" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  -addext "basicConstraints=critical,CA:FALSE" >/dev/null 2>&1
openssl pkcs12 -export -inkey "$folder/key.pem" -in "$folder/certificate.pem" -out "$folder/signing.p12" \
  -passout "file:$folder/password.txt" -name "Quenlora test signing"
rm -f "$folder/key.pem"
echo "$folder/signing.p12"
