#!/usr/bin/env python3
"""Writes comp/core/case_fold_table.h: the ranges of UTF-16 code units that
the engine upper-cases when it compares file names the way Windows does.

NTFS upper-cases every UTF-16 code unit of a name by one table, unit for
unit. This writes that table from the Unicode Character Database: each code
point of the Basic Multilingual Plane maps to its simple uppercase mapping
(UnicodeData.txt, field 12), all of them, whatever the script. What one
unit cannot become is left out, and the unit keeps its form:

- a letter with no simple uppercase mapping, even when its full mapping
  has several characters (U+00DF sharp s: "SS" in SpecialCasing.txt);
- a letter whose uppercase lies beyond U+FFFF (it would need two units);
- the code points beyond U+FFFF themselves (in UTF-16 they are surrogate
  pairs, and Windows maps neither half).

The output depends only on the database it reads: the same files give the
same header, byte for byte.

Usage: python3 tools/unicode/case_fold_table.py [UCD folder] > comp/core/case_fold_table.h
The UCD folder holds UnicodeData.txt and SpecialCasing.txt (the latter for
its version line); it defaults to /usr/share/unicode (Debian's unicode-data).
"""
import os
import re
import sys

DEFAULT_UCD = "/usr/share/unicode"
EXAMPLES = [
    (0x00DF, "sharp s (its uppercase is two letters)"),
    (0x017F, "long s"),
    (0x0131, "dotless i"),
    (0x0130, "capital I with dot above"),
    (0x212A, "Kelvin sign"),
    (0x01C5, "title case Dz with caron"),
    (0x1F80, "alpha with psili and ypogegrammeni"),
]


def unicode_version(ucd):
    """The version named on the first line of SpecialCasing.txt."""
    with open(os.path.join(ucd, "SpecialCasing.txt"), encoding="utf-8") as f:
        match = re.match(r"# SpecialCasing-(\d+\.\d+\.\d+)\.txt", f.readline())
    if not match:
        sys.exit("SpecialCasing.txt in %s does not name its Unicode version" % ucd)
    return match.group(1)


def simple_uppercase(ucd):
    """{code point: simple uppercase mapping} of every code point that has one."""
    mapping = {}
    with open(os.path.join(ucd, "UnicodeData.txt"), encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split(";")
            if len(fields) != 15:
                sys.exit("UnicodeData.txt: not 15 fields: " + line)
            if fields[12]:
                mapping[int(fields[0], 16)] = int(fields[12], 16)
    return mapping


def unit_mappings(mapping):
    """(unit, uppercase unit) for each UTF-16 unit that maps to another, and
    the code points of the BMP left out because their uppercase is not one
    unit."""
    pairs, beyond = [], []
    for code, upper in sorted(mapping.items()):
        if code > 0xFFFF or code == upper:
            continue
        if upper > 0xFFFF:
            beyond.append(code)
            continue
        pairs.append((code, upper))
    return pairs, beyond


def ranges(pairs):
    """Runs of units with the same offset, one apart or two apart (a run of
    two apart covers the alternating lower and upper case of Latin
    Extended-A and the like). Runs come in order and never overlap."""
    runs = []
    for unit, upper in pairs:
        delta = upper - unit
        if runs:
            run = runs[-1]
            step = unit - run["last"]
            if run["delta"] == delta and step in (1, 2) and (run["stride"] in (0, step)):
                run["last"] = unit
                run["stride"] = step
                continue
        runs.append({"first": unit, "last": unit, "delta": delta, "stride": 0})
    return runs


def main():
    ucd = sys.argv[1] if len(sys.argv) > 1 else DEFAULT_UCD
    version = unicode_version(ucd)
    mapping = simple_uppercase(ucd)
    pairs, beyond = unit_mappings(mapping)
    runs = ranges(pairs)
    out = sys.stdout
    out.write("#pragma once\n")
    out.write("// Written by tools/unicode/case_fold_table.py from the Unicode Character\n"
              "// Database %s (UnicodeData.txt); do not edit.\n" % version)
    out.write("// The simple uppercase mapping of every UTF-16 code unit that has one:\n"
              "// %d units in %d ranges. Left as they are: units with no simple mapping,\n"
              "// surrogates, and %d units whose uppercase lies beyond U+FFFF%s.\n"
              % (len(pairs), len(runs), len(beyond),
                 "" if not beyond else " (" + ", ".join("U+%04X" % c for c in beyond) + ")"))
    out.write("// For example:\n")
    for code, name in EXAMPLES:
        upper = dict(pairs).get(code)
        out.write("//   U+%04X %s: %s\n" % (code, name, "U+%04X" % upper if upper else "stays"))
    out.write("#include <cstdint>\n\nnamespace velmora::engine::case_fold {\n\n")
    out.write("// Units first, first + stride, ... up to last map to unit + delta.\n")
    out.write("struct UpcaseRange {\n    char16_t first;\n    char16_t last;\n"
              "    std::int32_t delta;\n    std::uint8_t stride;\n};\n\n")
    out.write("inline constexpr UpcaseRange kUpcaseRanges[] = {\n")
    for run in runs:
        out.write("    {0x%04X, 0x%04X, %d, %d},\n"
                  % (run["first"], run["last"], run["delta"], run["stride"] or 1))
    out.write("};\n\n}  // namespace velmora::engine::case_fold\n")


main()
