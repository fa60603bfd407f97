#pragma once
// Names compared the way Windows compares file names: NTFS upper-cases each
// UTF-16 code unit with its case table, so two names are one file when
// their units upper-case alike. Portable: the table (case_fold_table.h) is
// the simple one-to-one uppercase mapping of every code unit of the Basic
// Multilingual Plane that has one, in every script, as the Unicode
// Character Database gives it. A letter whose uppercase takes more than
// one character (U+00DF stays U+00DF, never "SS") and a character beyond
// U+FFFF (a surrogate pair) keep their form, as they do on Windows.
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora::engine {

// The uppercase form of one UTF-16 code unit, or the unit itself.
char16_t UpcaseUnit(char16_t unit);

// `text` (UTF-8) with every character up to U+FFFF upper-cased by
// UpcaseUnit: the key under which two paths count as the same file. Bytes
// that are not valid UTF-8 are kept as they are.
std::string FoldCase(std::string_view text);

// A hash of FoldCase(text): two spellings Windows takes for one name hash
// alike.
std::uint32_t FoldedHash(std::string_view text);

// Whether Windows sees the two UTF-8 names as the same.
bool EqualIgnoringCase(std::string_view a, std::string_view b);

}  // namespace velmora::engine
