#!/usr/bin/env python3
"""Picks one kernel's loop out of GCC's 32-bit ARM (Thumb-2 or ARM)
assembly, compiled with -g, for llvm-mca.

    mca_loop.py FILE.s SOURCE.c FUNCTION [--from REGEX] [--to REGEX]
                [--pattern REGEX] [--count N] [--nth K] [--work MEASURE]
    mca_loop.py FILE.s SOURCE.c --list

A loop is the code from a label to a later branch back to it. At -O3 the
kernels are inlined where GCC puts them (the transform's steps all land in
mdct_backward), so a loop is found by the source it was compiled from: of
the innermost loops (no other loop inside) holding code from the body of
FUNCTION in SOURCE.c (by the assembly's .loc lines, code inlined from a
header counted with the line that used it; -g does not change the code GCC
makes), those with at least N instructions matching REGEX, the
K-th in the file (default the first) is printed, instructions only, for
llvm-mca to repeat as one loop step. --from and --to narrow FUNCTION's
body to the source lines from the first matching one to the next matching
the other (a step written inline in a larger function). Exit status 1, and a message, when no
loop qualifies: the kernel is absent from this tree.

--work MEASURE prints, instead of the loop, the work one step of it does, for
the cycles per unit of work: MEASURE "stores" counts the 32-bit values stored
(str 1, strd 2, vst by its registers), "loads" the 32-bit values read, MEASURE "=N" says one step does N (for work no instruction shows), and any other
MEASURE is a regular expression of mnemonics (e.g. "v?(mul|mla|mls)") whose
register forms count one per 32-bit lane (scalar 1, d register 2, q
register 4; long forms such as vmull.s32 count their 64-bit lanes);
forms with an immediate operand (pointer steps) are not work.

--no-it prints the loop without Thumb-2's IT instructions, which llvm-mca
14 rejects: the instructions they predicate lose their condition instead.

--list shows every innermost loop: its length, mnemonics and the functions
of SOURCE.c it holds code of, to write a kernel's selection with.
"""
import argparse
import collections
import re
import sys

LABEL = re.compile(r"^(\.?L[\w.]+|[A-Za-z_][\w.]*):")
BRANCH = re.compile(r"^\s+(b[a-z]*(\.[a-z]+)?|cbn?z|tbn?z)\s+(.*,\s*)?(\.?L[\w.]+)\s*$")
FILE = re.compile(r'^\s+\.file\s+(\d+)\s+"([^"]+)"')
LOC = re.compile(r"^\s+\.loc\s+(\d+)\s+(\d+)")
DEFINITION = re.compile(r"^[A-Za-z_][\w \t*]*?\b(\w+)\s*\([^;]*$")


def functions(source):
    """{name: [(first line, last line)]} of the function definitions in a C file."""
    with open(source) as f:
        lines = f.read().splitlines()
    found = collections.defaultdict(list)
    i = 0
    while i < len(lines):
        m = DEFINITION.match(lines[i])
        if not m or m.group(1) in ("if", "while", "for", "switch", "return", "__attribute__"):
            i += 1
            continue
        depth, opened, j = 0, False, i
        while j < len(lines):
            depth += lines[j].count("{") - lines[j].count("}")
            opened = opened or "{" in lines[j]
            if lines[j].rstrip().endswith(";") and not opened:
                break  # a declaration
            if opened and depth <= 0:
                found[m.group(1)].append((i + 1, j + 1))
                break
            j += 1
        i = j + 1
    return found


def narrowed(source, spans, start, stop):
    """The part of spans from a line matching start to the next matching stop."""
    with open(source) as f:
        lines = f.read().splitlines()
    parts = []
    for first, last in spans:
        lo = first
        if start:
            lo = next((i for i in range(first, last + 1) if re.search(start, lines[i - 1])), None)
            if lo is None:
                continue
        hi = last
        if stop:
            hi = next((i - 1 for i in range(lo + 1, last + 1) if re.search(stop, lines[i - 1])), last)
        parts.append((lo, hi))
    return parts


def parse(path, source_name):
    """Instructions with their source line (in source_name, else None), and loops."""
    with open(path) as f:
        lines = f.read().splitlines()
    files, code, labels, spans = {}, [], {}, []
    line_no = None
    for text in lines:
        m = FILE.match(text)
        if m:
            files[m.group(1)] = m.group(2)
            continue
        m = LOC.match(text)
        if m:
            name = files.get(m.group(1), "")
            if name == source_name or name.endswith("/" + source_name):
                line_no = int(m.group(2))
            # Code from a header (arm_neon.h's intrinsics) stays with the
            # source line that used it.
            continue
        m = LABEL.match(text)
        if m:
            labels[m.group(1)] = len(code)
            continue
        b = BRANCH.match(text)
        ins = re.split(r"@|//", text)[0].strip()
        if text.startswith(("\t", " ")) and ins and not ins.startswith("."):
            code.append((ins, line_no))
            if b and b.group(4) in labels:
                spans.append((labels[b.group(4)], len(code)))
    innermost = sorted(s for s in spans
                       if not any(o != s and s[0] <= o[0] and o[1] <= s[1] for o in spans))
    return code, innermost


