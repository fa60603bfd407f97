#pragma once
// Which release a run goes to, decided from the rollback floor, the server's
// manifest (its signature already checked) and an interrupted apply's
// journal. A server, or a cache in front of it, may go on serving an older
// release for a while after a new one is out: nothing older is ever
// installed, but a complete install then stays as it is, and an
// interrupted apply is finished from its journal's own manifest.
#include <cstdint>
#include <optional>

#include "core/accepted_floor.h"
#include "core/engine_status.h"
#include "core/manifest.h"

namespace velmora::engine {

// A verified manifest and the floor it would set.
struct ManifestCandidate {
    const Manifest* manifest = nullptr;
    AcceptedFloor floor;
};

enum class ReleaseToApply {
    Served,         // the server's manifest
    KeepInstall,    // none: the install stays as it is, and the run succeeds
    FinishJournal,  // the journal's manifest
};

struct ReleaseChoice {
    ReleaseToApply release = ReleaseToApply::Served;
    // Set when the served manifest needs a newer engine (-8): only the
    // updater's own files it lists are brought in.
    std::optional<EngineError> needsNewerUpdater;
    // Set when finishing the journal: the refusal to give where the server
    // lacks the journal's packs.
    std::optional<EngineError> refusalWithoutPacks;
};

// -9 for a manifest of the floor's version with other signed content, an
// expired one, or one below the floor that neither case above covers.
// `installed`: a local manifest checks out. `now` in seconds since 1970.
Result<ReleaseChoice> ChooseRelease(const std::optional<AcceptedFloor>& floor, const ManifestCandidate& served,
                                    bool installed, const std::optional<ManifestCandidate>& journal,
                                    std::int64_t now, std::uint64_t engineVersion);

}  // namespace velmora::engine
