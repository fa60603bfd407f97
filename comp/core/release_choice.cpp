#include "core/release_choice.h"

#include "core/manifest_acceptance.h"

namespace velmora::engine {

Result<ReleaseChoice> ChooseRelease(const std::optional<AcceptedFloor>& floor, const ManifestCandidate& served,
                                    bool installed, const std::optional<ManifestCandidate>& journal,
                                    std::int64_t now, std::uint64_t engineVersion) {
    ReleaseChoice choice;
    auto above = CheckAgainstFloor(floor, served.floor);
    if (above) {
        if (auto accepted = CheckRemoteManifest(*served.manifest, nullptr, now, engineVersion); !accepted) {
            // A manifest for a newer updater is still good for one thing:
            // the updater's own files it lists.
            if (accepted.Error().status != EngineStatus::UpdaterObsolete) return accepted.Error();
            choice.needsNewerUpdater = accepted.Error();
        }
        return choice;
    }
    if (served.floor.version == floor->version) return above.Error();
    if (auto fresh = CheckNotExpired(served.manifest->expires, now); !fresh) return fresh.Error();
    if (!journal) {
        if (!installed) return above.Error();
        choice.release = ReleaseToApply::KeepInstall;
        return choice;
    }
    // The journal's manifest was accepted when its apply began; its expiry
    // no longer matters, but it must not lie below the floor either.
    if (!CheckAgainstFloor(floor, journal->floor) ||
        !CheckUpdaterVersion(journal->manifest->minUpdater, engineVersion))
        return above.Error();
    choice.release = ReleaseToApply::FinishJournal;
    choice.refusalWithoutPacks = above.Error();
    return choice;
}

}  // namespace velmora::engine
