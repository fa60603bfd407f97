#pragma once
// A manifest delta: what turns one manifest's exact text into another's, so
// that a player who holds the earlier release's manifest fetches the lines
// that changed instead of the whole new manifest. Its text (stored
// zlib-compressed) is a first line naming its form, then operations, each
// on a line of its own:
//
//     VELDELTA 1
//     copy <offset> <length>    that many bytes of the old text, from offset
//     add <length>              followed at once by that many bytes, as is
//
// The new text is their output, in order. Numbers are decimal without sign
// or leading zero; every length is at least 1. Applying a delta checks
// every bound (a copy inside the old text, the output never beyond the
// size expected, no operation cut short), and what it gives is only a
// candidate: its SHA-256 decides whether it is the manifest wanted.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/engine_status.h"

namespace velmora::engine {

inline constexpr std::string_view kManifestDeltaFirstLine = "VELDELTA 1\n";

// The most an unpacked delta to a text of `newSize` bytes may hold. Its
// literal bytes are at most the new text, and each copy stands for whole
// manifest lines, nearly all of them longer than the copy's own line (a
// chunk line is over 80 bytes), so twice the new size and a little leaves
// room for any delta worth having. The publishing tool writes none above
// it, and an engine stops unpacking one there.
std::uint64_t ManifestDeltaLimit(std::uint64_t newSize);

// Applies a delta fed in pieces of any size to `oldText`, handing the new
// text to `sink` piece by piece (a copy is handed straight out of the old
// text, without a copy of its own).
class ManifestDeltaApplier {
public:
    using Sink = std::function<Result<void>(std::string_view)>;

    // `oldText` must outlive the applier.
    ManifestDeltaApplier(std::string_view oldText, std::uint64_t newSize, Sink sink);

    // -9 for anything that is not a delta of this form, or that reaches
    // outside the old text or beyond the new size; the sink's own failure.
    Result<void> Feed(std::string_view piece);
    // After the last piece: the delta ended after a whole operation, having
    // given exactly the new size.
    Result<void> Finish();

private:
    Result<void> TakeLine(std::string_view line);
    Result<void> Emit(std::string_view bytes);

    std::string_view old_;
    std::uint64_t newSize_;
    Sink sink_;
    std::uint64_t fed_ = 0;
    std::uint64_t produced_ = 0;
    std::uint64_t literalLeft_ = 0;
    bool firstLineRead_ = false;
    std::string line_;  // the line being read, at most kMaxLine bytes
};

}  // namespace velmora::engine
