#!/usr/bin/env bash
# llvm-mca's cycle estimates of the 32-bit ARM kernels of Tremor's speed
# patches (and of the library's own PCM conversion), C against NEON, per unit
# of work, on Cortex-A9, Cortex-A53 and Cortex-A57.
#
# Each kernel's loop is taken from the code the Release build makes: GCC
# compiles the reference tree (no speed patches) and the patched tree of a
# configured armhf build with the build's own flags (-O3 -fwrapv, Thumb-2 as
# the armhf compiler defaults, NEON, Tremor's defines), adding -g only, whose
# .loc lines let bench/arm/mca_loop.py find the loop by the source it came
# from (at -O3 the transform's steps are all inlined into mdct_backward).
# llvm-mca repeats the loop as one step; cycles per step are scaled to the
# row's unit of work by what a step does (products, values stored or loaded,
# counted per lane; or a fixed count where no instruction shows the work).
#
# llvm-mca reads the loops as Thumb-2 (-mtriple=thumbv7a-linux-gnueabihf,
# -mattr=+neon: A32 would reject Thumb-only forms such as ldrd of any two
# registers); its version 14 cannot take IT instructions, so mca_loop.py
# --no-it leaves them out.
#
# Cortex-A53 column: LLVM has no scheduling model of the A53 (nor of the
# A55 or A7) for 32-bit code, in version 14 nor in Debian bookworm's 15, 16
# and 19. The column stands in with the same sources built for AArch64
# (aarch64-linux-gnu-gcc, the same flags less -mfpu) and llvm-mca's AArch64
# Cortex-A53 model: the NEON side from a scratch copy of the patched tree
# whose 32-bit guards are turned around (!defined(__aarch64__) true,
# defined(__aarch64__) false), so AArch64 compiles the 32-bit ARM kernels
# and leaves out its own; the C side from the reference tree as it is. The
# intrinsics are the same; the instructions, registers and GCC's choices are
# AArch64's, so the column rates the kernels' shape on an in-order
# dual-issue core, not the A53's 32-bit code exactly.
#
# The C is the reference tree's code as GCC makes it at -O3, auto-vectorized
# where GCC manages (on 32-bit ARM the low-accuracy window's loops, the
# overlap-add, the low-accuracy 32-point butterflies four at a time, the PCM
# conversion). A NEON cell says "same as C" when the patched tree's loop is
# the C's, "absent" when the patched tree has no such loop: in both the
# build runs the C (the kernel is not built for this configuration).
#
# Usage: [MCA_ONLY=REGEX] bench/arm/mca.sh [BUILD_ROOT]
#   MCA_ONLY: only the rows whose label matches.
#   BUILD_ROOT holds low/ and full/ armhf builds configured with the tests
#   (for tremor-reference); made here, configuration only, when missing.
#   Default build/arm-mca. Needs arm-linux-gnueabihf-gcc/g++ and
#   aarch64-linux-gnu-gcc/g++ (scripts/setup-armhf.sh, scripts/setup-arm64.sh)
#   and llvm-mca (Debian package llvm, version 14 or later).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
trees="${1:-$root/build/arm-mca}"
work="$trees/mca"
mkdir -p "$work"
for tool in arm-linux-gnueabihf-gcc arm-linux-gnueabihf-g++ aarch64-linux-gnu-gcc aarch64-linux-gnu-g++ \
    llvm-mca python3 cmake; do
    command -v "$tool" >/dev/null || { echo "mca.sh: missing $tool (scripts/setup-armhf.sh, scripts/setup-arm64.sh, llvm)" >&2; exit 1; }
done
picker="$root/bench/arm/mca_loop.py"
# CPU:ISA, the ISA the column's code is built for
cpus=(cortex-a9:arm cortex-a53:a64 cortex-a57:arm)

# A kernel's work, counted by mca_loop.py --work: multiplies (64-bit products
# and doubling high halves included; AArch64's scalar forms too), lane adds.
products='v?(mul|mla|mls|smull|smlal|mull|mlal|mlsl|qdmulh|qrdmulh|qdmull|qdmlal|madd|msub|smaddl|smsubl|smulh|mneg|smnegl)'
adds='v?add'

