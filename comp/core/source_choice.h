#pragma once
// Where a run fetches each range of the packs from: the mirrors the
// manifest names, in its order, then the origin (the folder of the data
// URL), the last resort. Ranges are spread over the mirrors in turn. A
// mirror that fails in any way (an error answer, a time-out, a stall or a
// crawl, bytes that are not the signed ones) is set aside for the rest of
// the run and what it left undone moves on to the next source; a failure of
// the origin is the run's. Portable; the Windows side holds the choice
// under its lock.
#include <cstddef>
#include <vector>

#include "core/chunk_plan.h"
#include "core/engine_status.h"

namespace velmora::engine {

class PackSources {
public:
    // Sources 0 to `mirrors` - 1 are the mirrors, source `mirrors` the origin.
    explicit PackSources(std::size_t mirrors) : setAside_(mirrors, false) {}

    std::size_t Origin() const noexcept { return setAside_.size(); }
    bool IsOrigin(std::size_t source) const noexcept { return source == Origin(); }

    // The source for range number `range`: mirror `range` modulo their
    // count, else the mirrors after it in turn, leaving out those set
    // aside; the origin once every mirror is set aside (or there is none).
    std::size_t For(std::size_t range) const;

    // Takes a mirror out of the run; the origin stays.
    void SetAside(std::size_t source);

private:
    std::vector<bool> setAside_;
};

// Whether a failure of `source` hands its work on to the next source: any
// failure of a mirror's answer, of the way to it or of the bytes it sent.
// Not local trouble (a full disk fails whatever the source), not a stop,
// and nothing of the origin: there is no source after it.
bool HandsOnToNextSource(const PackSources& sources, std::size_t source, const EngineError& error);

// What a failed request leaves of `range` once it wrote the first
// `written` of its chunks: the range from the next chunk's stored bytes on,
// or no chunks at all when it wrote every one.
PackRange RestOfRange(const PackRange& range, std::size_t written, const NeededChunks& needed);

}  // namespace velmora::engine
