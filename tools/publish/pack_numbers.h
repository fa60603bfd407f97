#pragma once
// The numbers of a release's packs. A release reuses most chunks of the one
// before, whose chunk lines name their pack by number: where the packs keep
// their numbers, those lines stay the same bytes, and the manifest delta
// between the two releases holds only what changed.
#include "core/manifest.h"
#include "release_packing.h"

namespace velmora::publish {

// Renumbers `release`'s packs: first those `earlier` lists, in its order,
// then the others (new packs, packs of older releases) in the order they
// had; every chunk line follows its pack.
void KeepEarlierPackNumbers(PackedRelease& release, const engine::Manifest& earlier);

}  // namespace velmora::publish
