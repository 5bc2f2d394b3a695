#!/usr/bin/env python3
"""Writes the seed inputs of the sortcompare fuzz target to corpus/sortcompare.

The byte layout is described at the top of fuzz_sortcompare.cpp. The name atoms are read from
that file, so a seed names its pieces as text; the smaller tables are repeated here and must be
kept in step with it.
"""

import math
import pathlib
import re

HERE = pathlib.Path(__file__).resolve().parent
SOURCE = (HERE / "fuzz_sortcompare.cpp").read_text(encoding="utf-8")


def c_text(literal):
    """The text of a C++ u"..." literal body."""
    out, k = [], 0
    while k < len(literal):
        c = literal[k]
        if c != "\\":
            out.append(c)
            k += 1
        elif literal[k + 1] == "u":
            out.append(chr(int(literal[k + 2:k + 6], 16)))
            k += 6
        elif literal[k + 1] == "U":
            out.append(chr(int(literal[k + 2:k + 10], 16)))
            k += 10
        else:
            out.append(literal[k + 1])
            k += 2
    return "".join(out)


ATOMS = [c_text(m) for m in re.findall(
    r'u"((?:[^"\\]|\\.)*)"',
    re.search(r"Atoms\[\] = \{(.*?)\};", SOURCE, re.S).group(1))]
TOLERANCE_TEXTS = ["0", "1", "60", "-5", "abc", "", " 2.5", "\t+.5x"]
TOLERANCE_CHARS = " \t+-.0123456789ae"
BASES = [45000.5, 45000.0, 44999.999988425925, 0.0, -1.25, -1.0, -0.5, -36522.75, -657434.0,
         2958465.75, 2958465.999988426, 1.5, 36526.25, 45292.0417, 0.00001]
OFFSETS = [0, 0, 0, -156, 1, -1, 5, 6, 7, -6, -7, 60, 65, 66, 67, -66, 155, 156, 157, 3600, 3605,
           3606, 3607, -3606, 86399, 86400, -86400, 0.5, 43200, -43200]
NEGATIVE_ZERO, NO_TIME = 30, 31
ATTRS = [0, 0, 32, 1, 2, 33, 35, 16, 16, 17, 18, 48, -5, -17, -2**31]
SIZES = [0, 0, 1, 100, 4095, 4096, 2**31 - 1, 2**31, 2**32, 5000000000, 5000000001, 2**53 + 1,
         2**63, 2**64 - 1, 7]
# Spellings (see respelt()): 0 as it is, 9 upper, 10 lower, 11 first letter swapped, 12 last
# swapped, 13 all swapped, 14 case folded, 15 capitalised.
AS_IS, UPPER, LOWER, SWAP_FIRST, SWAP_LAST, SWAP_ALL, FOLDED, CAPITAL = 0, 9, 10, 11, 12, 13, 14, 15
# Limits (see limitText()): none (a null text, or an empty one); the folder of entry k of the
# list, as it is or in other case; folder k of the pool with `cut` trailing units taken off.
NO_LIMIT, EMPTY_LIMIT_TEXT = 0, 2


def limit_of_entry(k):
    return 3 | k << 3


def limit_respelt(k):
    return 6 | k << 3


def limit_of_pool(k, cut=0):
    return 7 | k << 3 | cut << 6


def atoms_of(name):
    """Splits a name into atoms, longest first."""
    out, k = [], 0
    ranked = sorted(range(len(ATOMS)), key=lambda i: -len(ATOMS[i]))
    while k < len(name):
        for i in ranked:
            if name.startswith(ATOMS[i], k):
                out.append(i)
                k += len(ATOMS[i])
                break
        else:
            raise ValueError(f"no atom for {name[k:]!r}")
    return out


