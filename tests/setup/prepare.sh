#!/bin/sh
# The setup suite's fixture: lays out the CD, the image and the archive with
# tools/dist into WORK/dist, and makes the Wine prefix that every case copies
# (WORK/template-wineprefix; made again when Wine's version changes).
#
#   prepare.sh SOURCE_DIR OUT_DIR WORK
set -eu
source=$1
out=$2
work=$3
mkdir -p "$work"
"$source/tools/dist" "$out" "$work/dist"

template=$work/template-wineprefix
version=$(wine --version)
if [ ! -f "$template/system.reg" ] || [ "$(cat "$template.version" 2>/dev/null)" != "$version" ]; then
    rm -rf "$template" "$template.version"
    mkdir -p "$template"
    # No menu entries on the Linux desktop, no Mono or Gecko to ask for.
    WINEPREFIX=$template WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d" \
        wineboot -i </dev/null >/dev/null 2>&1
    WINEPREFIX=$template wineserver -w
    echo "$version" >"$template.version"
    echo "prepare: template prefix $template"
fi
