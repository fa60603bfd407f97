#pragma once
// Fetches the ranges of the server's packs that hold the chunks a run
// lacks, several requests at once, and hands each chunk's checked content
// over as it comes: downloading, unpacking, hashing and writing of
// different ranges overlap. A server that ignores ranges answers with the
// whole pack: that answer then serves every range of the pack not yet
// begun, read once from start to end (never beyond the pack's signed size).
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "cancel_flag.h"
#include "core/chunk_plan.h"
#include "core/engine_status.h"
#include "internet_session_win.h"

namespace velmora::engine {

// Requests in flight at once. A few hide the round trip of each request
// (20 to 100 ms to a CDN) and fill a fast line with ranges of a few MiB;
// browsers keep six connections to a host, and the server owes one player
// no more.
inline constexpr unsigned kRequestsInFlight = 4;

// Receives chunk number `chunk` (an index into the needed chunks) with its
// checked content. Each request in flight has a sink of its own, made by
// a SinkMaker when it starts, and gone before FetchRanges returns.
using ChunkSink = std::function<Result<void>(std::size_t chunk, std::span<const std::uint8_t> content)>;
using SinkMaker = std::function<ChunkSink()>;

// Fetches every range. `received` is told of every body byte taken in, and
// `grown` of the bytes a whole pack brings beyond the ranges it serves (the
// run's total grows by them), one call at a time. The first failure stops the other requests and is the
// result: the network's statuses, -5 an HTTP error, -6 a body cut short, -7
// a chunk that is not the signed one, or local trouble (a sink's failure;
// whatever a worker throws, out of memory say, or a worker that cannot
// start); Stopped() once `cancel` is raised.
Result<void> FetchRanges(const std::shared_ptr<const InternetSession>& session, const Manifest& remote,
                         const std::vector<NeededChunk>& needed, const std::vector<PackRange>& ranges,
                         const SinkMaker& newSink, const std::function<void(std::uint64_t)>& received,
                         const std::function<void(std::uint64_t)>& grown, const CancelFlag& cancel);

}  // namespace velmora::engine
