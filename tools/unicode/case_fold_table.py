#!/usr/bin/env python3
"""Writes comp/core/case_fold_table.h: the ranges of UTF-16 code units that
the engine upper-cases when it compares file names the way Windows does.

Each unit of the blocks below maps to its simple (one-to-one) uppercase
mapping; a unit whose uppercase form is longer than one character (such as
U+00DF, whose full uppercase is "SS") keeps its form, as it does on
Windows. The blocks are those whose letters have case in the table Windows
keeps for NTFS; newer Unicode additions that Windows does not fold (such as
Georgian Mtavruli and Cherokee small letters) and Greek Extended (whose
iota-subscript forms have no simple mapping in Python's data) are left out.

Usage: python3 tools/unicode/case_fold_table.py > comp/core/case_fold_table.h
"""
import sys
import unicodedata

BLOCKS = [
    (0x0000, 0x007F, "Basic Latin"),
    (0x0080, 0x00FF, "Latin-1 Supplement"),
    (0x0100, 0x017F, "Latin Extended-A"),
    (0x0180, 0x024F, "Latin Extended-B"),
    (0x0250, 0x02AF, "IPA Extensions"),
    (0x0370, 0x03FF, "Greek and Coptic"),
    (0x0400, 0x04FF, "Cyrillic"),
    (0x0500, 0x052F, "Cyrillic Supplement"),
    (0x0530, 0x058F, "Armenian"),
    (0x1E00, 0x1EFF, "Latin Extended Additional"),
    (0x2150, 0x218F, "Number Forms (Roman numerals)"),
    (0x24B0, 0x24FF, "Enclosed Alphanumerics (circled letters)"),
    (0x2C00, 0x2C5F, "Glagolitic"),
    (0x2C60, 0x2C7F, "Latin Extended-C"),
    (0x2C80, 0x2CFF, "Coptic"),
    (0x2D00, 0x2D2F, "Georgian Supplement"),
    (0xA640, 0xA69F, "Cyrillic Extended-B"),
    (0xA720, 0xA7FF, "Latin Extended-D"),
    (0xFF00, 0xFFEF, "Halfwidth and Fullwidth Forms"),
]


def mappings():
    for first, last, _ in BLOCKS:
        for unit in range(first, last + 1):
            upper = chr(unit).upper()
            if len(upper) == 1 and ord(upper) != unit and ord(upper) <= 0xFFFF:
                yield unit, ord(upper)


def ranges(pairs):
    """Runs of units with the same offset, one apart or two apart."""
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
    runs = ranges(mappings())
    out = sys.stdout
    out.write("#pragma once\n")
    out.write("// Written by tools/unicode/case_fold_table.py from Unicode "
              + unicodedata.unidata_version + "; do not edit.\n")
    out.write("// Simple uppercase mappings of the UTF-16 code units of these blocks:\n")
    for first, last, name in BLOCKS:
        out.write("//   U+%04X..U+%04X %s\n" % (first, last, name))
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
