#include "winsupport/message_inserts.h"

namespace velmora {
namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

}  // namespace

std::wstring FillInserts(std::wstring_view text, std::span<const std::wstring> inserts) {
    std::wstring filled;
    bool skipBlank = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const wchar_t c = text[i];
        if (skipBlank) {
            skipBlank = false;
            if (c == L' ') {
                ++i;
                continue;
            }
        }
        if (c != L'%' || i + 1 == text.size()) {
            filled.push_back(c);
            ++i;
            continue;
        }
        const wchar_t next = text[i + 1];
        if (IsDigit(next) && next != L'0') {
            std::size_t end = i + 2;
            if (end < text.size() && IsDigit(text[end])) ++end;
            std::size_t number = 0;
            for (std::size_t d = i + 1; d < end; ++d) number = number * 10 + static_cast<std::size_t>(text[d] - L'0');
            // A printf-style format ("%1!s!") belongs to the insert.
            if (end < text.size() && text[end] == L'!') {
                const std::size_t close = text.find(L'!', end + 1);
                if (close != std::wstring_view::npos) end = close + 1;
            }
            // Without a value the insert goes, with one blank beside it.
            if (number <= inserts.size() && !inserts[number - 1].empty()) {
                filled += inserts[number - 1];
            } else if (!filled.empty() && filled.back() == L' ') {
                filled.pop_back();
            } else if (end < text.size() && text[end] == L' ') {
                skipBlank = true;
            }
            i = end;
            continue;
        }
        switch (next) {
            case L'0': return filled;
            case L'n': filled.push_back(L'\n'); break;
            case L'r': filled.push_back(L'\r'); break;
            case L't': filled.push_back(L'\t'); break;
            case L'%':
            case L'.':
            case L'!': filled.push_back(next); break;
            default:  // not an escape: kept as written
                filled.push_back(L'%');
                filled.push_back(next);
                break;
        }
        i += 2;
    }
    return filled;
}

}  // namespace velmora
