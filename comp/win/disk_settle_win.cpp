#include "disk_settle_win.h"

#include "sha256_win.h"

namespace velmora::engine {
namespace {

// What the disk holds at `path`: nothing without a file; the content the
// record vouches for; else the file's hash (nothing known when it cannot
// be read).
struct OnDisk {
    bool present = false;
    std::optional<Sha256Digest> content;
};

Result<OnDisk> ContentOnDisk(std::string_view path, const KnownContents& known, const GameFolder& game,
                             const CancelFlag& cancel) {
    const std::optional<FileStamp> stamp = game.Stamp(path);
    if (!stamp) return OnDisk{};
    if (const std::optional<Sha256Digest> vouched = known.Vouched(path, stamp)) return OnDisk{true, vouched};
    const std::optional<std::wstring> full = game.FullPath(path);
    if (!full) return OnDisk{true, std::nullopt};
    auto digest = DigestOfFile(*full, cancel);
    if (!digest) {
        if (IsStop(digest.Error())) return digest.Error();
        return OnDisk{true, std::nullopt};
    }
    return OnDisk{true, digest.Value().sha256};
}

// Whether the listed file stays as the disk has it: it already holds the
// release's content, or it is the player's and the player changed it
// (marked in `kept`).
Result<bool> StaysAsItIs(const FileToWrite& file, const ManifestFile& listed, const KnownContents& known,
                         const GameFolder& game, const CancelFlag& cancel, std::vector<bool>& kept) {
    if (!listed.playerFile) {
        if (!file.sizeOnDiskMatches) return false;
        auto onDisk = ContentOnDisk(listed.path, known, game, cancel);
        if (!onDisk) return onDisk.Error();
        return onDisk.Value().content == listed.sha256;
    }
    auto onDisk = ContentOnDisk(listed.path, known, game, cancel);
    if (!onDisk) return onDisk.Error();
    // A file of the player's that cannot be read is not the engine's to
    // overwrite either.
    if (onDisk.Value().present && !onDisk.Value().content) {
        kept[file.index] = true;
        return true;
    }
    switch (ChoosePlayerFile(onDisk.Value().content, listed.sha256, known.Placed(listed.path))) {
        case PlayerFileChoice::Place: return false;
        case PlayerFileChoice::InPlace: return true;
        case PlayerFileChoice::Keep: break;
    }
    kept[file.index] = true;
    return true;
}

// Drops from `paths` the player's files that the player changed.
Result<void> KeepChangedPlayerFiles(std::vector<std::string>& paths, const KnownContents& known,
                                    const GameFolder& game, const CancelFlag& cancel) {
    std::vector<std::string> removed;
    for (std::string& path : paths) {
        if (known.IsPlayerFile(path)) {
            auto onDisk = ContentOnDisk(path, known, game, cancel);
            if (!onDisk) return onDisk.Error();
            const OnDisk& found = onDisk.Value();
            if (found.present && (!found.content || PlayerChangedIt(*found.content, known.Placed(path)))) continue;
        }
        removed.push_back(std::move(path));
    }
    paths = std::move(removed);
    return {};
}

}  // namespace

Result<std::vector<bool>> SettleWithDisk(ApplyPlan& plan, const Manifest& release, const GameFolder& game,
                                         const CancelFlag& cancel) {
    std::vector<bool> kept(release.files.size(), false);
    std::vector<bool> stays(release.files.size(), false);
    for (const FileToWrite& file : plan.contents.Files()) {
        auto staysAsItIs = StaysAsItIs(file, release.files[file.index], plan.known, game, cancel, kept);
        if (!staysAsItIs) return staysAsItIs.Error();
        stays[file.index] = staysAsItIs.Value();
    }
    plan.contents.KeepFiles([&](const FileToWrite& file) { return !stays[file.index]; });
    // A dropped file in the way of the new release goes whoever changed it:
    // the release puts a folder or a file where it stands.
    if (auto done = KeepChangedPlayerFiles(plan.dropped.afterwards, plan.known, game, cancel); !done)
        return done.Error();
    return kept;
}

}  // namespace velmora::engine
