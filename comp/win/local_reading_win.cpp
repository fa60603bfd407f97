#include "local_reading_win.h"

#include <utility>

namespace velmora::engine {

LocalReading::LocalReading(const EngineRecords& records) {
    std::optional<CheckedManifestFile> local = records.CheckedLocalManifest();
    if (local) checked_ = local->Head();
    rest_ = std::async(std::launch::async, [&records, local = std::move(local)]() mutable {
        Read read;
        // The local manifest serves a run with its files and as a list of
        // the copies the install holds: its chunk lines are kept as keys.
        if (local)
            if (auto whole = std::move(*local).ReadBody(ChunkLinesKept::KeysOnly))
                read.local = std::move(whole).Value();
        // Most of the record repeats the local manifest's files: it takes
        // their paths and contents from there. Moving the manifest with
        // the rest keeps its files where they are.
        read.placed = records.Placed(read.local ? std::span<const ManifestFile>(read.local->parsed.manifest.files)
                                                : std::span<const ManifestFile>());
        return read;
    });
}

}  // namespace velmora::engine
