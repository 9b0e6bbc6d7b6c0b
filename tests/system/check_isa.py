#!/usr/bin/env python3
"""The instructions of a shipped program against the oldest processor it is for.

    check_isa.py --image UNSTRIPPED --shipped DELIVERED --map LINKER_MAP
                 --baseline i486|i586 --allow ALLOW_LIST
    check_isa.py --image UNSTRIPPED --map LINKER_MAP --baseline i486|i586
                 --allow ALLOW_LIST --qemu-log LOG...

Disassembles the code of the unstripped image (whose .text must be byte for
byte the delivered program's), names for every instruction the function it
lies in (the image's symbols) and the object it came from (the linker map of
the same link), stops where the code ends and the constructor tables begin,
and fails on every instruction the baseline processor lacks, unless the allow
list names its function: the code chosen at run time after a processor check.

The i486 (Windows 95 and 98's own minimum) lacks what came with the Pentium
(CPUID on early models, RDTSC, CMPXCHG8B, the model-specific registers) and
everything after it; the Pentium lacks what came with the Pentium Pro
(CMOVcc, FCMOVcc, FCOMI/FUCOMI, the long NOP 0F 1F) and MMX, SSE and later.

The second form reads the logs of qemu-user's in_asm tracing (tools/compat,
where Wine runs through qemu) and fails on any such instruction of the
image's code that ran outside the allowed functions.
"""
import argparse
import bisect
import re
import subprocess
import sys

OBJDUMP = "i686-w64-mingw32-objdump"
OBJCOPY = "i686-w64-mingw32-objcopy"

# Mnemonics (without size suffixes) by the processor that brought them.
AFTER_PENTIUM = {
    "cmov", "fcmov", "fcomi", "fcomip", "fucomi", "fucomip", "sysenter", "sysexit",
    "rdpmc", "emms", "femms", "ldmxcsr", "stmxcsr", "fxsave", "fxrstor", "xsave",
    "xsaveopt", "xsavec", "xrstor", "xgetbv", "xsetbv", "sfence", "lfence", "mfence",
    "clflush", "clflushopt", "prefetch", "prefetchw", "prefetchnta", "prefetcht0",
    "prefetcht1", "prefetcht2", "movnti", "popcnt", "lzcnt", "movbe", "crc32",
    "andn", "bextr", "blsi", "blsmsk", "blsr", "bzhi", "pdep", "pext", "rorx", "sarx",
    "shlx", "shrx", "adcx", "adox", "rdrand", "rdseed", "rdtscp", "fisttp", "monitor",
    "mwait", "cmpxchg16b",
}
AFTER_I486 = AFTER_PENTIUM | {"cpuid", "rdtsc", "rdmsr", "wrmsr", "rsm", "cmpxchg8b"}
FORBIDDEN = {"i486": AFTER_I486, "i586": AFTER_PENTIUM}

# Not among them: TZCNT (F3 0F BC), which objdump shows for what the compiler
# writes as REP BSF. A processor without BMI1 ignores the prefix and runs
# BSF, which the i386 has; the compiler uses it only where the two agree
# (a count of trailing zeros of a non-zero word).

# Registers of MMX, SSE, AVX and AVX-512: any instruction naming one is newer
# than both baselines.
VECTOR_REGISTER = re.compile(r"%(mm[0-7]|[xyz]mm[0-9]+|k[0-7])\b")
# Conditional moves come in many spellings (cmovne, cmovbe, fcmovnbe, ...).
FAMILY_PREFIXES = ("cmov", "fcmov")

INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\t([0-9a-f ]+)\t(.*)$")
LABEL = re.compile(r"^([0-9a-f]+) <(.*)>:$")


def base_mnemonic(text):
    """The mnemonic of an objdump line, prefixes dropped, e.g. 'cmovne'."""
    words = text.split()
    while words and words[0] in ("lock", "rep", "repz", "repnz", "repe", "repne", "data16",
                                 "addr16", "cs", "ds", "es", "fs", "gs", "ss", "notrack",
                                 "bnd"):
        words = words[1:]
    return words[0] if words else ""


