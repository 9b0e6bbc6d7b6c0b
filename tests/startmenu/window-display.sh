#!/bin/sh
# Runs the start menu's window tests: a Windows test program under Wine, in a
# prefix of its own ($1), on a virtual X display of its own that this script
# starts (Xvfb picks a free display number) and stops afterwards. Runs in the
# same prefix wait for each other, since the start menu refuses a second copy
# there. A drive letter is shown onto a fresh folder for the tests of a CD
# started from a drive root: STARTMENU_DRIVE names the letter and
# STARTMENU_DRIVE_FOLDER the folder's Windows path.
#
# With --own-registry before the prefix, the run gets a Wine prefix of its own
# that starts from a copy of the prefix's registry and shares its drive C: (the
# tests' folders there are their own anyway): a test may then change the
# registry (the shell's handlers, Wine's settings for a program, the locale
# that a locale variable selects) without touching any other run.
set -eu
own_registry=
if [ "$1" = --own-registry ]; then
    own_registry=1
    shift
fi
prefix=$1
shift
tools=$(cd "$(dirname "$0")/../../tools" && pwd)

# Listing runs in the caller's prefix: no display, and no prefix to create.
case " $* " in
*" --gtest_list_tests "*)
    unset DISPLAY
    exec "$(dirname "$0")/../../cmake/wine-run" "$@"
    ;;
esac
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9

unset DISPLAY
export WINEPREFIX="$prefix" WINEDEBUG=-all
"$tools/wine-prefix" "$prefix" >&2

run=$(mktemp -d "${TMPDIR:-/tmp}/startmenu-x.XXXXXX")
xvfb=
# Process numbers start afresh with each wineserver: a test folder left by a
# failed run must not stand in the way of the next run's folder.
remove_left_folders() { rm -rf "$prefix"/drive_c/users/*/Temp/marvo-test-*; }
remove_left_folders

drive=
cleanup() {
    wineserver -k 2>/dev/null || true
    [ -z "$drive" ] || rm -f "$prefix/dosdevices/$drive:"
    remove_left_folders
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
    [ -z "$xvfb" ] || wait "$xvfb" 2>/dev/null || true
    rm -rf "$run"
}
trap cleanup EXIT
trap "exit 1" INT TERM HUP

if [ -n "$own_registry" ]; then
    shared=$prefix
    prefix=$run/prefix
    mkdir -p "$prefix/dosdevices"
    # .update-timestamp tells Wine the prefix is up to date: no update run.
    cp "$shared"/*.reg "$shared/.update-timestamp" "$prefix/"
    ln -s "$shared/drive_c" "$prefix/drive_c"
    ln -s ../drive_c "$prefix/dosdevices/c:"
    ln -s / "$prefix/dosdevices/z:"
    export WINEPREFIX="$prefix"
fi

Xvfb -displayfd 8 -screen 0 1024x768x24 -nolisten tcp 8>"$run/display" >/dev/null 2>"$run/xvfb.log" &
xvfb=$!
tries=0
while [ ! -s "$run/display" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 200 ] || ! kill -0 "$xvfb" 2>/dev/null; then
        echo "window-display: Xvfb did not start" >&2
        cat "$run/xvfb.log" >&2
        exit 1
    fi
    sleep 0.05
done
DISPLAY=":$(head -n1 "$run/display")"
export DISPLAY

for letter in s t u v w x y; do
    # A run killed before its clean-up left its letter pointing nowhere; runs
    # here take turns, so no other run uses it.
    if [ -L "$prefix/dosdevices/$letter:" ] && [ ! -e "$prefix/dosdevices/$letter:" ]; then
        rm -f "$prefix/dosdevices/$letter:"
    fi
    if [ ! -e "$prefix/dosdevices/$letter:" ]; then
        drive=$letter
        mkdir "$run/drive"
        ln -s "$run/drive" "$prefix/dosdevices/$drive:"
        STARTMENU_DRIVE=$drive
        STARTMENU_DRIVE_FOLDER="Z:$(printf '%s' "$run/drive" | tr / '\\')"
        export STARTMENU_DRIVE STARTMENU_DRIVE_FOLDER
        break
    fi
done

status=0
wine "$@" || status=$?
exit $status
