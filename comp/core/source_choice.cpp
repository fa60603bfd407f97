#include "core/source_choice.h"

#include <algorithm>

#include "core/cancel_flag.h"

namespace velmora::engine {

std::size_t PackSources::For(std::size_t range) const {
    const std::size_t mirrors = setAside_.size();
    for (std::size_t step = 0; step < mirrors; ++step) {
        const std::size_t mirror = (range + step) % mirrors;
        if (!setAside_[mirror]) return mirror;
    }
    return Origin();
}

void PackSources::SetAside(std::size_t source) {
    if (source < setAside_.size()) setAside_[source] = true;
}

bool HandsOnToNextSource(const PackSources& sources, std::size_t source, const EngineError& error) {
    return !sources.IsOrigin(source) && !error.local && !IsStop(error);
}

PackRange RestOfRange(const PackRange& range, std::size_t written, const NeededChunks& needed) {
    PackRange rest{range.pack, range.end, range.end, range.chunks.After(written)};
    if (!rest.chunks.empty()) rest.begin = needed.Stored(rest.chunks.front()).offset;
    return rest;
}

}  // namespace velmora::engine
