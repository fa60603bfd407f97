#pragma once
// What a new server folder takes over from the previous one: the earlier
// packs its manifest points into, and the history it keeps with their
// packs. The new folder is complete on its own: the web server serves it
// alone.
#include <filesystem>
#include <ostream>
#include <vector>

#include "core/manifest.h"
#include "previous_publication.h"

namespace velmora::publish {

struct CarriedOver {
    std::size_t packs = 0;
    std::size_t historyManifests = 0;
};

// Links (or copies) into `serverFolder` every pack `next` lists that is not
// there yet, and every pack of the `kept` manifests that the previous
// folder holds, and writes each of `kept` as history/<version>.vel. A pack
// a kept manifest lists that the previous folder lacks is left out with a
// warning: only chunk reuse suffers. Throws PublishError when a pack `next`
// needs cannot be brought.
CarriedOver CarryOver(const PreviousPublication& previous, const std::vector<const ServerManifest*>& kept,
                      const engine::Manifest& next, const std::filesystem::path& serverFolder,
                      std::ostream& warnings);

}  // namespace velmora::publish
