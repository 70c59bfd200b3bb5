#!/usr/bin/env bash
# Runs a test program with two awkward places to write to: a file system with no space left
# (QUORIN_FULL_DIR) and a read-only one holding existing.bmp (QUORIN_READONLY_DIR). Mounting needs
# root; without it the variables stay unset and the test skips those cases.
set -u
work=$(mktemp -d /tmp/quorin-locations.XXXXXX)
full=$work/full ro=$work/ro source=$work/ro-source
mkdir -p "$full" "$ro" "$source"
cleanup() {
    mountpoint -q "$ro" && umount "$ro"
    mountpoint -q "$full" && umount "$full"
    rm -rf "$work"
}
trap cleanup EXIT
if mount -t tmpfs -o size=64k tmpfs "$full" 2>/dev/null; then
    # Fill it up completely: files can still be created there, but not a byte written.
    head -c $((128 * 1024)) /dev/zero >"$full/filler" 2>/dev/null || true
    export QUORIN_FULL_DIR=$full
fi
printf 'keep me' >"$source/existing.bmp"
if mount --bind "$source" "$ro" 2>/dev/null && mount -o remount,bind,ro "$ro" 2>/dev/null; then
    export QUORIN_READONLY_DIR=$ro
fi
"$@"
