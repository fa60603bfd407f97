#pragma once
// Fetches the ranges of the server's packs that hold the chunks a run
// lacks, several requests at once, and hands each chunk's checked content
// over as it comes: downloading, unpacking, hashing and writing of
// different ranges overlap. A server that ignores ranges answers with the
// whole pack: that answer then serves every range of the pack not yet
// begun, read once from start to end (never beyond the pack's signed size).
// The manifest's mirrors serve the ranges first, spread over them in turn,
// and the data URL's folder last (core/source_choice.h): a mirror that fails
// is set aside for the run, and the chunks it did not write are asked of
// the next source.
#include <memory>
#include <vector>

#include "core/cancel_flag.h"
#include "core/chunk_destination.h"
#include "core/chunk_digest_source.h"
#include "core/chunk_plan.h"
#include "core/engine_status.h"
#include "core/transfer_progress.h"
#include "internet_session_win.h"

namespace velmora::engine {

// Requests in flight at once. A few hide the round trip of each request
// (20 to 100 ms to a CDN) and fill a fast line with ranges of a few MiB;
// browsers keep six connections to a host, and the server owes one player
// no more.
inline constexpr unsigned kRequestsInFlight = 4;

// Where the chunks come from: the server's packs, as the remote manifest
// lists them (the session's server and the manifest's mirrors), the
// chunks wanted of them (`PackRange::chunks` index `needed`), and what
// each must hash to.
struct PackSource {
    std::shared_ptr<const InternetSession> session;
    const Manifest& remote;
    const NeededChunks& needed;
    const ChunkDigestSource& digests;
};

// What the workers of a download share: the run's cancel, which ends every
// wait at once, and the progress, told of every body byte taken in and of
// the bytes a whole pack brings beyond the ranges it serves.
struct FetchContext {
    const CancelFlag& cancel;
    TransferProgress& progress;
};

// Fetches every range, each worker writing through a writer of its own.
// A mirror's failure hands its work on; the first other failure stops the
// other requests and is the result: the origin's network statuses, -5 an
// HTTP error, -6 a body cut short, -7 a chunk that is not the signed one,
// or local trouble (a writer's failure; whatever a worker throws, out of
// memory say, or a worker that cannot start); Stopped() once the context's
// cancel is raised.
Result<void> FetchRanges(const PackSource& source, const std::vector<PackRange>& ranges,
                         const ChunkDestinations& destinations, const FetchContext& context);

}  // namespace velmora::engine
