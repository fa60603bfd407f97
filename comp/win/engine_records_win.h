#pragma once
// The engine's records in libs, in one place: the lock that keeps a second
// engine out, the local manifest (the last release applied in full), the
// journal (the release an apply that began is on its way to), the rollback
// floor and the record of placed files. Each record is replaced in one
// step: written to a scratch file in the staging folder, flushed, renamed.
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "core/accepted_floor.h"
#include "core/engine_status.h"
#include "core/placed_files.h"
#include "folder_lock_win.h"
#include "local_manifest_win.h"

namespace velmora::engine {

class EngineRecords {
public:
    // `localManifest`: libs\gamedata.vel, whose folder holds the others.
    // `scratch`: where a record is written before it is renamed into place.
    EngineRecords(std::wstring libsFolder, std::wstring localManifest, std::wstring scratch);

    // -5 when another engine works on this folder.
    Result<FolderLock> Lock() const;

    // Each when it is there and checks out (a manifest signed by a trusted
    // key; a floor record in its form); nothing otherwise.
    // The local manifest as far as its signature and first lines
    // (LocalReading reads the rest).
    std::optional<CheckedManifestFile> CheckedLocalManifest() const;
    // The journal is read as a release is: it may be the one to finish.
    std::optional<ManifestText> Journal() const {
        return ReadLocalManifest(journal_, ChunkLinesKept::KeysAndPlaces);
    }
    std::optional<AcceptedFloor> FloorRecord() const;
    // The record of placed files, read in pieces; empty when it is absent or
    // not whole and sound. It shares what it can with `alike`, the local
    // manifest's files, which must outlive it (PlacedFiles).
    PlacedFiles Placed(std::span<const ManifestFile> alike = {}) const;

    // Where a run keeps the server's manifest it fetched, until it ends well
    // (RemoveFetched); a run that fails leaves it for the next to replace.
    const std::wstring& FetchedManifest() const { return fetched_; }
    Result<void> WriteLocalManifest(const ManifestText& release) const { return Copy(release, localManifest_); }
    Result<void> WriteJournal(const ManifestText& release) const { return Copy(release, journal_); }
    Result<void> WriteFloor(const AcceptedFloor& floor) const { return Replace(floor_, FloorRecordText(floor)); }
    // The record of placed files as `write` gives it to the TextPieces it
    // is handed, written as it comes: its text is never whole in memory.
    Result<void> WritePlaced(const std::function<Result<void>(const TextPieces&)>& write) const;
    Result<void> RemoveJournal() const;
    Result<void> RemoveFetched() const;

private:
    Result<void> Replace(const std::wstring& path, const std::string& bytes) const;
    Result<void> Copy(const ManifestText& text, const std::wstring& path) const;

    std::wstring lock_, localManifest_, journal_, fetched_, floor_, placed_, scratch_;
};

}  // namespace velmora::engine