class Seed:
    def __init__(self, names, folders=((),), bases=(45000.5,) * 4, flags=0, tolerance=0,
                 limits=(NO_LIMIT, NO_LIMIT)):
        self.names = names
        self.folders = folders  # each: (parent index or None, [(name, spelling), ...])
        self.bases = bases
        self.flags = flags
        self.tolerance = tolerance
        self.limits = limits
        self.lists = ([], [])

    def entry(self, side, name, folder=0, attr=32, size=100, base=0, offset=0, spelling=AS_IS,
              folder_spelling=AS_IS, jitter=None):
        """Adds an entry: name and folder are pool indices, attr, size and offset values."""
        self.lists[side].append((name, spelling, folder, folder_spelling, ATTRS.index(attr),
                                 SIZES.index(size), base, offset, jitter))
        return self

    def bytes(self):
        out = bytearray([self.flags])
        if isinstance(self.tolerance, int):  # one of TOLERANCE_TEXTS
            out.append(self.tolerance)
        else:
            out.append(0xE0 | len(self.tolerance))
            out += bytes(TOLERANCE_CHARS.index(c) for c in self.tolerance)
        assert 1 <= len(self.names) <= 8 and 1 <= len(self.folders) <= 6
        assert all(len(entries) <= 60 for entries in self.lists)
        out.append(len(self.names) - 1)
        for name in self.names:
            atoms = atoms_of(name)
            assert 1 <= len(atoms) <= 6, name
            out.append(len(atoms) - 1)
            out += bytes(atoms)
        out.append(len(self.folders) - 1)
        for k, folder in enumerate(self.folders):
            parent, parts = (folder[0], folder[1]) if folder and not isinstance(folder[0], tuple) \
                else (None, list(folder))
            assert len(parts) <= 3 and (parent is None or parent < k)
            out.append((0x80 | parent << 3 if parent is not None else 0) | len(parts))
            out += bytes(spelling << 4 | name for name, spelling in parts)
        out += bytes(BASES.index(b) for b in self.bases)
        out += bytes(self.limits)
        out += bytes(len(entries) for entries in self.lists)
        for entries in self.lists:
            for name, spelling, folder, fspell, attr, size, base, offset, jitter in entries:
                if isinstance(offset, float) and math.isnan(offset):
                    time = NO_TIME
                elif offset == "-0":
                    time = NEGATIVE_ZERO
                else:
                    time = OFFSETS.index(offset)
                out += bytes([spelling << 4 | name, fspell << 4 | folder, size << 4 | attr,
                              (0x80 if jitter is not None else 0) | time << 2 | base])
                if jitter is not None:
                    out.append(jitter & 0xFF)
        return bytes(out)


O, F = 0, 1
NAN = float("nan")
seeds = {}

# Dotted capital I lower-cases to two units, so match keys grow longer than the names.
s = Seed(["F\u0130le", "f\u0130le", "file", "abc", "\u0130"], folders=[(), [(4, AS_IS)]])
s.entry(O, 0).entry(O, 3).entry(O, 2, folder=1).entry(O, 4, folder=1).entry(O, 3, folder=1)
s.entry(F, 1).entry(F, 3, size=4096).entry(F, 2, spelling=UPPER).entry(F, 4, folder=1)
s.entry(F, 0, folder=1, folder_spelling=LOWER)
seeds["dotted-capital-i"] = s

# Sharp s: the capital lower-cases to the small one, the small one upper-cases to "SS".
s = Seed(["Stra\u00DFe", "STRA\u1E9EE", "ss", "\u00DF", "SS"])
s.entry(O, 0).entry(O, 1).entry(O, 2).entry(O, 3, size=0)
s.entry(F, 1, size=4096).entry(F, 0).entry(F, 0, spelling=UPPER).entry(F, 3, spelling=UPPER)
s.entry(F, 4, spelling=LOWER)
seeds["sharp-s"] = s

# Two files whose names differ only in case; the Final keeps the second one: it finds its own
# spelling, and the first is only in the Original.
s = Seed(["Data.txt", "data.txt", "readme"])
s.entry(O, 0, size=100).entry(O, 1, size=4095).entry(O, 2)
s.entry(F, 1, size=4095).entry(F, 2, spelling=UPPER)
seeds["case-twin-files"] = s

