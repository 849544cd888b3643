#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later

# Runs a command with a small disk of its own: a 1 MiB tmpfs, whose folder
# QUENLORA_TEST_SMALL_DISK names as Wine shows it (drive Z: is the Unix root),
# so that Windows code under test can fill a disk and meet its end. Mounting
# needs root; without it the command runs without the disk.
#   with-small-disk.sh COMMAND [ARGUMENT...]
set -uo pipefail

disk=$(mktemp -d)
mounted=false
release() {
  if $mounted; then
    umount "$disk" 2>/dev/null || umount -l "$disk"
  fi
  rmdir "$disk"
}
# Also when the run is stopped (a test's time limit).
trap release EXIT
trap 'exit 143' TERM INT
if [[ $(id -u) -eq 0 ]] && mount -t tmpfs -o size=1m,mode=0777 quenlora-small-disk "$disk" 2>/dev/null; then
  mounted=true
  export QUENLORA_TEST_SMALL_DISK="Z:${disk//\//\\}"
fi
"$@"