# configure ACCURACY: the build folder, patched and reference trees made
# (again after a patch changed: cmake remakes the trees then).
configured=""
configure() {
    local dir="$trees/$1" low=ON
    [ "$1" = full ] && low=OFF
    case " $configured " in *" $1 "*) return 0 ;; esac
    nice cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/arm-linux-gnueabihf.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_TESTS=ON -DVELMORA_BUILD_TOOLS=OFF \
        -DVELMORA_BUILD_BENCH=OFF -DVELMORA_TREMOR_LOW_ACCURACY="$low" >"$dir.configure.log" 2>&1 ||
        { cat "$dir.configure.log" >&2; exit 1; }
    configured+=" $1"
}

# flags FLAGS_MAKE LANG: the compiler options a target's flags.make gives.
flags() {
    sed -n "s/^$2_\(DEFINES\|INCLUDES\|FLAGS\) = //p" "$1" | tr '\n' ' '
}

# source ACCURACY WHERE/FILE ISA: the path of a kernel's source file; WHERE
# is reference or patched (Tremor's trees), lanesoff (the patched tree
# built without __ARM_NEON: its C where a kernel replaces a speed patch's
# own C) or core. For a64 the patched
# tree and core/ are scratch copies with the 32-bit guards turned around.
source_path() {
    local accuracy="$1" what="$2" isa="$3" tree
    case "$what" in
        core/*) tree="$root/core" ;;
        lanesoff/*) tree="$trees/$accuracy/tremor-patched" ;;
        *) tree="$trees/$accuracy/tremor-${what%%/*}" ;;
    esac
    if [ "$isa" = a64 ] && [ "${what%%/*}" != reference ]; then
        local copy="$work/a64-$accuracy-${what%%/*}"
        if [ ! -d "$copy" ] || [ "${BASH_SOURCE[0]}" -nt "$copy/.made" ] ||
            [ -n "$(find "$tree" -newer "$copy/.made" -type f | head -1)" ]; then
            rm -rf "$copy"
            mkdir -p "$copy"
            cp "$tree"/*.[ch]* "$copy/"
            # NEON guards only: the AArch64 rbit of bitrev12 (0021) stands
            # for the 32-bit one. The floor's one inline vmov of a lane
            # pair to core registers (0059) becomes AArch64's fmov.
            sed -i -e 's/!defined(__aarch64__)/1/g' -e '/__ARM_NEON/ s/defined(__aarch64__)/0/g' \
                -e 's/__asm__("vmov %Q0, %R0, %P1" : "=r"(pair) : "w"(v));/pair=vget_lane_u64(vreinterpret_u64_s32(v),0);/' \
                "$copy"/*.[ch]*
            touch "$copy/.made"
        fi
        tree="$copy"
    fi
    echo "$tree/${what#*/}"
}