# Folders that differ only in case, with their entries, sorted by In Folder and compared.
s = Seed(["Data", "a", "b"], folders=[(), [(0, AS_IS)], [(0, LOWER)], [(0, UPPER)]])
s.entry(O, 0, attr=16).entry(O, 0, attr=16, spelling=LOWER).entry(O, 1, folder=2)
s.entry(O, 1, folder=1).entry(O, 2, folder=3).entry(O, 1, folder=1, size=7)
s.entry(F, 0, attr=16, spelling=LOWER).entry(F, 1, folder=1, size=7).entry(F, 1, folder=2)
s.entry(F, 1, folder=1).entry(F, 0, attr=16).entry(F, 2, folder=3, size=0)
seeds["case-twin-folders"] = s

# Digit runs: v01 and v1 are one number, v10 comes after v2, "file10" after "file9".
s = Seed(["v01", "v1", "v10", "v2", "file10", "file9"],
         folders=[(), [(0, AS_IS)], [(1, AS_IS)], [(2, AS_IS)], [(3, UPPER)]])
for k, folder in enumerate([3, 1, 4, 2, 0, 1]):
    s.entry(O, 4 + k % 2, folder=folder, size=SIZES[k + 2])
    s.entry(F, k, folder=(folder + 1) % 5)
seeds["digit-runs"] = s

# Exact duplicates: three in the Original, two in the Final, one of them changed.
s = Seed(["same", "other"])
s.entry(O, 0).entry(O, 0).entry(O, 1).entry(O, 0, size=4096)
s.entry(F, 0, size=4096).entry(F, 1).entry(F, 0)
seeds["exact-duplicates"] = s

# The Original limited two folders deep, the Final one deep: the walk puts the extra folder in
# front of the Final's keys; entries outside the limits still pair but are not listed.
s = Seed(["Sub", "Deeper", "x", "y"],
         folders=[(), [(0, AS_IS)], (1, [(1, AS_IS)]), [(1, AS_IS)], [(1, LOWER)]],
         limits=(limit_of_entry(0), limit_of_entry(0)))
s.entry(O, 2, folder=2).entry(O, 3, folder=2).entry(O, 2, folder=1).entry(O, 1, folder=1, attr=16)
s.entry(F, 2, folder=3, size=7).entry(F, 3, folder=4).entry(F, 2).entry(F, 3, folder=3)
seeds["limits-different-depths"] = s

# A limit respelt in lower case holds only the lower-case twin; a limit cut short holds every
# folder that starts with it.
s = Seed(["Data", "x", "v1"], folders=[(), [(0, AS_IS)], [(0, LOWER)], (1, [(2, AS_IS)])],
         limits=(limit_respelt(1), limit_of_pool(1, cut=2)))
s.entry(O, 1, folder=0).entry(O, 1, folder=1).entry(O, 1, folder=2).entry(O, 1, folder=3)
s.entry(F, 1, folder=0, size=7).entry(F, 1, folder=2, size=7).entry(F, 1, folder=1)
s.entry(F, 1, folder=3, size=0)
seeds["limits-case-and-cut"] = s

# No limit, given as an empty text for the Original and as a null one for the Final.
s = Seed(["a", "b"], folders=[(), [(0, AS_IS)]], limits=(EMPTY_LIMIT_TEXT, NO_LIMIT))
s.entry(O, 0).entry(O, 1, folder=1).entry(O, 1, size=7)
s.entry(F, 0, size=7).entry(F, 1, folder=1).entry(F, 0, folder=1)
seeds["empty-limit-text"] = s

# Before 1900 the fraction counts forward from midnight: -1.25 is earlier than -1.0 + 6 hours,
# later than -1.5; -0.5 and 0.5 are the same moment; a file without a time is compared as 0.
s = Seed(["a", "b", "c", "d"], bases=(-1.25, -1.0, -0.5, -36522.75))
s.entry(O, 0, base=0).entry(O, 1, base=1, offset=43200).entry(O, 2, base=2)
s.entry(O, 3, base=3, offset=-6).entry(O, 0, base=1, offset=-43200, spelling=UPPER)
s.entry(O, 1, offset=NAN).entry(O, 2, offset="-0")
s.entry(F, 0, base=0, offset=6).entry(F, 1, base=1, offset=43200, jitter=3)
s.entry(F, 2, base=2, offset=-7)
s.entry(F, 3, base=3).entry(F, 1, offset="-0", spelling=UPPER).entry(F, 2, base=2, offset=NAN)
seeds["pre-1900-times"] = s


