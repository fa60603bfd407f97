#pragma once
// The system's message texts carry insert sequences ("%1 is not a valid
// application.", "Bad EXE format for %1.") that the caller fills with the
// names it has. Texts are fetched with the inserts left as they are, so that
// no code can read arguments that were never given; this fills them
// afterwards.
#include <span>
#include <string>
#include <string_view>

namespace velmora {

// The text with insert n (%1 .. %99, with or without a printf-style
// "!...!" after it) replaced by inserts[n - 1]. An insert with no value is
// removed together with one blank beside it, so no "%1" ever reaches a
// reader. The escapes %% %. %! become the character, %n a line break, %r a
// carriage return, %t a tab, and %0 ends the text.
std::wstring FillInserts(std::wstring_view text, std::span<const std::wstring> inserts);

}  // namespace velmora
