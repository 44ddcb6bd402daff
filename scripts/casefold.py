#!/usr/bin/env python3
"""Writes src/platform/CaseFoldTable.h: Unicode's simple case mappings as a two-level table.

Run from anywhere with the Python whose Unicode version the table should follow:
    python3 scripts/casefold.py            # rewrites the table in place
    python3 scripts/casefold.py --stdout   # prints it instead

Names are compared by their simple upper-case form (one code point to one code point,
title-case letters included), as an NTFS volume's upcase table folds them. Python gives
full mappings (str.upper), so a character whose full upper case is several characters takes
its single-character title case when there is one (U+1F80 -> U+1F88, U+1FB3 -> U+1FBC) and
has no simple upper case otherwise (U+00DF, U+FB00). A non-ASCII character never folds to
an ASCII one (U+0131 -> I, U+017F -> S): NTFS does not, and plain names would collide.

Checked against glibc's towupper under C.UTF-8 (also Unicode 14.0): the upper-case column
agrees everywhere but at those two exclusions.

The lower-case column only undoes the fold: a character's simple lower case is kept when it
folds back to the same upper case, so lowering text never changes how it compares.
"""
import pathlib
import sys
import unicodedata

BLOCK = 64  # code points per row: the low six bits are a UTF-8 sequence's last byte
FLAT = 0x800  # below this (ASCII and two-byte characters) row k is block k, deltas indexed by cp
MAX_CP = 0x10FFFF


def is_surrogate(cp):
    return 0xD800 <= cp <= 0xDFFF


def simple_upper(cp):
    ch = chr(cp)
    full = ch.upper()
    if len(full) == 1:
        up = ord(full)
    else:
        title = ch.title()
        up = ord(title) if len(title) == 1 else cp
    if cp >= 0x80 and up < 0x80:
        return cp
    return up


def simple_lower(cp, upper):
    ch_lower = chr(cp).lower()
    if len(ch_lower) != 1:
        return cp
    low = ord(ch_lower)
    if cp >= 0x80 and low < 0x80:
        return cp
    if upper[low] != upper[cp]:
        return cp
    return low


def build():
    upper = {}
    for cp in range(MAX_CP + 1):
        if not is_surrogate(cp):
            upper[cp] = simple_upper(cp)
    lower = {}
    for cp in upper:
        lower[cp] = simple_lower(cp, upper)

    for cp, up in upper.items():
        if up == cp:
            continue
        # The fold must be stable and stay in its plane, so a 16-bit delta suffices.
        assert upper[up] == up, hex(cp)
        assert up >> 16 == cp >> 16, hex(cp)
    for cp, low in lower.items():
        assert low >> 16 == cp >> 16, hex(cp)
    # Folded text needs at most half as many bytes again: ASCII stays ASCII, and nothing
    # grows by more than two bytes to three (U+0250 -> U+2C6F).
    for mapping in (upper, lower):
        for cp, partner in mapping.items():
            grown = len(chr(partner).encode()), len(chr(cp).encode())
            assert grown[0] * 2 <= grown[1] * 3, hex(cp)
    return upper, lower


def check(upper, lower):
    samples = {
        0x61: 0x41, 0xE9: 0xC9, 0xFF: 0x178, 0x3C2: 0x3A3, 0x3C3: 0x3A3, 0x3AC: 0x386,
        0x1C5: 0x1C4, 0x1C6: 0x1C4, 0x250: 0x2C6F, 0x4D9: 0x4D8, 0x493: 0x492, 0x49B: 0x49A,
        0x4A3: 0x4A2, 0x4E9: 0x4E8, 0x4B1: 0x4B0, 0x4AF: 0x4AE, 0x4BB: 0x4BA, 0x456: 0x406,
        0x1F80: 0x1F88, 0x1FB3: 0x1FBC, 0x1C80: 0x412, 0x2C65: 0x23A, 0x10428: 0x10400,
        0x1E922: 0x1E900, 0x131: 0x131, 0x17F: 0x17F, 0xDF: 0xDF, 0x1F88: 0x1F88, 0xFB00: 0xFB00,
    }
    for cp, want in samples.items():
        assert upper[cp] == want, f"U+{cp:04X} -> U+{upper[cp]:04X}, expected U+{want:04X}"
    for cp, want in {0x41: 0x61, 0x3A3: 0x3C3, 0x1C4: 0x1C6, 0x1C5: 0x1C6, 0x2C6F: 0x250,
                     0x4D8: 0x4D9, 0x212A: 0x212A, 0x130: 0x130, 0x3F4: 0x3F4}.items():
        assert lower[cp] == want, f"lower U+{cp:04X} -> U+{lower[cp]:04X}, expected U+{want:04X}"


