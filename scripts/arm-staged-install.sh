#!/usr/bin/env bash
# arm-staged-install.sh BUILD_DIR: what a device developer does with an ARM
# build. Stages it into a root file system with DESTDIR (stripped, as it
# ships), checks that the module needs nothing on the device but the C
# library and its loader, cross-links a host through pkg-config with that
# root as its sysroot, and checks what the host records: the module by name
# (NEEDED Velmora.ovl) and no RUNPATH for a module in /usr/lib, or exactly
# the device's folder for one in /opt, never the staging folder. The staged
# host then decodes a fixture under qemu-arm as the staged velmora-decode
# does. Run by scripts/test.d/30-arm.sh after the suite.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)"
triplet=arm-linux-gnueabihf
work="$build/staged"
fail() { echo "arm-staged-install: $*"; exit 1; }

rm -rf "$work"
mkdir -p "$work"

# Fields of one kind from the dynamic section, one a line.
dynamic() { "$triplet-readelf" -d "$1" | sed -n "s/.*($2).*\[\(.*\)\]/\1/p"; }

# The module: only the C library and its loader, no C++ exception runtime
# linked in (its pool would be allocated at every load).
DESTDIR="$work/usr-root" cmake --install "$build" --prefix /usr --strip >/dev/null
module="$work/usr-root/usr/lib/Velmora.ovl"
[ -f "$module" ] || fail "no module at /usr/lib/Velmora.ovl in the staged root"
needed="$(dynamic "$module" NEEDED | sort | tr '\n' ' ')"
[ "$needed" = "ld-linux-armhf.so.3 libc.so.6 " ] || [ "$needed" = "libc.so.6 " ] ||
    fail "the module needs $needed(only libc.so.6 and ld-linux-armhf.so.3 may be)"
if "$triplet-nm" "$build/Velmora.ovl" | grep -q __cxa_allocate_exception; then
    fail "the module carries the C++ exception runtime"
fi
echo "arm-staged-install: Velmora.ovl needs $needed($(stat -c %s "$module") bytes stripped)"

# link_host STAGE NAME: the host, cross-linked through the staged velmora.pc.
link_host() {
    local flags
    flags="$(PKG_CONFIG_SYSROOT_DIR="$1" PKG_CONFIG_LIBDIR="$(dirname "$(find "$1" -name velmora.pc)")" \
             PKG_CONFIG_PATH="" pkg-config --cflags --libs velmora)"
    case "$(grep -o -- '-rpath,[^ ]*' <<<"$flags" || true)" in
        *"$1"*) fail "velmora.pc gives an rpath into the staging folder: $flags" ;;
    esac
    # shellcheck disable=SC2086  # pkg-config's words are meant to split
    "$triplet-gcc" -std=c99 -Wall -Wextra -Werror "$root/tests/consumers/decode_to_stdout.c" $flags -o "$work/$2"
    [ "$(dynamic "$work/$2" NEEDED | grep -c Velmora)" = 1 ] && dynamic "$work/$2" NEEDED | grep -qx Velmora.ovl ||
        fail "$2 does not record the module as Velmora.ovl: $(dynamic "$work/$2" NEEDED | tr '\n' ' ')"
}

link_host "$work/usr-root" host-usr
[ -z "$(dynamic "$work/host-usr" RUNPATH)$(dynamic "$work/host-usr" RPATH)" ] ||
    fail "a host of a module in /usr/lib has a run path: $(dynamic "$work/host-usr" RUNPATH)"

DESTDIR="$work/opt-root" cmake --install "$build" --prefix /opt/velmora --strip >/dev/null
link_host "$work/opt-root" host-opt
[ "$(dynamic "$work/host-opt" RUNPATH)" = /opt/velmora/lib ] ||
    fail "a host of a module in /opt/velmora/lib has the run path '$(dynamic "$work/host-opt" RUNPATH)'"
echo "arm-staged-install: hosts linked through pkg-config with a sysroot: NEEDED Velmora.ovl; RUNPATH none (/usr), /opt/velmora/lib (/opt)"

# The staged host decodes as the staged tool does (the loader finds the
# module through LD_LIBRARY_PATH here; on the device, in /usr/lib).
fixture="$root/fixtures/stereo44.ogg"
export LD_LIBRARY_PATH="$work/usr-root/usr/lib"
qemu-arm "$work/host-usr" "$fixture" >"$work/host.pcm"
if [ -x "$work/usr-root/usr/bin/velmora-decode" ]; then
    qemu-arm "$work/usr-root/usr/bin/velmora-decode" --quiet --raw "$fixture" -o "$work/expected.pcm"
    cmp -s "$work/expected.pcm" "$work/host.pcm" || fail "the staged host decodes differently from velmora-decode --raw"
fi
[ -s "$work/host.pcm" ] || fail "the staged host decoded nothing"
echo "arm-staged-install: the staged host decodes stereo44.ogg under qemu-arm ($(stat -c %s "$work/host.pcm") bytes)"
