#pragma once
// Cuts a text given in pieces of any size, as it comes from a file or the
// network, into whole lines: a line that a piece ends in is held until a
// later piece brings its '\n'.
#include <string>
#include <string_view>

#include "core/byte_find.h"

namespace velmora::engine {

class LineCutter {
public:
    LineCutter() = default;
    // `withBreak`: each line is given with its '\n' rather than without.
    explicit LineCutter(bool withBreak) : withBreak_(withBreak) {}

    // Gives `take(line)` each line `piece` completes, in order. `take`
    // returns false to stop: the rest of the piece is then dropped, as a
    // reader that refused the text has no use for it.
    template <typename Take>
    void Feed(std::string_view piece, const Take& take) {
        for (std::size_t end = FindByte(piece, '\n'); end != std::string_view::npos; end = FindByte(piece, '\n')) {
            const std::string_view line = piece.substr(0, withBreak_ ? end + 1 : end);
            bool goOn = true;
            if (partial_.empty()) {
                goOn = take(line);
            } else {
                partial_.append(line);
                goOn = take(std::string_view(partial_));
                partial_.clear();
            }
            piece.remove_prefix(end + 1);
            if (!goOn) return;
        }
        partial_.append(piece);
    }

    // Whether a line has begun that no '\n' has ended yet.
    bool InLine() const { return !partial_.empty(); }

private:
    bool withBreak_ = false;
    std::string partial_;
};

}  // namespace velmora::engine
