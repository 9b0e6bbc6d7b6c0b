#!/bin/sh
# Runs a Windows test program under Wine in a prefix of its own ($1) whose
# drive F: is a fresh file system of 64 KiB (tmpfs), so that the program can
# fill it and see what a full disk does to a write. The program finds the
# drive's letter in FULLDISK_DRIVE.
#
# The file system is mounted in a mount namespace of the run's own (as root,
# or as any user through a user namespace), so it is gone with the run and
# nobody else sees it. The prefix's wineserver opens the files for Wine, so it
# must live in the same namespace: it is started here and stopped before the
# run ends, never left for the next run. One run at a time per prefix.
set -eu
prefix=$1
shift
tools=$(cd "$(dirname "$0")/../../tools" && pwd)

if [ -z "${FULLDISK_NAMESPACE:-}" ]; then
    mkdir -p "$(dirname "$prefix")"
    exec 9>"$prefix.lock"
    flock 9
    export FULLDISK_NAMESPACE=1
    if [ "$(id -u)" -eq 0 ]; then
        exec unshare --mount --propagation private "$0" "$prefix" "$@"
    fi
    exec unshare --mount --map-root-user --propagation private "$0" "$prefix" "$@"
fi

export WINEPREFIX="$prefix" WINEDEBUG=-all
# A server of this prefix from outside this namespace would not see the mount.
wineserver -k </dev/null >/dev/null 2>&1 9>&- || true
"$tools/wine-prefix" "$prefix" >&2 9>&-

run=$(mktemp -d "${TMPDIR:-/tmp}/marvo-fulldisk.XXXXXX")
cleanup() {
    wineserver -k </dev/null >/dev/null 2>&1 9>&- || true
    rm -f "$prefix/dosdevices/f:"
    umount "$run/f" 2>/dev/null || true
    rm -rf "$run"
}
trap cleanup EXIT
trap "exit 1" INT TERM HUP
mkdir "$run/f"
mount -t tmpfs -o size=64k,nr_inodes=64,mode=0777 marvo-fulldisk "$run/f"
ln -sfn "$run/f" "$prefix/dosdevices/f:"

wineserver -p10 </dev/null >/dev/null 2>&1 9>&- || true
wine cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true

FULLDISK_DRIVE=F:
export FULLDISK_DRIVE
status=0
wine "$@" 9>&- || status=$?
exit $status
