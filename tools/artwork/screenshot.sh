#!/bin/sh
# Takes the README's screenshot of the running start menu: starts autorun.exe
# on a virtual X display inside a Wine virtual desktop (so that Wine draws the
# window's frame), grabs the display with Python's imaging library and crops
# it to the window. Usage: tools/artwork/screenshot.sh autorun.exe out.png [prefix]
set -eu
exe=$(realpath "$1")
out=$2
prefix=$(realpath -m "${3:-build/screenshot-wineprefix}")
tools=$(cd "$(dirname "$0")/.." && pwd)

unset DISPLAY
export WINEPREFIX="$prefix" WINEDEBUG=-all
"$tools/wine-prefix" "$prefix" >&2

run=$(mktemp -d "${TMPDIR:-/tmp}/startmenu-shot.XXXXXX")
xvfb=
cleanup() {
    wineserver -k 2>/dev/null || true
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
    rm -rf "$run"
}
trap cleanup EXIT

Xvfb -displayfd 8 -screen 0 800x700x24 -nolisten tcp 8>"$run/display" >/dev/null 2>&1 &
xvfb=$!
while [ ! -s "$run/display" ]; do sleep 0.1; done
DISPLAY=":$(head -n1 "$run/display")"
export DISPLAY

mkdir -p "$run/cd/Setup" "$run/cd/Documents"
cp "$exe" "$run/cd/autorun.exe"
wine explorer /desktop=Velmora,700x660 "Z:$(printf '%s' "$run/cd/autorun.exe" | tr / '\\')" &
sleep 8

/usr/bin/python3 - "$DISPLAY" "$out" <<'PY'
import sys
from PIL import ImageChops, ImageGrab, Image
shot = ImageGrab.grab(xdisplay=sys.argv[1]).convert("RGB")
desk = shot.crop((0, 0, 700, 660))
background = Image.new("RGB", desk.size, desk.getpixel((2, 2)))
box = ImageChops.difference(desk, background).getbbox()
desk.crop(box).save(sys.argv[2], optimize=True)
print("screenshot:", sys.argv[2], desk.crop(box).size)
PY
