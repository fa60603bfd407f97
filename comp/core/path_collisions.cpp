#include "core/path_collisions.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "core/case_fold.h"

namespace velmora::engine {
namespace {

// Each path is compared in its folded form with '/' as '\0', a byte no safe
// path holds, so that in sorted order everything under "a/" comes right
// after "a" (nothing sorts between "a" and "a\0..."): every collision is
// between neighbours. That is n log n, where looking up every parent folder
// of every path costs the square of the depth for each path.
//
// The folded forms are back to back in one string, and where each begins
// (32-bit numbers: a manifest is far below 4 GiB): a few bytes a path on
// top of its text, where a string of its own costs a block of the heap
// each. They are sorted eight bytes at a time, as big-endian numbers that
// order as the bytes do, each stretch of paths alike in those by the next
// eight: a large game's paths share long beginnings
// ("content/zone12/assets/..."), which a sort comparing whole texts went
// over again at every comparison.
class FoldedPaths {
public:
    FoldedPaths(std::size_t count, const std::function<std::string_view(std::size_t)>& pathOf) : starts_(count + 1) {
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < count; ++i) bytes += pathOf(i).size();
        folded_.reserve(bytes);
        for (std::size_t i = 0; i < count; ++i) {
            starts_[i] = static_cast<std::uint32_t>(folded_.size());
            const std::string_view path = pathOf(i);
            // ASCII is folded below, with the rest, without a copy of its own.
            if (std::all_of(path.begin(), path.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
                folded_ += path;
            else
                folded_ += FoldCase(path);
        }
        starts_[count] = static_cast<std::uint32_t>(folded_.size());
        for (char& c : folded_) c = c == '/' ? '\0' : (c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    }

    std::string_view TextOf(std::size_t i) const {
        return std::string_view(folded_).substr(starts_[i], starts_[i + 1] - starts_[i]);
    }

    // Bytes [at, at + 8) of `text`, zeros past its end, as a big-endian
    // number.
    static std::uint64_t WordAt(std::string_view text, std::size_t at) {
        std::uint64_t word = 0;
        if (at < text.size()) std::memcpy(&word, text.data() + at, std::min<std::size_t>(8, text.size() - at));
        if constexpr (std::endian::native == std::endian::little) {
            word = (word & 0x00FF00FF00FF00FFull) << 8 | (word >> 8 & 0x00FF00FF00FF00FFull);
            word = (word & 0x0000FFFF0000FFFFull) << 16 | (word >> 16 & 0x0000FFFF0000FFFFull);
            word = word << 32 | word >> 32;
        }
        return word;
    }

private:
    std::string folded_;
    std::vector<std::uint32_t> starts_;
};

struct Entry {
    std::uint64_t word;  // of the folded form at the depth being sorted
    std::uint32_t path;
    std::uint32_t size;  // of the folded form
};

// The length of the beginning `a` and `b` share, knowing they share `from`
// bytes.
std::size_t SharedLength(std::string_view a, std::string_view b, std::size_t from) {
    const std::size_t size = std::min(a.size(), b.size());
    std::size_t at = from;
    for (; at + 8 <= size; at += 8)
        if (std::memcmp(a.data() + at, b.data() + at, 8) != 0) break;
    while (at < size && a[at] == b[at]) ++at;
    return at;
}

void SortAlike(const FoldedPaths& paths, Entry* first, Entry* last, std::size_t depth);

// Sorts [first, last), whose folded forms agree in their first `depth`
// bytes, as their folded forms compare, ties in the order of the paths: by
// the next eight bytes, then each stretch alike in them by what follows.
void SortFrom(const FoldedPaths& paths, Entry* first, Entry* last, std::size_t depth) {
    if (last - first < 2) return;
    bool alike = true;
    for (Entry* e = first; e != last; ++e) {
        e->word = FoldedPaths::WordAt(paths.TextOf(e->path), depth);
        alike = alike && e->word == first->word;
    }
    if (alike) return SortAlike(paths, first, last, depth);
    std::sort(first, last, [](const Entry& a, const Entry& b) { return a.word < b.word; });
    for (Entry* run = first; run != last;) {
        Entry* runEnd = run + 1;
        while (runEnd != last && runEnd->word == run->word) ++runEnd;
        if (runEnd - run > 1) SortAlike(paths, run, runEnd, depth);
        run = runEnd;
    }
}

// Sorts [first, last), whose folded forms agree in their first `depth`
// bytes and in the eight after them, zeros past an end. The beginning they
// all share is found at once, however long (paths 100 folders deep share
// hundreds of bytes): a path that is all of it is a beginning of every
// other one, and those come first.
void SortAlike(const FoldedPaths& paths, Entry* first, Entry* last, std::size_t depth) {
    const std::string_view firstText = paths.TextOf(first->path);
    std::size_t shared = firstText.size();
    for (Entry* e = first + 1; e != last; ++e)
        shared = SharedLength(firstText.substr(0, shared), paths.TextOf(e->path), depth);
    Entry* const ended = std::partition(first, last, [&](const Entry& e) { return e.size == shared; });
    std::sort(first, ended, [](const Entry& a, const Entry& b) { return a.path < b.path; });
    SortFrom(paths, ended, last, shared);
}

}  // namespace

std::optional<PathCollision> FindPathCollision(std::size_t count,
                                               const std::function<std::string_view(std::size_t)>& pathOf) {
    const FoldedPaths paths(count, pathOf);
    std::vector<Entry> order(count);
    for (std::size_t i = 0; i < count; ++i)
        order[i] = {0, static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(paths.TextOf(i).size())};
    SortFrom(paths, order.data(), order.data() + order.size(), 0);
    for (std::size_t k = 1; k < order.size(); ++k) {
        const std::string_view before = paths.TextOf(order[k - 1].path);
        const std::string_view after = paths.TextOf(order[k].path);
        if (after == before) return PathCollision{PathCollision::Kind::SameFile, order[k - 1].path, order[k].path};
        if (after.size() > before.size() && after.starts_with(before) && after[before.size()] == '\0')
            return PathCollision{PathCollision::Kind::FileIsFolder, order[k - 1].path, order[k].path};
    }
    return std::nullopt;
}

std::optional<PathCollision> FindPathCollision(const std::vector<std::string_view>& paths) {
    return FindPathCollision(paths.size(), [&](std::size_t i) { return paths[i]; });
}

}  // namespace velmora::engine