def boundary(tolerance, seconds):
    """Pairs with times just inside, at and just beyond what the tolerance allows."""
    s = Seed(["a", "b", "c", "d", "e", "f"], bases=(45000.5, 2958465.75, -36522.75, 0.0),
             tolerance=tolerance)
    for k, off in enumerate([seconds - 1, seconds, seconds + 1]):
        s.entry(O, k, base=k % 3).entry(F, k, base=k % 3, offset=off)
    s.entry(O, 3, base=1).entry(F, 3, base=1, offset=seconds, jitter=5)
    s.entry(O, 4, base=2).entry(F, 4, base=2, offset=seconds, jitter=-5)
    s.entry(O, 5, base=3, offset=-seconds).entry(F, 5, base=3)
    return s


seeds["tolerance-zero"] = boundary(0, 6)
seeds["tolerance-one"] = boundary(1, 66)
seeds["tolerance-sixty"] = boundary(2, 3606)
seeds["tolerance-text"] = boundary(" 2.5", 156)
s = boundary(3, 6)  # "-5": every pair of files differs in time, even equal times
s.flags = 64
seeds["tolerance-negative"] = s

# Letters whose case twins lie elsewhere: Kelvin and Angstrom signs, final sigma, title case.
s = Seed(["\u212A", "k", "\u212B", "\u00C5", "\u00E5", "\u03A3", "\u03C2", "\u01C5"])
for k in range(8):
    s.entry(O, k, size=SIZES[2 + k % 5])
    s.entry(F, 7 - k, spelling=[AS_IS, UPPER, LOWER, FOLDED, SWAP_ALL][k % 5])
seeds["case-twins-beyond-ascii"] = s

# Characters beyond the BMP: Deseret capital and small letter, an emoji, CJK.
s = Seed(["\U00010400x", "\U00010428x", "\U0001F600", "\u65E5\u672C", "\U00020000a"],
         folders=[(), [(0, AS_IS)], [(1, AS_IS)]])
for k in range(5):
    s.entry(O, k, folder=k % 3).entry(F, 4 - k, folder=(k + 1) % 3, spelling=SWAP_FIRST)
seeds["beyond-bmp"] = s

# Names holding a backslash or a bar: "a\B\c" is both a file in a\B\ and "B\c" in a\.
s = Seed(["a", "B", "c", "B\\c", "x|y"], folders=[(), [(0, AS_IS)], (1, [(1, AS_IS)]),
                                                  (1, [(1, LOWER)])])
s.entry(O, 2, folder=2).entry(O, 3, folder=1).entry(O, 3, folder=1, spelling=LOWER)
s.entry(O, 4).entry(O, 2, folder=3)
s.entry(F, 3, folder=1, spelling=LOWER).entry(F, 2, folder=3).entry(F, 2, folder=2, size=7)
s.entry(F, 4, spelling=UPPER).entry(F, 3, folder=1)
seeds["backslash-in-names"] = s

# Attribute words as text ("-17" < "-5" < "16" < "2"), folders against files of one name, sizes
# past 32 bits; only the attribute bits not ignored count.
s = Seed(["a", "b", "c", "d", "e", "f"], flags=0b100001)
s.entry(O, 0, attr=-5).entry(O, 1, attr=-17, size=2**31).entry(O, 2, attr=-2**31, size=5000000000)
s.entry(O, 3, attr=2).entry(O, 4, attr=33).entry(O, 5, attr=16)
s.entry(F, 0, attr=16).entry(F, 1, attr=-17, size=2**31 - 1).entry(F, 2, attr=1, size=5000000000)
s.entry(F, 3, attr=35).entry(F, 4, attr=32).entry(F, 5, attr=32, size=0)
seeds["attributes-and-sizes"] = s

out = HERE / "corpus" / "sortcompare"
out.mkdir(parents=True, exist_ok=True)
for name, seed in seeds.items():
    (out / name).write_bytes(seed.bytes())
print(f"{len(seeds)} seeds written to {out}")
