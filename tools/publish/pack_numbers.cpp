#include "pack_numbers.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

#include "core/digest_hash.h"

namespace velmora::publish {

void KeepEarlierPackNumbers(PackedRelease& release, const engine::Manifest& earlier) {
    std::unordered_map<engine::Sha256Digest, std::size_t, engine::DigestHash> earlierNumber;
    for (std::size_t i = 0; i < earlier.packs.size(); ++i) earlierNumber.try_emplace(earlier.packs[i].name, i);
    const auto rank = [&](std::size_t pack) {
        const auto found = earlierNumber.find(release.packs[pack].name);
        return found != earlierNumber.end() ? found->second : earlier.packs.size() + pack;
    };
    std::vector<std::size_t> order(release.packs.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return rank(a) < rank(b); });

    std::vector<std::uint32_t> renumbered(order.size());
    std::vector<engine::ManifestPack> packs;
    packs.reserve(order.size());
    for (std::size_t position = 0; position < order.size(); ++position) {
        renumbered[order[position]] = static_cast<std::uint32_t>(position);
        packs.push_back(release.packs[order[position]]);
    }
    release.packs = std::move(packs);
    for (engine::ManifestChunk& chunk : release.chunks) chunk.SetPlace(renumbered[chunk.Pack()], chunk.Offset());
}

}  // namespace velmora::publish