def too_new(mnemonic, operands, raw, forbidden):
    """Why the instruction is newer than the baseline, or None."""
    if mnemonic.startswith(FAMILY_PREFIXES):
        return "conditional move (Pentium Pro)"
    if raw.replace(" ", "").startswith(("0f1f", "660f1f")):
        return "long NOP 0F 1F (Pentium Pro)"
    stem = mnemonic
    if stem not in forbidden:
        # Size suffixes of AT&T syntax: fxsavel, movntil, ...
        for suffix in ("l", "w", "q", "b"):
            if stem.endswith(suffix) and stem[:-1] in forbidden:
                stem = stem[:-1]
                break
    if stem in forbidden:
        return stem
    if VECTOR_REGISTER.search(operands):
        return "MMX/SSE/AVX register"
    return None


def text_bytes(path):
    return subprocess.run([OBJCOPY, "-O", "binary", "-j", ".text", path, "/dev/stdout"],
                          check=True, capture_output=True).stdout


class Objects:
    """Which object of the link each address of .text came from."""

    SECTION = re.compile(r"^ (\.text\S*)\s*$")
    PLACED = re.compile(r"^ (\.text\S*)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")
    CODE_END = re.compile(r"^\s+0x([0-9a-f]+)\s+___CTOR_LIST__ = \.")

    def __init__(self, map_path):
        self.starts, self.ranges = [], []
        self.code_end = None
        in_text = False
        pending = False
        with open(map_path, encoding="utf-8", errors="replace") as f:
            for line in f:
                line = line.rstrip("\n")
                if line.startswith(".text"):
                    in_text = True
                    continue
                if in_text and line and not line[0].isspace():
                    break
                if not in_text:
                    continue
                m = self.CODE_END.match(line)
                if m and self.code_end is None:
                    self.code_end = int(m.group(1), 16)
                    continue
                if self.SECTION.match(line):
                    pending = True
                    continue
                m = self.PLACED.match(line)
                if m and (m.group(1) or pending):
                    start, size = int(m.group(2), 16), int(m.group(3), 16)
                    if size:
                        self.starts.append(start)
                        self.ranges.append((start, start + size, m.group(4)))
                pending = False
        order = sorted(range(len(self.starts)), key=lambda i: self.starts[i])
        self.starts = [self.starts[i] for i in order]
        self.ranges = [self.ranges[i] for i in order]
        if self.code_end is None:
            raise SystemExit(f"{map_path}: no ___CTOR_LIST__ in .text, cannot tell where code ends")

    def of(self, address):
        i = bisect.bisect_right(self.starts, address) - 1
        if i >= 0 and address < self.ranges[i][1]:
            return self.ranges[i][2]
        return "?"


def short_object(name):
    """'.../libstdc++.a(random.o)' -> 'libstdc++.a(random.o)'; ours keep their object name."""
    m = re.search(r"([^/()]+\.a)\(([^)]+)\)$", name)
    if m:
        return f"{m.group(1)}({m.group(2)})"
    return name.rsplit("/", 1)[-1]


def ours(obj):
    """Objects of this tree (relative paths); the runtime's come from the system."""
    return not obj.startswith("/")


class Rule:
    """A line of the allow list: where, and which instructions (or 'any')."""

    def __init__(self, obj, function, kinds):
        self.obj, self.function = re.compile(obj), re.compile(function)
        self.kinds = None if kinds == "any" else set(kinds.split(","))

    def allows(self, obj, function, mnemonic):
        return bool(self.obj.search(obj) and self.function.search(function) and
                    (self.kinds is None or mnemonic in self.kinds))


def read_allow(path, program):
    """The rules of the allow list that apply to this program."""
    rules = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            fields = line.split(None, 4)
            if len(fields) < 5:
                raise SystemExit(f"{path}:{number}: want 'programs object function kinds why'")
            programs, obj, function, kinds = fields[:4]
            if programs == "*" or program in programs.split(","):
                rules.append(Rule(obj, function, kinds))
    return rules


# A block of qemu's in_asm log: "0x61b01234:  0f 44 c2  cmovel %edx, %eax";
# a long instruction's last bytes follow on a line of their own.
LOGGED = re.compile(r"^(0x[0-9a-f]+):\s+((?:[0-9a-f]{2} )+)\s*(\S.*)$")


def functions_of(image):
    """Start addresses and names of the image's functions, in order."""
    listing = subprocess.run([OBJDUMP, "-d", "-C", "-w", "-j", ".text", image], check=True,
                             capture_output=True, text=True).stdout
    starts, names = [], []
    for line in listing.splitlines():
        m = LABEL.match(line)
        if m:
            starts.append(int(m.group(1), 16))
            names.append(m.group(2))
    return starts, names


