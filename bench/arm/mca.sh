#!/usr/bin/env bash
# llvm-mca's cycle estimates of the 32-bit ARM kernels of Tremor's speed
# patches (and of the library's own PCM conversion), C against NEON, per unit
# of work, on Cortex-A9, Cortex-A53 and Cortex-A57.
#
# Each kernel's loop is taken from the code the Release build makes: GCC
# compiles the reference tree (no speed patches) and the patched tree of a
# configured armhf build with the build's own flags (-O3, Thumb-2 as the
# armhf compiler defaults, NEON, Tremor's defines), adding -g only, whose
# .loc lines let bench/arm/mca_loop.py find the loop by the source it came
# from (at -O3 the transform's steps are all inlined into mdct_backward).
# llvm-mca repeats the loop as one step; cycles per step are scaled to the
# row's unit of work by what a step does (products, values stored or loaded,
# counted per lane; or a fixed count where no instruction shows the work).
#
# llvm-mca reads the loops as Thumb-2 (-mtriple=thumbv7a-linux-gnueabihf,
# -mattr=+neon: A32 would reject Thumb-only forms such as ldrd of any two
# registers); its version 14 cannot take IT instructions, so mca_loop.py
# --no-it leaves them out. LLVM has no Cortex-A53 model for 32-bit code:
# that column says "no model".
#
# The C is the reference tree's code as GCC makes it at -O3, auto-vectorized
# where GCC manages (the window's and overlap-add's loops). A NEON row says
# "absent" when the patched tree has no such loop (the kernel has not
# landed) and "same as C" when its loop is the C's.
#
# Usage: bench/arm/mca.sh [BUILD_ROOT]
#   BUILD_ROOT holds low/ and full/ armhf builds configured with the tests
#   (for tremor-reference); made here, configuration only, when missing.
#   Default build/arm-mca.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
trees="${1:-$root/build/arm-mca}"
work="$trees/mca"
mkdir -p "$work"
for tool in arm-linux-gnueabihf-gcc arm-linux-gnueabihf-g++ llvm-mca python3 cmake; do
    command -v "$tool" >/dev/null || { echo "mca.sh: missing $tool (scripts/setup-armhf.sh, llvm)" >&2; exit 1; }
done
picker="$root/bench/arm/mca_loop.py"
cpus=(cortex-a9 cortex-a53 cortex-a57)

# A kernel's work, counted by mca_loop.py --work: multiplies (64-bit products
# and doubling high halves included), lane adds.
products='v?(mul|mla|mls|smull|smlal|mull|mlal|mlsl|qdmulh|qrdmulh|qdmull|qdmlal)'
adds='v?add'

# configure ACCURACY: the build folder, patched and reference trees made.
configure() {
    local dir="$trees/$1" low=ON
    [ "$1" = full ] && low=OFF
    [ -d "$dir/tremor-reference" ] && return
    nice cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/arm-linux-gnueabihf.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_TESTS=ON -DVELMORA_BUILD_TOOLS=OFF \
        -DVELMORA_BUILD_BENCH=OFF -DVELMORA_TREMOR_LOW_ACCURACY="$low" >"$dir.configure.log" 2>&1 ||
        { cat "$dir.configure.log" >&2; exit 1; }
}

# flags FLAGS_MAKE LANG: the compiler options a target's flags.make gives.
flags() {
    sed -n "s/^$2_\(DEFINES\|INCLUDES\|FLAGS\) = //p" "$1" | tr '\n' ' '
}

# source ACCURACY WHERE/FILE: the path of a kernel's source file; WHERE is
# reference or patched (Tremor's trees) or core.
source_path() {
    case "$2" in
        core/*) echo "$root/$2" ;;
        *) echo "$trees/$1/tremor-${2%%/*}/${2#*/}" ;;
    esac
}

