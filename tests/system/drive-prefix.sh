#!/bin/sh
# Runs a Windows test program under Wine in a prefix of its own ($1), with
# drive letters mapped to the folders of a fresh temporary folder:
#   A: and B: diskette drives, M: a fixed disk, N: a CD-ROM, R: a network drive,
#   S: T: U: V: fixed disks with the volume serial numbers 80000001, FFFFFFFF,
#   7FFFFFFF and DEADBEEF (Wine reads them from .windows-serial in the root
#   when it first meets the drive, so they are in place before Wine starts).
# The program finds the folder in DRIVES_ROOT (a Windows path through Z:) and
# the letters the prefix has in DRIVES_LETTERS. One run at a time per prefix;
# the mapping and the folder are removed when the program ends.
set -eu
prefix=$1
shift
tools=$(cd "$(dirname "$0")/../../tools" && pwd)

mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9

export WINEPREFIX="$prefix" WINEDEBUG=-all
"$tools/wine-prefix" "$prefix" >&2
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
    for l in $letters; do rm -f "$prefix/dosdevices/$l:"; done
    rm -rf "$run"
}
trap cleanup EXIT
trap "exit 1" INT TERM HUP
for l in $letters; do
    mkdir "$run/$l"
    ln -sfn "$run/$l" "$prefix/dosdevices/$l:"
done
echo 80000001 >"$run/s/.windows-serial"
echo FFFFFFFF >"$run/t/.windows-serial"
echo 7FFFFFFF >"$run/u/.windows-serial"
echo DEADBEEF >"$run/v/.windows-serial"

# One server for a series of runs; it ends by itself 10 seconds after the last.
# It and the services Wine starts must not hold the lock or the output open.
wineserver -p10 </dev/null >/dev/null 2>&1 9>&- || true
wine cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true

DRIVES_ROOT="Z:$(printf '%s' "$run" | tr / '\\')"
DRIVES_LETTERS=$(cd "$prefix/dosdevices" && ls -d ?: 2>/dev/null | cut -c1 | tr -d '\n')
export DRIVES_ROOT DRIVES_LETTERS

status=0
wine "$@" 9>&- || status=$?
exit $status
