#include "core/path_collisions.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "core/case_fold.h"

namespace velmora::engine {
namespace {

// Each path is compared in its folded form with '/' as '\0', a byte no safe
// path holds, so that the sorted keys put everything under "a/" right after
// "a" (nothing sorts between "a" and "a\0..."): every collision is between
// neighbours. That is n log n comparisons, where looking up every parent
// folder of every path costs the square of the depth for each path.
//
// The folded form of ASCII text is its bytes upper-cased, so an ASCII path
// is compared through this table byte by byte rather than copied; only the
// few paths beyond ASCII are folded into a copy. The table leaves a folded
// copy's bytes as they are ('/' is gone from it below, lowercase ASCII is
// not in it), so it serves both.
constexpr std::array<std::uint8_t, 256> kFoldedByte = [] {
    std::array<std::uint8_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) table[b] = static_cast<std::uint8_t>(b >= 'a' && b <= 'z' ? b - 'a' + 'A' : b);
    table['/'] = 0;
    return table;
}();

std::uint8_t Folded(char c) { return kFoldedByte[static_cast<unsigned char>(c)]; }

// Like std::string_view::compare of the folded forms. Paths share long
// beginnings (their folders): those are passed over eight bytes at a time
// while the bytes are the very same.
int CompareFolded(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common;) {
        if (common - i >= 8) {
            std::uint64_t x, y;
            std::memcpy(&x, a.data() + i, 8);
            std::memcpy(&y, b.data() + i, 8);
            if (x == y) {
                i += 8;
                continue;
            }
        }
        if (a[i] != b[i]) {
            const std::uint8_t x = Folded(a[i]);
            const std::uint8_t y = Folded(b[i]);
            if (x != y) return x < y ? -1 : 1;
        }
        ++i;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

std::optional<PathCollision> FindPathCollision(std::size_t count,
                                               const std::function<std::string_view(std::size_t)>& pathOf) {
    // The folded copies of the paths beyond ASCII, back to back; then the
    // text each path is compared by: itself, or its copy.
    std::string folded;
    for (std::size_t i = 0; i < count; ++i)
        if (const std::string_view path = pathOf(i); !IsAscii(path)) folded += FoldCase(path);
    std::replace(folded.begin(), folded.end(), '/', '\0');
    std::vector<std::string_view> texts(count);
    for (std::size_t i = 0, copied = 0; i < count; ++i) {
        texts[i] = pathOf(i);
        if (IsAscii(texts[i])) continue;
        const std::size_t size = FoldCase(texts[i]).size();
        texts[i] = std::string_view(folded).substr(copied, size);
        copied += size;
    }
    std::vector<std::uint32_t> order(count);
    for (std::size_t i = 0; i < count; ++i) order[i] = static_cast<std::uint32_t>(i);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int compared = CompareFolded(texts[a], texts[b]);
        return compared != 0 ? compared < 0 : a < b;
    });
    for (std::size_t k = 1; k < order.size(); ++k) {
        const std::string_view before = texts[order[k - 1]];
        const std::string_view after = texts[order[k]];
        if (CompareFolded(after, before) == 0)
            return PathCollision{PathCollision::Kind::SameFile, order[k - 1], order[k]};
        if (after.size() > before.size() && CompareFolded(after.substr(0, before.size()), before) == 0 &&
            Folded(after[before.size()]) == 0)
            return PathCollision{PathCollision::Kind::FileIsFolder, order[k - 1], order[k]};
    }
    return std::nullopt;
}

std::optional<PathCollision> FindPathCollision(const std::vector<std::string_view>& paths) {
    return FindPathCollision(paths.size(), [&](std::size_t i) { return paths[i]; });
}

}  // namespace velmora::engine
