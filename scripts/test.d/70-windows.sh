#!/usr/bin/env bash
# The Windows build: Velmora.ovl and its host-side tests cross-built with
# MinGW-w64, libogg and Tremor compiled from Debian's source packages and
# linked in statically; the tests run under Wine. 64-bit always; 32-bit
# (i686) as well where Wine's 32-bit side (wine32:i386) is installed, or when
# VELMORA_WINDOWS_32=1 asks to install it, and starts. The command-line host then
# decodes a fixture to WAV under Wine, checked field by field (cmake/WINDOWS.md).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cache="${VELMORA_SOURCE_CACHE:-$HOME/.cache/velmora/sources}"

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

install_missing() { bash "$root/scripts/install-missing.sh" 70-windows "$@"; }

wine32=/usr/lib/wine/wine

# Why the 32-bit build cannot run here, in one line; nothing when it can.
# Wine's 32-bit side needs the i386 architecture, added only on request, and
# a kernel that runs 32-bit x86 programs, which some machines lack.
why_no_32_bit() {
    if ! installed wine32:i386; then
        if [ "${VELMORA_WINDOWS_32:-0}" != 1 ]; then
            echo "wine32:i386 is not installed (VELMORA_WINDOWS_32=1 installs it)"
            return
        fi
        dpkg --add-architecture i386
        if ! install_missing wine32:i386 >&2 || ! installed wine32:i386; then
            echo "wine32:i386 could not be installed"
            return
        fi
    fi
    local banner
    banner="$(timeout 60 "$wine32" --version 2>&1)" || true
    case "$banner" in
        wine-*) ;;
        *) echo "$wine32 --version fails here (can this kernel run 32-bit x86 programs?): $(printf '%s\n' "$banner" | tail -n 1)" ;;
    esac
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

# An unsigned little-endian field of a file: the bytes at offset.
field() { od -An -t "u$3" -j "$2" -N "$3" "$1" | tr -d ' '; }
text_at() { dd if="$1" bs=1 skip="$2" count=4 status=none; }

# A WAV file's header field by field, against the Ogg stream it came from.
# Without trimming or gaps the PCM has as many frames as the last page's
# granule position says.
check_wav() {
    local wav="$1" ogg="$2" size payload channels rate last frames
    size="$(stat -c %s "$wav")"
    payload=$((27 + $(field "$ogg" 26 1)))  # the identification header's page
    channels="$(field "$ogg" $((payload + 11)) 1)"
    rate="$(field "$ogg" $((payload + 12)) 4)"
    last="$(LC_ALL=C grep -obUa OggS "$ogg" | tail -n 1 | cut -d: -f1)"
    frames="$(field "$ogg" $((last + 6)) 8)"
    local want=(RIFF $((size - 8)) WAVE "fmt " 16 1 "$channels" "$rate" $((rate * channels * 2))
                $((channels * 2)) 16 data $((frames * channels * 2)))
    local got=("$(text_at "$wav" 0)" "$(field "$wav" 4 4)" "$(text_at "$wav" 8)" "$(text_at "$wav" 12)"
               "$(field "$wav" 16 4)" "$(field "$wav" 20 2)" "$(field "$wav" 22 2)" "$(field "$wav" 24 4)"
               "$(field "$wav" 28 4)" "$(field "$wav" 32 2)" "$(field "$wav" 34 2)" "$(text_at "$wav" 36)"
               "$(field "$wav" 40 4)")
    if [ "${got[*]}" != "${want[*]}" ] || [ "$size" -ne $((44 + frames * channels * 2)) ]; then
        echo "70-windows: $wav is not the WAV file of $ogg"
        echo "  header: ${got[*]} ($size bytes)"
        echo "  wanted: ${want[*]} ($((44 + frames * channels * 2)) bytes)"
        return 1
    fi
}

# The tool in the build folder under Wine, in the prefix the tests use.
run_tool() {
    local build="$1" wine="$2"
    shift 2
    (cd "$build" && WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all LC_ALL=C.UTF-8 \
        "$wine" velmora-decode.exe --quiet "$@")
}

# velmora-decode turns a fixture into a WAV under Wine, as a user would,
# reading it into memory; --raw through a mapped file must give the WAV's
# PCM exactly. The tool sits beside Velmora.ovl, where Windows finds it.
decode_sample() {
    local build="$1" wine="$2" ogg="$root/fixtures/stereo44.ogg"
    if [ ! -f "$build/velmora-decode.exe" ]; then
        echo "70-windows: velmora-decode.exe was not built"
        return 1
    fi
    rm -f "$build/sample.wav" "$build/sample.pcm"
    run_tool "$build" "$wine" -o sample.wav "$ogg"
    run_tool "$build" "$wine" --input mapped --raw -o sample.pcm "$ogg"
    check_wav "$build/sample.wav" "$ogg"
    if ! tail -c +45 "$build/sample.wav" | cmp -s - "$build/sample.pcm"; then
        echo "70-windows: the PCM of sample.wav and of --raw sample.pcm differ"
        return 1
    fi
    echo "70-windows: velmora-decode.exe wrote $(stat -c %s "$build/sample.pcm") bytes of PCM from stereo44.ogg"
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

install_missing mingw-w64 wine64 googletest libcli11-dev
fetch_sources
build_and_test x86_64 "$root/build/win64" /usr/lib/wine/wine64
no_32_bit="$(why_no_32_bit)"
if [ -z "$no_32_bit" ]; then
    build_and_test i686 "$root/build/win32" "$wine32"
else
    echo "70-windows: 32-bit build not run: $no_32_bit"
fi