def check_log(args):
    """The instructions of the image's code that qemu logged as run."""
    objects = Objects(args.map)
    starts, names = functions_of(args.image)
    low, high = starts[0], objects.code_end
    allow = read_allow(args.allow, args.image.replace("\\", "/").rsplit("/", 1)[-1])
    forbidden = FORBIDDEN[args.baseline]
    seen, bad, allowed = set(), {}, 0
    for path in args.logs:
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                m = LOGGED.match(line.strip())
                if not m:
                    continue
                address = int(m.group(1), 16)
                if not low <= address < high or address in seen:
                    continue
                seen.add(address)
                text = m.group(3).split("#")[0].strip()
                mnemonic = base_mnemonic(text)
                operands = text[text.find(mnemonic) + len(mnemonic):]
                why = too_new(mnemonic, operands, m.group(2).strip(), forbidden)
                if not why:
                    continue
                i = bisect.bisect_right(starts, address) - 1
                function = names[i] if i >= 0 else "?"
                obj = objects.of(address)
                if any(rule.allows(obj, function, mnemonic.rstrip("lwb")) for rule in allow):
                    allowed += 1
                else:
                    bad[address] = f"{text}  [{why}]  in {function} ({short_object(obj)})"
    print(f"{len(seen)} distinct instructions of 0x{low:x}-0x{high:x} run; {allowed} in "
          f"dispatched code; {len(bad)} newer than the {args.baseline} elsewhere")
    for address in sorted(bad):
        print(f"  0x{address:x}  {bad[address]}")
    if not seen:
        print("nothing of that code ran: was the library loaded at another address?")
        return 1
    return 1 if bad else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--image", required=True)
    parser.add_argument("--shipped")
    parser.add_argument("--qemu-log", dest="logs", nargs="+")
    parser.add_argument("--map", required=True)
    parser.add_argument("--baseline", required=True, choices=sorted(FORBIDDEN))
    parser.add_argument("--allow", required=True)
    args = parser.parse_args()
    if args.logs:
        return check_log(args)
    if not args.shipped:
        parser.error("--shipped or --qemu-log is needed")
    program = args.shipped.replace("\\", "/").rsplit("/", 1)[-1]

    if text_bytes(args.image) != text_bytes(args.shipped):
        print(f"{program}: the code of {args.image} is not the delivered program's")
        return 1

    objects = Objects(args.map)
    allow = read_allow(args.allow, program)
    forbidden = FORBIDDEN[args.baseline]
    listing = subprocess.run([OBJDUMP, "-d", "-C", "-w", "-j", ".text", args.image], check=True,
                             capture_output=True, text=True).stdout

    function = "?"
    checked = 0
    found = []  # (address, function, object, instruction, why, allowed)
    for line in listing.splitlines():
        m = LABEL.match(line)
        if m:
            function = m.group(2)
            continue
        m = INSTRUCTION.match(line)
        if not m:
            continue
        address = int(m.group(1), 16)
        if address >= objects.code_end:
            break
        checked += 1
        text = m.group(3).split("#")[0].strip()
        mnemonic = base_mnemonic(text)
        operands = text[text.find(mnemonic) + len(mnemonic):] if mnemonic else ""
        why = too_new(mnemonic, operands, m.group(2).strip(), forbidden)
        if not why:
            continue
        obj = objects.of(address)
        allowed = any(rule.allows(obj, function, mnemonic) for rule in allow)
        found.append((address, function, obj, text, why, allowed))

    bad = [f for f in found if not f[5]]
    own = sum(1 for f in bad if ours(f[2]))
    print(f"{program}: {checked} instructions up to 0x{objects.code_end:x} checked against the "
          f"{args.baseline}; {len(found) - len(bad)} allowed in dispatched code; {len(bad)} newer "
          f"than the {args.baseline} elsewhere ({own} from our code, {len(bad) - own} from the "
          f"linked runtime)")
    by_object = {}
    for f in bad:
        by_object.setdefault(short_object(f[2]), []).append(f)
    for obj, items in sorted(by_object.items(), key=lambda kv: -len(kv[1])):
        print(f"  {len(items):4}  {obj}")
        for address, function_name, _, text, why, _ in items[:3]:
            print(f"          0x{address:x}  {text}  [{why}]  in {function_name}")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