# assembly ACCURACY WHERE/FILE ISA: compiled as the build compiles it, with
# -g (for a64: by the AArch64 compiler, without -mfpu).
assembly() {
    local accuracy="$1" what="$2" isa="$3" dir="$trees/$1"
    local out="$work/$isa-$accuracy-${what//\//-}.s" src options prefix=arm-linux-gnueabihf
    src="$(source_path "$accuracy" "$what" "$isa")"
    if [ ! -s "$out" ] || [ "$src" -nt "$out" ]; then
        [ "$isa" = a64 ] && prefix=aarch64-linux-gnu
        case "$what" in
            core/*)
                options="$(flags "$dir/CMakeFiles/velmora_objects.dir/flags.make" CXX)"
                [ "$isa" = a64 ] && options="${options//-mfpu=neon/} -I$root/core"
                # shellcheck disable=SC2086
                "$prefix-g++" $options -g -S "$src" -o "$out" ;;
            *)
                options="$(flags "$dir/CMakeFiles/velmora_tremor.dir/flags.make" C)"
                [ "${what%%/*}" = reference ] && options="${options//tremor-patched/tremor-reference}"
                [ "${what%%/*}" = lanesoff ] && options+=" -U__ARM_NEON"
                [ "$isa" = a64 ] && options="${options//-mfpu=neon/} -I$(dirname "$src")"
                # shellcheck disable=SC2086
                "$prefix-gcc" $options -g -S "$src" -o "$out" ;;
        esac
    fi
    echo "$out"
}

# cycles ASM CPU ISA: llvm-mca's cycles per repetition of the loop in ASM.
cycles() {
    local report triple=thumbv7a-linux-gnueabihf attr=(-mattr=+neon)
    [ "$3" = a64 ] && { triple=aarch64-linux-gnu; attr=(); }
    if ! report="$(llvm-mca -mtriple="$triple" -mcpu="$2" "${attr[@]}" -iterations=1000 "$1" 2>&1)"; then
        grep -q 'scheduling information' <<<"$report" && { echo "no model"; return; }
        echo "mca.sh: llvm-mca failed on $1: $(head -3 <<<"$report")" >&2
        echo "error"
        return
    fi
    awk '/^Iterations:/ { n = $2 } /^Total Cycles:/ { c = $3 } END { printf "%.1f", c / n }' <<<"$report"
}

# pick ACCURACY SIDE WHERE/FILE ISA WORK SELECTION...: the loop into
# $picked and its work per step into $picked_work; false when absent.
pick() {
    local accuracy="$1" side="$2" what="$3" isa="$4" work_measure="$5"
    shift 5
    local asm src arguments=()
    # N/M in a selection: N for 32-bit code, M for AArch64's
    for argument in "$@"; do
        if [[ "$argument" =~ ^([0-9]+)/([0-9]+)$ ]]; then
            [ "$isa" = a64 ] && argument="${BASH_REMATCH[2]}" || argument="${BASH_REMATCH[1]}"
        fi
        arguments+=("$argument")
    done
    set -- "${arguments[@]}"
    asm="$(assembly "$accuracy" "$what" "$isa")"
    src="$(source_path "$accuracy" "$what" "$isa")"
    picked="$work/$isa-$accuracy-$slug-$side.s"
    python3 "$picker" "$asm" "$src" "$@" --no-it >"$picked" 2>/dev/null || return 1
    picked_work="$(python3 "$picker" "$asm" "$src" "$@" --work "$work_measure")"
    picked_length="$(wc -l <"$picked")"
}

# per CYCLES WORK AMOUNT: cycles per AMOUNT of work
per() {
    awk -v c="$1" -v w="$2" -v a="$3" 'BEGIN { if (w > 0) printf "%.1f", c * a / w; else printf "?" }'
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
    [[ -n "${MCA_ONLY:-}" && ! "$label" =~ $MCA_ONLY ]] && return 0
    slug="$(tr -c 'a-z0-9\n' - <<<"${label,,}")"
    configure "$accuracy"
    local row="| $label | $shown | $unit |" lengths=""
    for column in "${cpus[@]}"; do
        local cpu="${column%%:*}" isa="${column#*:}"
        if ! pick "$accuracy" c "$c_file" "$isa" "$c_work" "${c_selection[@]}"; then
            row+=" C loop not found | |"
            continue
        fi
        local c_asm="$picked" c_per="$picked_work" c_length="$picked_length" neon_state=present
        if ! pick "$accuracy" neon "$neon_file" "$isa" "$neon_work" "${neon_selection[@]}"; then
            neon_state=absent
        elif cmp -s "$picked" "$c_asm"; then
            neon_state="same as C"
        fi
        [ "$isa" = arm ] && lengths=" $c_length / ${neon_state/present/$picked_length} |"
        row+=" $(per "$(cycles "$c_asm" "$cpu" "$isa")" "$c_per" "$amount") |"
        if [ "$neon_state" = present ]; then
            row+=" $(per "$(cycles "$picked" "$cpu" "$isa")" "$picked_work" "$amount") |"
        else
            row+=" $neon_state |"
        fi
    done
    echo "$row$lengths"
}

echo "| kernel (patch) | accuracy | per | C, Cortex-A9 | NEON, Cortex-A9 | C, Cortex-A53 (AArch64 stand-in) | NEON, Cortex-A53 (AArch64 stand-in) | C, Cortex-A57 | NEON, Cortex-A57 | loop instructions (32-bit), C / NEON |"
echo "|---|---|---|---|---|---|---|---|---|---|"
# One line per kernel and accuracy, named by the patches whose code it is.
mults='^v(mul|mla|mls|qdmulh|mull|mlal|mlsl)'
for acc in low full; do
    kernel "pre-rotation (0051)" $acc "8 products" \
        reference/mdct.c "$products" "mdct_backward --from '/\\* rotate \\*/' --to 'mdct_butterflies\\(' --pattern '$products'" \
        patched/mdct.c "$products" "mdct_prerotate_neon32 --pattern '$mults'"
    if [ $acc = low ]; then generic="0044"; else generic="0045, 0046"; fi
    kernel "generic butterfly ($generic)" $acc "16 products (4 pairs)" \
        reference/mdct.c "$products" "mdct_butterfly_generic" \
        patched/mdct.c "$products" "mdct_butterfly_generic_neon32 --pattern '$mults' --count 4"
    # One row per 32-point block (its 16- and 8-point butterflies inline).
    # At low accuracy GCC vectorizes the C across four blocks (the loop
    # steps 512 bytes), at full accuracy it cannot.
    if [ $acc = low ]; then
        c_blocks="=4" c_selection="mdct_butterfly_32 --pattern '^v' --count 100"
    else
        c_blocks="=1" c_selection="mdct_butterfly_32"
    fi
    kernel "32-, 16- and 8-point butterflies (0043)" $acc "1 32-point block" \
        reference/mdct.c "$c_blocks" "$c_selection" \
        patched/mdct.c "=1" "mdct_butterfly_32_neon --pattern '^v' --count 20"
    kernel "bit reversal (0053)" $acc "8 values stored" \
        reference/mdct.c stores "mdct_bitreverse" \
        patched/mdct.c stores "mdct_bitreverse_neon32 --pattern '^v' --count 4"
    # The post-rotation's C is one loop for every table stride and two of
    # its own for the interpolated tables of block sizes 4096 and 8192.
    if [ $acc = low ]; then
        kernel "post-rotation, table stride 2 (0026)" $acc "16 products" \
            reference/mdct.c "$products" "mdct_backward --from 'rotate \\+ window' --to 'case 1:' --pattern '$products' --count 8" \
            patched/mdct.c "$products" "mdct_backward --from 'if\\(step==2\\)' --to 'MDCT_NEON32' --pattern '$mults'"
    else
        kernel "post-rotation, table stride 2 (0052)" $acc "16 products" \
            reference/mdct.c "$products" "mdct_backward --from 'rotate \\+ window' --to 'case 1:' --pattern '$products' --count 8" \
            patched/mdct.c "$products" "mdct_postrotate_strided_neon32 --pattern '^vld2[.]32' --count 2"
    fi
    kernel "post-rotation, table stride 4 to 64 (0052)" $acc "16 products" \
        reference/mdct.c "$products" "mdct_backward --from 'rotate \\+ window' --to 'case 1:' --pattern '$products' --count 8" \
        patched/mdct.c "$products" "mdct_postrotate_strided_neon32 --pattern '$([ $acc = low ] && echo '^vld2[.]8' || echo '^(vld1[.]32|ldr.d)')' --count 4"
    kernel "post-rotation, block 4096, halfway pairs (0052)" $acc "16 products" \
        reference/mdct.c "$products" "mdct_backward --from 'case 1:' --to 'case 0:' --pattern '$products' --count 8" \
        patched/mdct.c "$products" "mdct_postrotate_halfway_neon32 --pattern '$mults'"
    kernel "post-rotation, block 8192, quarter pairs (0052)" $acc "16 products" \
        reference/mdct.c "$products" "mdct_backward --from 'case 0:' --to 'iX=out\\+n2\\+n4' --pattern '$products' --count 8" \
        patched/mdct.c "$products" "mdct_postrotate_quarter_neon32 --pattern '$mults'"
    kernel "final reorder, negating (0026)" $acc "8 values stored" \
        reference/mdct.c stores "mdct_backward --from 'oX1=out\\+n4;' --to 'oX2=out\\+n2;'" \
        patched/mdct.c stores "mdct_backward --from 'oX1=out\\+n4;' --to 'oX2=out\\+n2;' --pattern '^v'"
    kernel "final reorder, reversing (0026)" $acc "4 values stored" \
        reference/mdct.c stores "mdct_backward --from 'oX2=out\\+n2;'" \
        patched/mdct.c stores "mdct_backward --from 'oX2=out\\+n2;' --pattern '^v'"
    # The low-accuracy window (0022) is AArch64's only: on 32-bit ARM the
    # patched tree keeps the C, which GCC vectorizes.
    if [ $acc = low ]; then
        # GCC vectorizes the 32-bit C (two products a step in this loop),
        # not the AArch64 C
        window="0022, AArch64 only" count=2/1
        rising="_vorbis_apply_window --from 'for\\(p=0;i<leftend' --to 'for\\(i=rightbegin' --pattern '$products' --count $count"
        falling="_vorbis_apply_window --from 'for\\(i=rightbegin' --to 'for\\(;i<n' --pattern '$products' --count $count"
    else
        window="0050" count=1
        rising="window_rising_neon32 --pattern '$mults'"
        falling="window_falling_neon32 --pattern '$mults'"
    fi
    kernel "window, rising slope ($window)" $acc "8 products" \
        reference/window.c "$products" "_vorbis_apply_window --from 'for\\(p=0;i<leftend' --to 'for\\(i=rightbegin' --pattern '$products' --count $count" \
        patched/window.c "$products" "$rising"
    kernel "window, falling slope ($window)" $acc "8 products" \
        reference/window.c "$products" "_vorbis_apply_window --from 'for\\(i=rightbegin' --to 'for\\(;i<n' --pattern '$products' --count $count" \
        patched/window.c "$products" "$falling"
done
# Code the accuracy does not change, compiled in the low build.
kernel "overlap-add (0023)" either "8 samples" \
    reference/block.c "$adds" "_vorbis_overlap_add --pattern '^vadd'" \
    patched/block.c "$adds" "_vorbis_overlap_add --pattern '^vadd' --count 2"
# The C's step is one pair, down one path of its branches.
kernel "decoupling (0058)" either "16 values stored (8 pairs)" \
    reference/mapping0.c stores "_vorbis_decouple" \
    patched/mapping0.c stores "_vorbis_decouple --pattern '^v' --count 4"
kernel "floor line (0059)" either "4 samples" \
    reference/floor1.c stores "_vorbis_floor1_render_line" \
    patched/floor1.c stores "_vorbis_floor1_render_line --pattern '^v' --count 2"
# Residue vectors added where they are decoded: the whole loop of one
# codeword (its table look-up included, the buffer refill left out) of
# 0064's C (the patched tree without NEON) against 0065's lanes. Loops
# with a table look-up (ldrh) come in order of dimension: 2, 4 (and 8).
kernel "residue, stereo vectors of 4 values (0065)" either "1 vector" \
    lanesoff/codebook.c "=1" "decodevv_add_pairs_fixed --pattern '^ldrh' --nth 2" \
    patched/codebook.c "=1" "decodevv_add_pairs_fixed --pattern '^ldrh' --nth 2"
kernel "residue, stereo vectors of 8 values (0065)" either "1 vector" \
    lanesoff/codebook.c "=1" "decodevv_add_pairs_fixed --pattern '^ldrh' --nth 3" \
    patched/codebook.c "=1" "decodevv_add_pairs_fixed --pattern '^ldrh' --nth 3"
kernel "residue, mono vectors of 4 values (0065)" either "1 vector" \
    lanesoff/codebook.c "=1" "decodev_add_fixed --pattern '^ldrh' --nth 2" \
    patched/codebook.c "=1" "decodev_add_fixed --pattern '^ldrh' --nth 2"
# The library's own conversion to 16-bit PCM
kernel "PCM conversion, mono (core)" either "16 samples" \
    core/pcm_convert_portable.cpp loads "convert_pcm_portable --from 'channels == 1' --to 'channels == 2'" \
    core/pcm_convert_simd.cpp loads "convert_mono --pattern '^v'"
kernel "PCM conversion, stereo (core)" either "16 samples" \
    core/pcm_convert_portable.cpp loads "convert_pcm_portable --from 'channels == 2' --to '} else {'" \
    core/pcm_convert_simd.cpp loads "convert_stereo --pattern '^v'"
kernel "PCM conversion, six channels (core)" either "16 samples" \
    core/pcm_convert_portable.cpp loads "convert_pcm_portable --from '} else {'" \
    core/pcm_convert_simd.cpp loads "convert_six --pattern '^v'"
