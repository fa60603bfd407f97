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
// The paths are not copied: a large game's take 8 MiB. ASCII is folded
// byte by byte as it is compared (Folded); only a path with other
// characters is folded ahead, into one block with its neighbours of that
// kind. The paths are sorted eight bytes at a time, as big-endian numbers
// that order as the folded bytes do, each stretch of paths alike in those
// by the next eight: a large game's paths share long beginnings
// ("content/zone12/assets/..."), which a sort comparing whole texts went
// over again at every comparison.
class FoldedPaths {
public:
    FoldedPaths(std::size_t count, const std::function<std::string_view(std::size_t)>& pathOf) : pathOf_(pathOf) {
        for (std::size_t i = 0; i < count; ++i) {
            const std::string_view path = pathOf(i);
            if (std::all_of(path.begin(), path.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
                continue;
            if (foldedAt_.empty()) foldedAt_.assign(count, kAscii);
            foldedAt_[i] = static_cast<std::uint32_t>(ends_.size());
            folded_ += FoldCase(path);
            ends_.push_back(static_cast<std::uint32_t>(folded_.size()));
        }
    }

    // The path, or its folded form where it is not all ASCII: either is
    // compared through Folded.
    std::string_view TextOf(std::size_t i) const {
        if (foldedAt_.empty() || foldedAt_[i] == kAscii) return pathOf_(i);
        const std::uint32_t n = foldedAt_[i];
        const std::uint32_t begin = n == 0 ? 0 : ends_[n - 1];
        return std::string_view(folded_).substr(begin, ends_[n] - begin);
    }

    // A byte of TextOf as the paths are compared: ASCII letters upper case,
    // '/' as '\0'.
    static char Folded(char c) {
        if (c == '/') return '\0';
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }

    // Bytes [at, at + 8) of `text`, Folded, zeros past its end, as a
    // big-endian number. The eight are folded at once: a letter is a byte
    // below 0x80 whose low seven bits lie from 'a' to 'z', which adding to
    // them sets their top bit without a carry into the next byte.
    static std::uint64_t WordAt(std::string_view text, std::size_t at) {
        constexpr std::uint64_t kOnes = 0x0101010101010101ull;
        constexpr std::uint64_t kTops = kOnes * 0x80;
        std::uint64_t word = 0;
        if (at < text.size()) std::memcpy(&word, text.data() + at, std::min<std::size_t>(8, text.size() - at));
        const std::uint64_t low = word & ~kTops;
        const std::uint64_t letters = ((low + kOnes * (0x80 - 'a')) & ~(low + kOnes * (0x80 - 'z' - 1)) & ~word) & kTops;
        const std::uint64_t notSlash = word ^ (kOnes * '/');
        const std::uint64_t slashes = ~(((notSlash & ~kTops) + ~kTops) | notSlash | ~kTops);
        word = (word - (letters >> 2)) & ~((slashes >> 7) * 0xFF);
        if constexpr (std::endian::native == std::endian::little) {
            word = (word & 0x00FF00FF00FF00FFull) << 8 | (word >> 8 & 0x00FF00FF00FF00FFull);
            word = (word & 0x0000FFFF0000FFFFull) << 16 | (word >> 16 & 0x0000FFFF0000FFFFull);
            word = word << 32 | word >> 32;
        }
        return word;
    }

private:
    static constexpr std::uint32_t kAscii = 0xffffffffu;

    const std::function<std::string_view(std::size_t)>& pathOf_;
    std::vector<std::uint32_t> foldedAt_;  // by path, into ends_; empty when every path is ASCII
    std::string folded_;
    std::vector<std::uint32_t> ends_;
};

// A path being sorted, with its text (TextOf) at hand: looking it up at
// every depth again went through the caller's list to the path's block.
struct Entry {
    std::uint64_t word;  // of the folded form at the depth being sorted
    const char* text;
    std::uint32_t path;
    std::uint32_t size;
    std::string_view Text() const { return std::string_view(text, size); }
};

// The length of the beginning `a` and `b` share, Folded, knowing they share
// `from` bytes.
std::size_t SharedLength(std::string_view a, std::string_view b, std::size_t from) {
    const std::size_t size = std::min(a.size(), b.size());
    std::size_t at = from;
    for (; at + 8 <= size; at += 8)
        if (FoldedPaths::WordAt(a, at) != FoldedPaths::WordAt(b, at)) break;
    while (at < size && FoldedPaths::Folded(a[at]) == FoldedPaths::Folded(b[at])) ++at;
    return at;
}

void SortAlike(Entry* first, Entry* last, std::size_t depth);

// Sorts [first, last), whose folded forms agree in their first `depth`
// bytes, as their folded forms compare, ties in the order of the paths: by
// the next eight bytes, then each stretch alike in them by what follows.
void SortFrom(Entry* first, Entry* last, std::size_t depth) {
    if (last - first < 2) return;
    bool alike = true;
    for (Entry* e = first; e != last; ++e) {
        e->word = FoldedPaths::WordAt(e->Text(), depth);
        alike = alike && e->word == first->word;
    }
    if (alike) return SortAlike(first, last, depth);
    std::sort(first, last, [](const Entry& a, const Entry& b) { return a.word < b.word; });
    for (Entry* run = first; run != last;) {
        Entry* runEnd = run + 1;
        while (runEnd != last && runEnd->word == run->word) ++runEnd;
        if (runEnd - run > 1) SortAlike(run, runEnd, depth);
        run = runEnd;
    }
}

// Sorts [first, last), whose folded forms agree in their first `depth`
// bytes and in the eight after them, zeros past an end. The beginning they
// all share is found at once, however long (paths 100 folders deep share
// hundreds of bytes): a path that is all of it is a beginning of every
// other one, and those come first.
void SortAlike(Entry* first, Entry* last, std::size_t depth) {
    const std::string_view firstText = first->Text();
    std::size_t shared = firstText.size();
    for (Entry* e = first + 1; e != last; ++e)
        shared = SharedLength(firstText.substr(0, shared), e->Text(), depth);
    Entry* const ended = std::partition(first, last, [&](const Entry& e) { return e.size == shared; });
    std::sort(first, ended, [](const Entry& a, const Entry& b) { return a.path < b.path; });
    SortFrom(ended, last, shared);
}

}  // namespace

std::optional<PathCollision> FindPathCollision(std::size_t count,
                                               const std::function<std::string_view(std::size_t)>& pathOf) {
    const FoldedPaths paths(count, pathOf);
    std::vector<Entry> order(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view text = paths.TextOf(i);
        order[i] = {0, text.data(), static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(text.size())};
    }
    SortFrom(order.data(), order.data() + order.size(), 0);
    for (std::size_t k = 1; k < order.size(); ++k) {
        const std::string_view before = order[k - 1].Text();
        const std::string_view after = order[k].Text();
        if (SharedLength(before, after, 0) < before.size()) continue;
        if (after.size() == before.size())
            return PathCollision{PathCollision::Kind::SameFile, order[k - 1].path, order[k].path};
        if (FoldedPaths::Folded(after[before.size()]) == '\0')
            return PathCollision{PathCollision::Kind::FileIsFolder, order[k - 1].path, order[k].path};
    }
    return std::nullopt;
}

std::optional<PathCollision> FindPathCollision(const std::vector<std::string_view>& paths) {
    return FindPathCollision(paths.size(), [&](std::size_t i) { return paths[i]; });
}

}  // namespace velmora::engine
