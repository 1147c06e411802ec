#!/usr/bin/env bash
# The Windows build: Velmora.ovl and its host-side tests cross-built with
# MinGW-w64, libogg and Tremor compiled from Debian's source packages and
# linked in statically; the tests run under Wine. 64-bit always; 32-bit
# (i686) as well where Wine's 32-bit side (wine32:i386) is installed, or when
# VELMORA_WINDOWS_32=1 asks to install it. Where the command-line host builds
# for Windows, it decodes a fixture to WAV under Wine too (cmake/WINDOWS.md).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cache="${VELMORA_SOURCE_CACHE:-$HOME/.cache/velmora/sources}"

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

install_missing() {
    local missing=()
    for p in "$@"; do installed "$p" || missing+=("$p"); done
    [ "${#missing[@]}" -eq 0 ] && return 0
    echo "70-windows: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Wine's 32-bit side needs the i386 architecture; it is added only on request.
want_32_bit() {
    installed wine32:i386 && return 0
    [ "${VELMORA_WINDOWS_32:-0}" = 1 ] || return 1
    dpkg --add-architecture i386
    install_missing wine32:i386 && installed wine32:i386
}

# Both source packages, or a clean skip: without them there is nothing to build.
fetch_sources() {
    mkdir -p "$cache"
    for package in libogg libvorbisidec; do
        if ! bash "$root/scripts/fetch-source.sh" "$package" "$cache" >/dev/null 2>"$cache/$package.fetch.log"; then
            echo "70-windows: skipped: Debian's source package $package cannot be obtained ($(tail -n 1 "$cache/$package.fetch.log"))"
            exit 0
        fi
    done
}

# The module must need nothing but the system's DLLs.
check_dll_imports() {
    local objdump="$1" module="$2"
    local imports
    imports="$("$objdump" -p "$module" | awk '/DLL Name:/ {print $3}' | sort | tr '\n' ' ')"
    if [ "$imports" != "KERNEL32.dll msvcrt.dll " ]; then
        echo "70-windows: $module imports $imports(want KERNEL32.dll and msvcrt.dll only)"
        return 1
    fi
}

# velmora-decode turns a fixture into a WAV under Wine, as a user would.
decode_sample() {
    local build="$1" wine="$2"
    local tool="$build/tools/velmora-decode.exe"
    if [ ! -f "$tool" ]; then
        echo "70-windows: velmora-decode.exe not built (the command-line host is POSIX only for now)"
        return 0
    fi
    cp "$build/Velmora.ovl" "$build/tools/"
    rm -f "$build/sample.wav"
    (cd "$build" && WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all LC_ALL=C.UTF-8 \
        "$wine" "$tool" --quiet -o sample.wav "$root/fixtures/stereo44.ogg")
    local header
    header="$(head -c 12 "$build/sample.wav" | tr -c 'A-Z' '.')"
    if [ "$header" != "RIFF....WAVE" ]; then
        echo "70-windows: velmora-decode.exe wrote no WAV file"
        return 1
    fi
}

build_and_test() {
    local arch="$1" build="$2" wine="$3"
    echo "70-windows: $arch"
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-$arch.toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_BENCH=OFF -DVELMORA_BUILD_FUZZERS=OFF \
        -DVELMORA_BUILD_TOOLS=ON -DVELMORA_SOURCE_CACHE="$cache" >/dev/null
    cmake --build "$build" -j2
    check_dll_imports "$arch-w64-mingw32-objdump" "$build/Velmora.ovl"
    ctest --test-dir "$build" --output-on-failure
    decode_sample "$build" "$wine"
}

install_missing mingw-w64 wine64 googletest
fetch_sources
build_and_test x86_64 "$root/build/win64" /usr/lib/wine/wine64
if want_32_bit; then
    build_and_test i686 "$root/build/win32" /usr/lib/wine/wine
else
    echo "70-windows: 32-bit build not run: wine32:i386 is not installed (VELMORA_WINDOWS_32=1 installs it)"
fi