LONG_FORMS = {"vmull", "vmlal", "vmlsl", "vqdmull", "vqdmlal", "vqdmlsl", "vmovl", "vaddl",
              "vsubl", "vshll", "vabdl", "vabal", "vpaddl", "vpadal"}
VECTOR_REGISTERS = re.compile(r"\{([^}]*)\}")


def d_registers(operands):
    """How many 64-bit registers a vld/vst register list names."""
    count = 0
    for part in VECTOR_REGISTERS.search(operands).group(1).split(","):
        part = part.strip().split("[")[0]
        if "-" in part:
            a, b = part.split("-")
            count += int(b.strip()[1:]) - int(a.strip()[1:]) + 1
        elif part:
            count += 2 if part.startswith("q") else 1
    return count


def lanes(ins):
    """32-bit lanes (or 64-bit ones for long forms) an instruction works on."""
    mnemonic, operands = (ins.split(None, 1) + [""])[:2]
    operands = operands.strip()
    if not mnemonic.startswith("v"):
        registers = 2 if mnemonic.startswith(("strd", "ldrd", "stp", "ldp")) else 1
        # AArch64 loads and stores of q and d registers: 4 and 2 lanes each
        return registers * {"q": 4, "d": 2}.get(operands[:1], 1)
    if "{" in operands:
        return d_registers(operands) * 64 // 32
    size = re.search(r"\.[isuf](8|16|32|64)", mnemonic)
    element = int(size.group(1)) if size else 32
    base = mnemonic.split(".")[0]
    if base in LONG_FORMS:
        element *= 2  # wide results: 64-bit lanes from 32-bit operands
    width = 128 if operands.startswith("q") else 64
    return max(1, width // max(element, 32))


RETURN = re.compile(r"^(pop(\.w)?\s.*\bpc\b|bx\s+lr|ldm.*\bpc\b|ret\b)")


OPPOSITE = {"eq": "ne", "ne": "eq", "cs": "cc", "cc": "cs", "hs": "lo", "lo": "hs", "mi": "pl",
            "pl": "mi", "vs": "vc", "vc": "vs", "hi": "ls", "ls": "hi", "ge": "lt", "lt": "ge",
            "gt": "le", "le": "gt"}


def without_it(body):
    """The loop without Thumb-2's IT instructions, which llvm-mca 14 cannot
    take: each IT is left out and the instructions it predicates lose their
    condition (llvm-mca does not follow branches or conditions anyway; the
    cores issue them either way), so the block costs what they cost."""
    out, pending = [], []
    for ins in body:
        mnemonic, operands = (ins.split(None, 1) + [""])[:2]
        m = re.fullmatch(r"it([te]{0,3})", mnemonic)
        if m:
            first = operands.strip()
            pending = [first] + [first if c == "t" else OPPOSITE[first] for c in m.group(1)]
            continue
        if pending:
            cond = pending.pop(0)
            base, dot, rest = mnemonic.partition(".")
            if base.endswith(cond):
                mnemonic = base[:-len(cond)] + dot + rest
        # llvm-mca 14 rejects compares with #0; the register form (the
        # operand against itself) takes the same unit and latency
        if re.fullmatch(r"vc(le|lt|ge|gt|eq)\.[su]?\d+", mnemonic) and operands.endswith("#0"):
            source = operands.split(",")[1].strip()
            operands = f"{operands.rsplit(',', 1)[0]}, {source}"
        # vswp and vldm/vstm of more than four registers have no class in
        # llvm-mca 14's Cortex-A9 model: vtrn writes both registers
        # through the same unit, vld1/vst1 move four registers at a time
        if mnemonic == "vswp":
            mnemonic = "vtrn.32"
        m = re.fullmatch(r"(\w+),\s*\{([^}]*)\}", operands)
        if mnemonic in ("vldmia", "vstmia") and m:
            registers = []
            for part in m.group(2).split(","):
                first, _, last = part.strip().partition("-")
                last = last or first
                registers += [f"d{i}" for i in range(int(first[1:]), int(last.strip()[1:]) + 1)]
            if len(registers) > 4:
                op = "vld1.64" if mnemonic == "vldmia" else "vst1.64"
                for i in range(0, len(registers), 4):
                    chunk = registers[i:i + 4]
                    out.append(f"{op}\t{{{', '.join(chunk)}}}, [{m.group(1)}]")
                continue
        out.append(f"{mnemonic}\t{operands}" if operands else mnemonic)
    return out


A64_VECTOR = re.compile(r"\bv\d+\.(\d*)([bhsd])\b")
A64_NAMES = {"sqdmulh": "vqdmulh", "sqrdmulh": "vqrdmulh", "smull": "vmull", "umull": "vmull",
             "smlal": "vmlal", "smlsl": "vmlsl", "umlal": "vmlal", "sqdmull": "vqdmull",
             "sshr": "vshr", "ushr": "vshr", "sshl": "vshl", "ushl": "vshl", "uxtl": "vmovl",
             "sxtl": "vmovl", "sqxtn": "vqmovn", "xtn": "vmovn", "cmle": "vcle", "cmge": "vcge",
             "cmgt": "vcgt", "cmlt": "vclt", "neg": "vneg", "ld1": "vld1", "ld2": "vld2",
             "ld3": "vld3", "ld4": "vld4", "st1": "vst1", "st2": "vst2", "st3": "vst3",
             "st4": "vst4"}
BITS = {"b": 8, "h": 16, "s": 32, "d": 64}


def as_a32(ins):
    """An AArch64 vector instruction named as its A32 counterpart (vmul.i32
    q..), for the same selection patterns and work counts: the lanes come
    from its arrangement (.4s: a q register of 32-bit lanes; .2d from a long
    form: 64-bit lanes). Scalar AArch64 instructions stay as they are."""
    mnemonic, operands = (ins.split(None, 1) + [""])[:2]
    m = A64_VECTOR.search(operands)
    if not m:
        return ins
    base = mnemonic if mnemonic in A64_NAMES else re.sub(r"2$", "", mnemonic)  # smull2: smull
    name = A64_NAMES.get(base, "v" + base)
    count, size = int(m.group(1) or 1), BITS[m.group(2)]
    width = count * size
    if name in ("vmull", "vmlal", "vmlsl", "vqdmull", "vmovl") or size == 64:
        size //= 2  # the lanes' source elements
    register = "q0" if width == 128 else "d0"
    if "{" in operands:
        regs = VECTOR_REGISTERS.search(operands).group(1)
        n = len(re.findall(r"v\d+", regs))
        if "-" in regs:
            a, b = (int(x) for x in re.findall(r"v(\d+)", regs)[:2])
            n = (b - a) % 32 + 1
        return f"{name}.{size} {{{', '.join(register for _ in range(n))}}}, [x0]"
    return f"{name}.i{size} {register}, {register}, {register}"


def work(body, measure):
    body = [as_a32(ins) for ins in body]
    if measure.startswith("="):
        return float(measure[1:])
    if measure == "loads":
        # 32-bit values read in, not reloads from the stack
        return sum(lanes(ins) for ins in body if re.match(r"(ldr|ldrd|ldp|ldrsw|vld[1-4]\.32|vldr)[.\s]", ins)
                   and "[sp" not in ins)
    if measure == "stores":
        # values written out, not spills to the stack
        stores = [ins for ins in body if re.match(r"(str|strh|strd|stp|vst[1-4]|vstr)[.\s]", ins)
                  and "[sp" not in ins]
        return sum(2 if ins.startswith("vstr") and re.search(r"\sd\d", ins) else lanes(ins) for ins in stores)
    pattern = re.compile(r"^(" + measure + r")[.\s]")
    return sum(lanes(ins) for ins in body if pattern.match(ins) and "#" not in ins
               and not re.search(r",\s*-?\d+$", ins))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("asm")
    parser.add_argument("source")
    parser.add_argument("function", nargs="?")
    parser.add_argument("--from", dest="start")
    parser.add_argument("--to", dest="stop")
    parser.add_argument("--pattern", default=".")
    parser.add_argument("--count", type=int, default=1)
    parser.add_argument("--nth", type=int, default=1)
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--work")
    parser.add_argument("--no-it", action="store_true")
    args = parser.parse_args()
    defined = functions(args.source)
    if args.function in defined and (args.start or args.stop):
        defined[args.function] = narrowed(args.source, defined[args.function], args.start, args.stop)
    source_name = args.source.rsplit("/", 1)[-1]
    code, loops = parse(args.asm, source_name)

    def holds(loop, name):
        return any(n is not None and any(a <= n <= b for a, b in defined.get(name, []))
                   for _, n in code[loop[0]:loop[1]])

    if args.list:
        for loop in loops:
            body = [ins for ins, _ in code[loop[0]:loop[1]]]
            names = collections.Counter(ins.split()[0] for ins in body)
            owners = [name for name in defined if holds(loop, name)]
            print(f"{len(body)} instructions, from {' '.join(owners) or '?'}: "
                  + " ".join(f"{n}x{c}" for n, c in names.most_common()))
        return 0
    if args.function not in defined:
        print(f"mca_loop: no function {args.function} in {args.source}", file=sys.stderr)
        return 1
    pattern = re.compile(args.pattern)
    seen = 0
    for loop in loops:
        body = [ins for ins, _ in code[loop[0]:loop[1]]]
        if any(RETURN.match(ins) for ins in body):
            continue  # a way out of the function, not a loop step
        if holds(loop, args.function) and sum(1 for ins in body
                                              if pattern.search(as_a32(ins))) >= args.count:
            seen += 1
            if seen == args.nth:
                if args.work:
                    print(work(without_it(body), args.work))
                else:
                    print("\n".join(without_it(body) if args.no_it else body))
                return 0
    print(f"mca_loop: no loop of {args.function} in {args.asm} matches {args.pattern} "
          f"{args.count} times", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