# assembly ACCURACY WHERE/FILE: compiled once, as the build compiles it, with -g.
assembly() {
    local accuracy="$1" what="$2" dir="$trees/$1"
    local out="$work/$accuracy-${what//\//-}.s"
    if [ ! -s "$out" ]; then
        local src options
        src="$(source_path "$accuracy" "$what")"
        case "$what" in
            core/*)
                options="$(flags "$dir/CMakeFiles/velmora_objects.dir/flags.make" CXX)"
                # shellcheck disable=SC2086
                arm-linux-gnueabihf-g++ $options -g -S "$src" -o "$out" ;;
            *)
                options="$(flags "$dir/CMakeFiles/velmora_tremor.dir/flags.make" C)"
                [ "${what%%/*}" = reference ] && options="${options//tremor-patched/tremor-reference}"
                # shellcheck disable=SC2086
                arm-linux-gnueabihf-gcc $options -g -S "$src" -o "$out" ;;
        esac
    fi
    echo "$out"
}

# cycles ASM CPU: llvm-mca's cycles per repetition of the loop in ASM, or
# "no model" where LLVM has no scheduling model of CPU for 32-bit code.
cycles() {
    local report
    if ! report="$(llvm-mca -mtriple=thumbv7a-linux-gnueabihf -mcpu="$2" -mattr=+neon \
        -iterations=1000 "$1" 2>&1)"; then
        grep -q 'scheduling information' <<<"$report" && { echo "no model"; return; }
        echo "mca.sh: llvm-mca failed on $1: $(head -3 <<<"$report")" >&2
        echo "error"
        return
    fi
    awk '/^Iterations:/ { n = $2 } /^Total Cycles:/ { c = $3 } END { printf "%.1f", c / n }' <<<"$report"
}

# pick ACCURACY SIDE WHERE/FILE WORK SELECTION...: the loop into
# $work/NAME.s and its work per step into $picked_work; false when absent.
pick() {
    local accuracy="$1" side="$2" what="$3" work_spec="$4"
    shift 4
    local asm src
    asm="$(assembly "$accuracy" "$what")"
    src="$(source_path "$accuracy" "$what")"
    picked="$work/$accuracy-$slug-$side.s"
    python3 "$picker" "$asm" "$src" "$@" --no-it >"$picked" 2>/dev/null || return 1
    picked_work="$(python3 "$picker" "$asm" "$src" "$@" --work "$work_spec")"
    picked_length="$(wc -l <"$picked")"
}

# kernel LABEL ACCURACY UNIT C_FILE C_WORK C_SELECTION NEON_FILE NEON_WORK NEON_SELECTION
# One table row. UNIT starts with the amount of work the row is per, in the
# WORK measures' terms; a SELECTION is mca_loop.py's arguments after the
# source (a function, and --from, --to, --pattern, --count, --nth).
kernel() {
    # "either": code the accuracy does not change, compiled in the low build
    local label="$1" accuracy="${2/either/low}" shown="$2" unit="$3" amount="${3%% *}"
    local c_file="$4" c_work="$5" neon_file="$7" neon_work="$8"
    local c_selection neon_selection
    eval "c_selection=($6)"
    eval "neon_selection=($9)"
    slug="$(tr -c 'a-z0-9\n' - <<<"${label,,}")"
    configure "$accuracy"
    local row="| $label | $shown | $unit |"
    if ! pick "$accuracy" c "$c_file" "$c_work" "${c_selection[@]}"; then
        echo "$row C loop not found |"
        return
    fi
    local c_asm="$picked" c_per="$picked_work" c_length="$picked_length" neon_state=present
    if ! pick "$accuracy" neon "$neon_file" "$neon_work" "${neon_selection[@]}"; then
        neon_state=absent
    elif cmp -s "$picked" "$c_asm"; then
        neon_state="same as C"
    fi
    row+=" $c_length / ${neon_state/present/$picked_length} |"
    for cpu in "${cpus[@]}"; do
        local c n
        c="$(cycles "$c_asm" "$cpu")"
        [ "$c" = "no model" ] && { row+=" no model | no model |"; continue; }
        row+="$(awk -v c="$c" -v w="$c_per" -v a="$amount" 'BEGIN { printf " %.1f |", c * a / w }')"
        if [ "$neon_state" = present ]; then
            n="$(cycles "$picked" "$cpu")"
            row+="$(awk -v c="$n" -v w="$picked_work" -v a="$amount" 'BEGIN { printf " %.1f |", c * a / w }')"
        else
            row+=" $neon_state |"
        fi
    done
    echo "$row"
}

echo "| kernel | accuracy | per | loop instructions, C / NEON | C, Cortex-A9 | NEON, Cortex-A9 | C, Cortex-A53 | NEON, Cortex-A53 | C, Cortex-A57 | NEON, Cortex-A57 |"
echo "|---|---|---|---|---|---|---|---|---|---|"
# One line per kernel and accuracy. A kernel still to land names the loop it
# will most likely be (its function, or the source lines it replaces); its
# author corrects the line if it lands elsewhere.
for acc in low full; do
    kernel "pre-rotation" $acc "8 products" \
        reference/mdct.c "$products" "mdct_backward --from '/\\* rotate \\*/' --to 'mdct_butterflies\\(' --pattern '$products'" \
        patched/mdct.c "$products" "mdct_backward --from '/\\* rotate \\*/' --to 'mdct_butterflies\\(' --pattern '^v(mul|mla|mls|qdmulh)'"
    kernel "generic butterfly" $acc "16 products (4 pairs)" \
        reference/mdct.c "$products" "mdct_butterfly_generic" \
        patched/mdct.c "$products" "mdct_butterfly_generic_neon --pattern '^v' --count 4"
    # The 32-point butterfly runs the 16- and 8-point ones inline: one row,
    # per 32-point butterfly. At low accuracy GCC vectorizes the C across
    # four of them (the loop steps 512 bytes), at full accuracy it cannot.
    if [ $acc = low ]; then
        kernel "8-, 16- and 32-point butterflies" $acc "1 32-point butterfly" \
            reference/mdct.c "=4" "mdct_butterfly_32 --pattern '^v' --count 100" \
            patched/mdct.c "=1" "mdct_butterfly_8 --pattern '^v(add|sub)' --count 4"
    else
        kernel "8-, 16- and 32-point butterflies" $acc "1 32-point butterfly" \
            reference/mdct.c "=1" "mdct_butterfly_32" \
            patched/mdct.c "=1" "mdct_butterfly_8 --pattern '^v(add|sub)' --count 4"
    fi
    kernel "bit reversal" $acc "1 loop step" \
        reference/mdct.c "=1" "mdct_bitreverse" \
        patched/mdct.c "=1" "mdct_bitreverse --pattern '^(v|rbit)'"
    kernel "post-rotation" $acc "16 products" \
        reference/mdct.c "$products" "mdct_backward --from 'rotate \\+ window' --to 'iX=out\\+n2\\+n4' --pattern '$products' --count 8" \
        patched/mdct.c "$products" "mdct_backward --from 'rotate \\+ window' --to 'iX=out\\+n2\\+n4' --pattern '^v(mul|mla|mls|qdmulh)'"
    kernel "final reorder, negating" $acc "8 values stored" \
        reference/mdct.c stores "mdct_backward --from 'oX1=out\\+n4;' --to 'oX2=out\\+n2;'" \
        patched/mdct.c stores "mdct_backward --from 'oX1=out\\+n4;' --to 'oX2=out\\+n2;' --pattern '^v'"
    kernel "final reorder, reversing" $acc "4 values stored" \
        reference/mdct.c stores "mdct_backward --from 'oX2=out\\+n2;'" \
        patched/mdct.c stores "mdct_backward --from 'oX2=out\\+n2;' --pattern '^v'"
    kernel "window, rising slope" $acc "8 products" \
        reference/window.c "$products" "_vorbis_apply_window --from 'for\\(p=0;i<leftend' --to 'for\\(i=rightbegin' --pattern '$products' --count $([ $acc = low ] && echo 2 || echo 1)" \
        patched/window.c "$products" "window_rising --pattern '^v(mul|qdmulh|mull)'"
    kernel "window, falling slope" $acc "8 products" \
        reference/window.c "$products" "_vorbis_apply_window --from 'for\\(i=rightbegin' --to 'for\\(;i<n' --pattern '$products' --count $([ $acc = low ] && echo 2 || echo 1)" \
        patched/window.c "$products" "window_falling --pattern '^v(mul|qdmulh|mull)'"
    kernel "overlap-add" $acc "8 samples" \
        reference/block.c "$adds" "_vorbis_overlap_add --pattern '^vadd'" \
        patched/block.c "$adds" "_vorbis_overlap_add --pattern '^vadd' --count 2"
    # The C's step is one pair (one path of its branches); a NEON step is
    # taken to be four.
    kernel "decoupling" $acc "4 pairs" \
        reference/mapping0.c "=1" "_vorbis_decouple" \
        patched/mapping0.c "=4" "_vorbis_decouple --pattern '^v' --count 2"
    kernel "floor curve (render_line)" $acc "4 samples" \
        reference/floor1.c stores "render_line" \
        patched/floor1.c stores "render_line --pattern '^v' --count 2"
done
# The library's own conversion to 16-bit PCM (either accuracy: the same code)
kernel "PCM conversion, stereo" either "16 samples" \
    core/pcm_convert_portable.cpp loads "convert_pcm_portable --from 'channels == 2' --to '} else {'" \
    core/pcm_convert_simd.cpp loads "convert_stereo --pattern '^v'"
kernel "PCM conversion, mono" either "16 samples" \
    core/pcm_convert_portable.cpp loads "convert_pcm_portable --from 'channels == 1' --to 'channels == 2'" \
    core/pcm_convert_simd.cpp loads "convert_mono --pattern '^v'"
kernel "PCM conversion, other channel counts" either "16 samples" \
    core/pcm_convert_portable.cpp loads "convert_pcm_portable --from '} else {'" \
    core/pcm_convert_simd.cpp loads "convert_strided --pattern '^v'"
