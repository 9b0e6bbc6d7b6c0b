#!/bin/sh
# Runs a Windows test program under Wine in a prefix of its own, with drive
# letters mapped to the folders of a fresh temporary folder:
#   A: and B: diskette drives, M: a fixed disk, N: a CD-ROM, R: a network drive,
#   S: T: U: V: fixed disks with the volume serial numbers 80000001, FFFFFFFF,
#   7FFFFFFF and DEADBEEF (Wine reads them from .windows-serial in the root
#   when it first meets the drive, so they are in place before Wine starts).
# The program finds the folder in DRIVES_ROOT (a Windows path through Z:) and
# the letters the prefix has in DRIVES_LETTERS. One run at a time per prefix;
# the mapping and the folder are removed when the program ends.
#
#   drive-prefix.sh [--own-disk] PREFIX PROGRAM [ARGUMENTS...]
#
# With --own-disk the folder is a file system of the run's own (tmpfs, 6 GiB,
# so that 32-bit counts of it wrap) that nobody else writes to: its free space
# holds still between two readings. It is mounted in a mount namespace of the
# run's own (as root, or as any user through a user namespace), and the
# prefix's wineserver, which opens the files for Wine, is started inside it
# and stopped before the run ends. Without it, one wineserver serves a series
# of runs.
set -eu
own_disk=
if [ "$1" = --own-disk ]; then
    own_disk=--own-disk
    shift
fi
prefix=$1
shift
tools=$(cd "$(dirname "$0")/../../tools" && pwd)

if [ -z "${DRIVES_NAMESPACE:-}" ]; then
    mkdir -p "$(dirname "$prefix")"
    exec 9>"$prefix.lock"
    flock 9
    if [ -n "$own_disk" ]; then
        export DRIVES_NAMESPACE=1
        if [ "$(id -u)" -eq 0 ]; then
            exec unshare --mount --propagation private "$0" --own-disk "$prefix" "$@"
        fi
        exec unshare --mount --map-root-user --propagation private "$0" --own-disk "$prefix" "$@"
    fi
fi

export WINEPREFIX="$prefix" WINEDEBUG=-all
# A server of this prefix from outside the namespace would not see the mount.
[ -z "$own_disk" ] || wineserver -k </dev/null >/dev/null 2>&1 9>&- || true
"$tools/wine-prefix" "$prefix" >&2 9>&-
if [ ! -f "$prefix/drive-types.done" ]; then
    for mapping in a:floppy b:floppy m:hd n:cdrom r:network; do
        wine reg add 'HKLM\Software\Wine\Drives' /v "${mapping%%:*}:" /d "${mapping#*:}" /f \
            </dev/null >/dev/null 2>&1 9>&-
    done
    wineserver -w
    touch "$prefix/drive-types.done"
fi

run=$(mktemp -d "${TMPDIR:-/tmp}/marvo-drives.XXXXXX")
letters="a b m n r s t u v"
cleanup() {
    [ -z "$own_disk" ] || wineserver -k </dev/null >/dev/null 2>&1 9>&- || true
    for l in $letters; do rm -f "$prefix/dosdevices/$l:"; done
    [ -z "$own_disk" ] || umount "$run" 2>/dev/null || true
    rm -rf "$run"
}
trap cleanup EXIT
trap "exit 1" INT TERM HUP
[ -z "$own_disk" ] || mount -t tmpfs -o size=6g,mode=0777 marvo-drives "$run"
for l in $letters; do
    mkdir "$run/$l"
    ln -sfn "$run/$l" "$prefix/dosdevices/$l:"
done
echo 80000001 >"$run/s/.windows-serial"
echo FFFFFFFF >"$run/t/.windows-serial"
echo 7FFFFFFF >"$run/u/.windows-serial"
echo DEADBEEF >"$run/v/.windows-serial"

# The server ends by itself 10 seconds after the last run. It and the services
# Wine starts must not hold the lock or the output open.
wineserver -p10 </dev/null >/dev/null 2>&1 9>&- || true
wine cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true

DRIVES_ROOT="Z:$(printf '%s' "$run" | tr / '\\')"
DRIVES_LETTERS=$(cd "$prefix/dosdevices" && ls -d ?: 2>/dev/null | cut -c1 | tr -d '\n')
export DRIVES_ROOT DRIVES_LETTERS

status=0
wine "$@" 9>&- || status=$?
exit $status
