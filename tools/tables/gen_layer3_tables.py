#!/usr/bin/env python3
"""Generates the Layer III table sources of engine/mpeg from the data files in data/.

Usage: tools/tables/gen_layer3_tables.py [OUTPUT_DIR]   (default: engine/mpeg)

Writes layer3_huffman_tables.h (multi-level Huffman lookups, constexpr so that the decoder can
derive its quick tables at compile time) and layer3_band_tables.cpp (scale-factor bands, pretab,
scale-factor lengths, alias coefficients). Both are committed; the build never runs this script.
"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "data")

# First-level peek width of every code that has code words (16 and 24 serve 17..23, 25..31).
PEEK_WIDTH = {1: 3, 2: 6, 3: 6, 5: 8, 6: 7, 7: 6, 8: 8, 9: 6, 10: 8, 11: 8, 12: 7, 13: 6,
              15: 8, 16: 8, 24: 9}
# Widest second- and later-level sub-table.
SUB_WIDTH_CAP = 6


def rows(name):
    """Data rows of a .tsv file as lists of strings, comment and header lines dropped."""
    out = []
    with open(os.path.join(DATA, name), encoding="utf-8") as f:
        lines = [l.rstrip("\n") for l in f if l.strip() and not l.startswith("#")]
    for line in lines[1:]:
        out.append(line.split("\t"))
    return out


def ints(field):
    return [int(v) for v in field.split(",")]


def build_lookup(codes, width):
    """codes: list of (bits string, payload). Returns the flat uint16 node list of one
    multi-level table. Leaf: bits 8..12 bits to consume at this level, bits 0..7 payload.
    Link: bit 15 set, bits 12..14 sub-table width - 1, bits 0..11 offset from the table start."""
    nodes = []

    def emit(group, w, consumed):
        # group: codes whose first `consumed` bits are the prefix of this sub-table.
        base = len(nodes)
        nodes.extend([None] * (1 << w))
        pending = {}
        for bits, payload in group:
            rest = bits[consumed:]
            if len(rest) <= w:
                head = int(rest, 2) << (w - len(rest)) if rest else 0
                for i in range(1 << (w - len(rest))):
                    assert nodes[base + head + i] is None
                    nodes[base + head + i] = (len(rest) << 8) | payload
            else:
                pending.setdefault(int(rest[:w], 2), []).append((bits, payload))
        for index, sub in sorted(pending.items()):
            longest = max(len(b) for b, _ in sub) - consumed - w
            sw = min(longest, SUB_WIDTH_CAP)
            offset = emit(sub, sw, consumed + w)
            assert offset < 4096 and 1 <= sw <= 8
            nodes[base + index] = 0x8000 | ((sw - 1) << 12) | offset
        assert all(n is not None for n in nodes[base:base + (1 << w)]), "incomplete code"
        return base

    emit(codes, width, 0)
    return nodes


def huffman_source():
    heads = {int(r[0]): (int(r[1]), r[3]) for r in rows("huffman_l3_linbits.tsv")}
    codes = {}
    for r in rows("huffman_l3.tsv"):
        table, x, y, length, bits = int(r[0]), int(r[1]), int(r[2]), int(r[3]), r[4]
        assert len(bits) == length
        codes.setdefault(table, []).append((bits, (x << 4) | y))

    all_nodes = []
    starts = {}
    for table in sorted(PEEK_WIDTH):
        starts[table] = len(all_nodes)
        all_nodes += build_lookup(codes[table], PEEK_WIDTH[table])

    descriptors = []
    for ts in range(32):
        linbits, uses = heads[ts]
        if uses == "none":
            descriptors.append((0, 0, 0, 0))
            continue
        code = int(uses)
        kind = 3 if code in (16, 24) else (1 if max(len(b) for b, _ in codes[code]) <=
                                            PEEK_WIDTH[code] else 2)
        descriptors.append((starts[code], PEEK_WIDTH[code], linbits, kind))

    count1a = [None] * 64
    for bits, payload in codes[32]:
        v = payload >> 4
        head = int(bits, 2) << (6 - len(bits))
        for i in range(1 << (6 - len(bits))):
            count1a[head + i] = (len(bits) << 4) | v
    # Table B is the four bits inverted: check that instead of storing it.
    for bits, payload in codes[33]:
        assert int(bits, 2) == 15 - (payload >> 4)

    out = [HEADER, "#pragma once", "", '#include "layer3_huffman.h"', "",
           "namespace kivo::mpeg {", ""]
    out.append("// Multi-level lookups of every code, one after another.")
    out.append("inline constexpr uint16_t kHuffmanNodes[%d] = {" % len(all_nodes))
    out += wrap(["0x%04x" % n for n in all_nodes])
    out.append("};")
    out.append("")
    out.append("// By table_select: first node, first-level peek width, linbits, kind")
    out.append("// (0 all zero, 1 single-level, 2 multi-level, 3 multi-level with linbits).")
    out.append("inline constexpr HuffmanTable kHuffmanTables[32] = {")
    out += ["    {%d, %d, %d, %d}," % d for d in descriptors]
    out.append("};")
    out.append("")
    out.append("// Count1 table A on six peeked bits: code length << 4 | vwxy.")
    out.append("inline constexpr uint8_t kCount1TableA[64] = {")
    out += wrap(["0x%02x" % n for n in count1a])
    out.append("};")
    out += ["", "}  // namespace kivo::mpeg", ""]
    return "\n".join(out)


def band_source():
    bands = {}
    for version, rate, kind, values in rows("scalefactor_bands.tsv"):
        bands[(version, int(rate), kind)] = ints(values)
    order = [("2", [22050, 24000, 16000]), ("1", [44100, 48000, 32000]),
             ("2.5", [11025, 12000, 8000])]
    misc = {name: values for name, values in rows("layer3_misc.tsv")}

    counts = {}
    for table, kind, values in rows("layer3_lsf_nr_of_sfb.tsv"):
        counts[(int(table), kind)] = ints(values)
    # Packed scale-factor lengths: slen0..3 in 3-bit fields, group row in bits 12..14, preflag
    # in bit 15. Entries 0..511 for scalefac_compress, 512..767 for an intensity right channel.
    slen = [None] * 768
    for mode, sfc, table, lens, preflag in rows("layer3_lsf_slen.tsv"):
        s = ints(lens)
        assert all(0 <= v <= 7 for v in s)
        packed = s[0] | s[1] << 3 | s[2] << 6 | s[3] << 9 | int(table) << 12 | int(preflag) << 15
        slen[int(sfc) + (0 if mode == "normal" else 512)] = packed
    assert None not in slen

    out = [HEADER, '#include "layer3_band_tables.h"', "", "namespace kivo::mpeg {", ""]
    out.append("// [MPEG-2, MPEG-1, MPEG 2.5][sample-rate index]: long then short boundaries.")
    out.append("const BandBoundaries kBandBoundaries[3][3] = {")
    for version, rates in order:
        out.append("    {")
        for rate in rates:
            out.append("        {// %s Hz" % rate)
            out.append("         {%s}," % ", ".join(map(str, bands[(version, rate, "long")])))
            out.append("         {%s}}," % ", ".join(map(str, bands[(version, rate, "short")])))
        out.append("    },")
    out.append("};")
    out.append("")
    out.append("const uint8_t kPretab[22] = {%s};" % misc["pretab"])
    out.append("const uint8_t kSlen[2][16] = {{%s}, {%s}};" % (misc["slen1"], misc["slen2"]))
    out.append("const float kAliasCoefficients[8] = {%s};" %
               ", ".join(v + "f" for v in misc["alias_c"].split(",")))
    out.append("")
    out.append("// Scale factors per group: [row][long, short, mixed][4]. Short and mixed counts")
    out.append("// count one scale factor per window, the mixed long part one per band.")
    out.append("const uint8_t kLsfGroupCounts[6][3][4] = {")
    for t in range(6):
        out.append("    {{%s}, {%s}, {%s}}," % tuple(
            ", ".join(map(str, counts[(t, k)])) for k in ("long", "short", "mixed")))
    out.append("};")
    out.append("")
    out.append("// slen0..slen3 (3 bits each), group row << 12, preflag << 15; 0..511 by")
    out.append("// scalefac_compress, 512..767 by scalefac_compress >> 1 for an intensity right channel.")
    out.append("const uint16_t kLsfSlen[768] = {")
    out += wrap(["0x%04x" % v for v in slen])
    out.append("};")
    out += ["", "}  // namespace kivo::mpeg", ""]
    return "\n".join(out)


HEADER = ("// Generated by tools/tables/gen_layer3_tables.py from tools/tables/data; do not edit.\n"
          "// clang-format off")


def wrap(items, per_line=12):
    return ["    " + ", ".join(items[i:i + per_line]) + "," for i in range(0, len(items), per_line)]


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "..", "engine",
                                                                   "mpeg")
    for name, text in (("layer3_huffman_tables.h", huffman_source()),
                       ("layer3_band_tables.cpp", band_source())):
        with open(os.path.join(out_dir, name), "w", encoding="utf-8") as f:
            f.write(text)


if __name__ == "__main__":
    main()
