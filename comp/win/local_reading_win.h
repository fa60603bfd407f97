#pragma once
// What a run reads of its own before it plans: the local manifest and the
// record of placed files. For a large game that is some hundred MiB of
// text, so the bulk of it is read on a thread of its own while the run asks
// the server for its manifest and reads that. The local manifest's
// signature and first lines are checked first, on the caller's thread: the
// question to the server needs the text's size, SHA-256 and version.
#include <future>
#include <optional>

#include "core/placed_files.h"
#include "engine_records_win.h"
#include "local_manifest_win.h"

namespace velmora::engine {

class LocalReading {
public:
    // Checks the local manifest, then reads the rest beside; `records` must
    // outlive this. Waits for that reading when destroyed unfinished.
    explicit LocalReading(const EngineRecords& records);

    // The local manifest as far as checked, its manifest holding the first
    // lines' fields alone; nothing when it is absent or does not check out.
    const std::optional<ManifestText>& Checked() const { return checked_; }

    struct Read {
        // Whole, its chunk lines as keys; nothing when absent or when any
        // part of it does not check out.
        std::optional<ManifestText> local;
        PlacedFiles placed;
    };
    // Waits for the reading beside, once.
    Read Finish() { return rest_.get(); }

private:
    std::optional<ManifestText> checked_;
    std::future<Read> rest_;
};

}  // namespace velmora::engine
