#pragma once
// Matching a pattern in which '*' stands for any run of characters (none
// too) and every other character for one that `same` takes for it. A star
// is retried from the last one only, so a pattern of many stars costs no
// more than a few passes over the text.
#include <string_view>

namespace velmora::engine {

template <class Same>
bool StarMatches(std::string_view pattern, std::string_view text, Same same) {
    std::size_t p = 0, t = 0;
    std::size_t star = std::string_view::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && same(pattern[p], text[t])) {
            ++p;
            ++t;
        } else if (star != std::string_view::npos) {
            p = star + 1;  // the star takes one character more
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace velmora::engine
