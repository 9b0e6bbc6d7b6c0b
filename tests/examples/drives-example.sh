#!/bin/sh
# Runs examples/drives.prg through fllhost.exe in a Wine prefix of its own
# ($1) whose only drives are C: (the prefix's) and M: (a fresh temporary
# folder), so that the file M_DRVTYPE makes in each root stays inside them.
# $2 is the deliverables folder, $3 the source tree. The sizes must be those
# the file system reports for the two folders (stat -f); free space changes
# while other programs work, so only its form is checked.
set -eu
prefix=$1
out=$2
src=$3
tools="$src/tools"

mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9

export WINEPREFIX="$prefix" WINEDEBUG=-all
"$tools/wine-prefix" "$prefix" >/dev/null 2>&1 </dev/null 9>&-

run=$(mktemp -d "${TMPDIR:-/tmp}/marvo-drives-example.XXXXXX")
cleanup() {
    rm -f "$prefix/dosdevices/m:"
    rm -rf "$run"
}
trap cleanup EXIT
trap "exit 1" INT TERM HUP

mkdir "$run/m"
cp "$out/fllhost.exe" "$out/marvo32.fll" "$src/examples/drives.prg" "$src/include/marvo32.h" "$run/m/"
# Only C: and M:; Wine reads the drive links afresh for every path.
for link in "$prefix"/dosdevices/?:; do
    case "$link" in */c:) ;; *) rm -f "$link" ;; esac
done
ln -sfn "$run/m" "$prefix/dosdevices/m:"

status=0
(cd "$run/m" && wine 'M:\fllhost.exe' 'M:\drives.prg' </dev/null 9>&-) >"$run/output" 2>&1 || status=$?
cat "$run/output"
[ "$status" = 0 ] || { echo "FAIL: fllhost.exe ended with $status"; exit 1; }

commas() { printf '%s' "$1" | rev | sed -E 's/([0-9]{3})/\1,/g; s/,$//' | rev; }
size() { commas "$(( $(stat -f -c '%b' "$1") * $(stat -f -c '%S' "$1") ))"; }
expect_line() { # drive, folder
    pattern="^$1:    fixed +$(size "$2") +[0-9][0-9,]* $"
    grep -Eq "$pattern" "$run/output" || { echo "FAIL: no line matching $pattern"; exit 1; }
}
header='Drive Type             Size (bytes)        Free (bytes)'
[ "$(sed -n 1p "$run/output")" = "$header" ] || { echo "FAIL: header"; exit 1; }
[ "$(wc -l <"$run/output")" -eq 3 ] || { echo "FAIL: not two drives"; exit 1; }
expect_line C "$prefix/drive_c/"
expect_line M "$run/m/"
[ ! -e "$run/m/x.x" ] || { echo "FAIL: x.x left in M:"; exit 1; }
echo "PASS"
