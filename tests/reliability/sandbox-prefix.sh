#!/bin/sh
# Runs a test program of the reliability suite under Wine in a prefix of its
# own ($1) whose drives all lead into a fresh sandbox folder ($1/sandbox):
#   C: the prefix's own drive_c (Wine's system folder lives there),
#   A: and B: diskette drives, D: a fixed disk, E: a CD-ROM, each a folder of
#   the sandbox; the default Z: (the whole file system) is removed.
# TEMP and TMP are D:\tmp, and the libraries of the folder $2 are copied to
# D:\lib. When this script runs as root, Wine runs as the unprivileged user
# nobody, who owns the prefix and the sandbox and nothing else of the
# machine's own (but the world-writable /tmp).
# The program finds SANDBOX_LIBRARIES (D:\lib), SANDBOX_WORK (D:\work, for
# everything that writes) and SANDBOX_PREFIX (the prefix folder as a Windows
# path of Wine's \\?\unix form, to watch what lies outside the sandbox).
# One run at a time per prefix; the sandbox is removed when the program ends.
set -eu
prefix=$1
deliverables=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
tools=$(cd "$here/../../tools" && pwd)

# Listing the test cases needs no sandbox: the caller's prefix does.
case " $* " in
*" --gtest_list_tests "*)
    exec "$here/../../cmake/wine-run" "$@"
    ;;
esac

mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9

user=
if [ "$(id -u)" = 0 ]; then
    user=65534
    mkdir -p "$prefix"
    chown "$user:$user" "$prefix"
fi
as_user() {
    if [ -n "$user" ]; then
        setpriv --reuid=$user --regid=$user --clear-groups -- "$@"
    else
        "$@"
    fi
}
export WINEPREFIX="$prefix" WINEDEBUG=-all HOME="$prefix"
unset DISPLAY

if [ ! -f "$prefix/sandbox-prefix.done" ]; then
    as_user "$tools/wine-prefix" "$prefix" >&2
    for mapping in a:floppy b:floppy d:hd e:cdrom; do
        as_user wine reg add 'HKLM\Software\Wine\Drives' /v "${mapping%%:*}:" /d "${mapping#*:}" \
            /f </dev/null >/dev/null 2>&1 9>&-
    done
    for variable in TEMP TMP; do
        as_user wine reg add 'HKCU\Environment' /v $variable /d 'D:\tmp' /f \
            </dev/null >/dev/null 2>&1 9>&-
    done
    as_user wineserver -w
    as_user touch "$prefix/sandbox-prefix.done"
fi

sandbox="$prefix/sandbox"
letters="a b d e"
cleanup() {
    as_user wineserver -k 2>/dev/null || true
    for l in $letters; do rm -f "$prefix/dosdevices/$l:"; done
    rm -rf "$sandbox"
}
trap cleanup EXIT
trap "exit 1" INT TERM HUP
rm -rf "$sandbox"
rm -f "$prefix/dosdevices/z:"
as_user mkdir -p "$sandbox"
for l in $letters; do
    as_user mkdir "$sandbox/$l"
    ln -sfn "$sandbox/$l" "$prefix/dosdevices/$l:"
done
as_user mkdir "$sandbox/d/tmp" "$sandbox/d/lib" "$sandbox/d/work"
for library in marvo32.fll marvo32w9.fll; do
    as_user cp "$deliverables/$library" "$sandbox/d/lib/"
done

SANDBOX_LIBRARIES='D:\lib'
SANDBOX_WORK='D:\work'
SANDBOX_PREFIX="\\\\?\\unix$(printf '%s' "$prefix" | tr / '\\')"
export SANDBOX_LIBRARIES SANDBOX_WORK SANDBOX_PREFIX

as_user wineserver -p10 </dev/null >/dev/null 2>&1 9>&- || true
status=0
as_user wine "$@" </dev/null 9>&- || status=$?
exit $status