def delta(cp, partner):
    # Within a plane a wrapped 16-bit difference reaches any partner: 0x0282 -> 0xA7C5 is -23229.
    d = (partner - cp) & 0xFFFF
    return d - 0x10000 if d >= 0x8000 else d


def emit(upper, lower):
    last = max(cp for cp in upper if upper[cp] != cp or lower[cp] != cp)
    limit = (last // BLOCK + 1) * BLOCK
    rows = []
    row_of = {}
    block_of = []
    for start in range(0, limit, BLOCK):
        cps = range(start, start + BLOCK)
        row = (tuple(delta(cp, upper.get(cp, cp)) for cp in cps), tuple(delta(cp, lower.get(cp, cp)) for cp in cps))
        if start < FLAT or row not in row_of:
            row_of.setdefault(row, len(rows))
            block_of.append(len(rows))
            rows.append(row)
        else:
            block_of.append(row_of[row])
    assert rows[0] == ((0,) * BLOCK, (0,) * BLOCK)
    assert len(rows) <= 256

    def array(values, per_line):
        lines = []
        for k in range(0, len(values), per_line):
            lines.append("    " + " ".join(f"{v}," for v in values[k:k + per_line]))
        return "\n".join(lines)

    def deltas(column):
        return "\n".join(f"    // row {k}\n" + array(row[column], 16) for k, row in enumerate(rows))

    mapped_upper = sum(1 for cp in upper if upper[cp] != cp)
    mapped_lower = sum(1 for cp in lower if lower[cp] != cp)
    out = f"""// Generated by scripts/casefold.py from Unicode {unicodedata.unidata_version} (Python {sys.version.split()[0]} unicodedata).
// Do not edit; regenerate with: python3 scripts/casefold.py
//
// Simple case mappings, {mapped_upper} to upper case and {mapped_lower} to lower case, as two-level
// tables: kRowOf[cp / {BLOCK}] picks a row of {BLOCK} deltas, and a code point's partner is
// (cp + delta) modulo 0x10000 within cp's plane. Row 0 maps nothing; code points from kLimit on
// map nothing. Below kFlat the rows are in order, so a delta there is simply kUpperDelta[cp].
#pragma once

#include <cstdint>

namespace velmora::casefold::table {{

inline constexpr char32_t kLimit = 0x{limit:X};
inline constexpr char32_t kFlat = 0x{FLAT:X};
inline constexpr unsigned kBlockBits = {BLOCK.bit_length() - 1};

inline constexpr std::uint8_t kRowOf[{len(block_of)}] = {{
{array(block_of, 32)}
}};

inline constexpr std::int16_t kUpperDelta[{len(rows) * BLOCK}] = {{
{deltas(0)}
}};

inline constexpr std::int16_t kLowerDelta[{len(rows) * BLOCK}] = {{
{deltas(1)}
}};

}} // namespace velmora::casefold::table
"""
    return out


def main():
    upper, lower = build()
    check(upper, lower)
    text = emit(upper, lower)
    if "--stdout" in sys.argv[1:]:
        sys.stdout.write(text)
        return
    target = pathlib.Path(__file__).resolve().parent.parent / "src" / "platform" / "CaseFoldTable.h"
    target.write_text(text, encoding="utf-8")
    print(f"wrote {target}", file=sys.stderr)


if __name__ == "__main__":
    main()
