#include "core/case_fold.h"

#include <algorithm>
#include <iterator>

#include "core/case_fold_table.h"

namespace velmora::engine {
namespace {

// One character of UTF-8 text: its code point and its length in bytes; a
// byte that starts no valid BMP sequence (a stray byte, an overlong or cut
// form, a surrogate, a 4-byte sequence beyond the BMP) is passed on as it is
// with `fold` false.
struct Decoded {
    char16_t unit;
    std::size_t length;
    bool fold;
};

Decoded DecodeAt(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) return {lead, 1, true};
    std::size_t length;
    char32_t code;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0Fu;
    } else {
        return {0, 1, false};
    }
    if (text.size() - i < length) return {0, 1, false};
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return {0, 1, false};
        code = code << 6 | (next & 0x3Fu);
    }
    if (code < (length == 2 ? 0x80u : 0x800u) || (code >= 0xD800 && code <= 0xDFFF)) return {0, 1, false};
    return {static_cast<char16_t>(code), length, true};
}

void AppendUtf8(std::string& out, char16_t unit) {
    if (unit < 0x80) {
        out += static_cast<char>(unit);
    } else if (unit < 0x800) {
        out += static_cast<char>(0xC0 | unit >> 6);
        out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | unit >> 12);
        out += static_cast<char>(0x80 | (unit >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (unit & 0x3F));
    }
}

}  // namespace

char16_t UpcaseUnit(char16_t unit) {
    if (unit < 0x80) return unit >= 'a' && unit <= 'z' ? static_cast<char16_t>(unit - 'a' + 'A') : unit;
    using case_fold::kUpcaseRanges;
    // The last range that starts at or before `unit`.
    const auto after = std::upper_bound(std::begin(kUpcaseRanges), std::end(kUpcaseRanges), unit,
                                        [](char16_t u, const case_fold::UpcaseRange& r) { return u < r.first; });
    if (after == std::begin(kUpcaseRanges)) return unit;
    const case_fold::UpcaseRange& range = *std::prev(after);
    if (unit > range.last || (unit - range.first) % range.stride != 0) return unit;
    return static_cast<char16_t>(unit + range.delta);
}

std::string FoldCase(std::string_view text) {
    std::string folded(text);
    std::size_t i = 0;
    for (; i < folded.size() && static_cast<unsigned char>(folded[i]) < 0x80; ++i)
        if (folded[i] >= 'a' && folded[i] <= 'z') folded[i] = static_cast<char>(folded[i] - 'a' + 'A');
    if (i == folded.size()) return folded;
    // Beyond ASCII an uppercase form may take more or fewer bytes (U+0131
    // becomes 'I'): the rest is written anew.
    folded.resize(i);
    while (i < text.size()) {
        const Decoded d = DecodeAt(text, i);
        if (d.fold) {
            AppendUtf8(folded, UpcaseUnit(d.unit));
        } else {
            folded += text[i];
        }
        i += d.length;
    }
    return folded;
}

// FNV-1a over the folded bytes. ASCII, which most paths are throughout, is
// folded as it is hashed; from the first other byte on the rest is folded
// whole (FoldCase folds ASCII byte by byte, so the two parts join up).
std::uint32_t FoldedHash(std::string_view text) {
    std::uint32_t hash = 2166136261u;
    const auto add = [&hash](unsigned char c) { hash = (hash ^ c) * 16777619u; };
    std::size_t i = 0;
    for (; i < text.size() && static_cast<unsigned char>(text[i]) < 0x80; ++i)
        add(static_cast<unsigned char>(text[i] >= 'a' && text[i] <= 'z' ? text[i] - 'a' + 'A' : text[i]));
    if (i == text.size()) return hash;
    for (const char c : FoldCase(text.substr(i))) add(static_cast<unsigned char>(c));
    return hash;
}

// The same as comparing FoldCase(a) with FoldCase(b), a character at a time
// without building either.
bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const auto byteA = static_cast<unsigned char>(a[i]), byteB = static_cast<unsigned char>(b[j]);
        if (byteA < 0x80 && byteB < 0x80) {  // ASCII, one byte each side: the common case, decoded at once
            if (UpcaseUnit(byteA) != UpcaseUnit(byteB)) return false;
            ++i, ++j;
            continue;
        }
        const Decoded x = DecodeAt(a, i), y = DecodeAt(b, j);
        if (x.fold != y.fold) return false;
        if (x.fold ? UpcaseUnit(x.unit) != UpcaseUnit(y.unit) : a[i] != b[j]) return false;
        i += x.length;
        j += y.length;
    }
    return i == a.size() && j == b.size();
}

}  // namespace velmora::engine
