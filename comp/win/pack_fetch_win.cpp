#include "pack_fetch_win.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <thread>

#include "chunk_check_win.h"
#include "core/data_url.h"
#include "core/escaped_exception.h"
#include "core/hex.h"
#include "core/source_choice.h"
#include "core/transfer_rules.h"
#include "http_get_win.h"

namespace velmora::engine {
namespace {

// A response body taken in order, in the pieces the request delivers.
class Body {
public:
    Body(HttpGet& get, std::uint64_t start, std::optional<std::uint64_t> announced, TransferProgress& progress,
         const CancelFlag& cancel)
        : get_(get), position_(start), start_(start), announced_(announced), progress_(progress), cancel_(cancel) {}

    std::uint64_t Position() const noexcept { return position_; }

    // Takes the body up to `offset`, then `size` bytes from there. A body
    // goes forwards only: a chunk that begins before the bytes already
    // taken ends the transfer rather than being read from the wrong place.
    Result<std::vector<std::uint8_t>> Take(std::uint64_t offset, std::uint32_t size) {
        if (offset < position_)
            return InvalidFormat("a chunk at " + std::to_string(offset) + " lies before the body's position " +
                                 std::to_string(position_));
        std::vector<std::uint8_t> bytes;
        bytes.reserve(size);
        while (bytes.size() < size) {
            if (piece_.empty()) {
                auto next = get_.NextPiece(cancel_);
                if (!next) return next.Error();
                if (next.Value().empty())
                    return ShortBody(position_ - start_, offset + size - start_, announced_);
                piece_ = next.Value();
            }
            // Bytes count as received once used, skipped ones included: a
            // whole pack's bytes after the last chunk wanted are not.
            if (position_ < offset) {
                const auto skip = static_cast<std::size_t>(std::min<std::uint64_t>(offset - position_, piece_.size()));
                piece_ = piece_.subspan(skip);
                position_ += skip;
                progress_.Received(skip);
                continue;
            }
            const std::size_t take = std::min<std::size_t>(size - bytes.size(), piece_.size());
            bytes.insert(bytes.end(), piece_.begin(), piece_.begin() + static_cast<std::ptrdiff_t>(take));
            piece_ = piece_.subspan(take);
            position_ += take;
            progress_.Received(take);
        }
        return bytes;
    }

private:
    HttpGet& get_;
    std::span<const std::uint8_t> piece_;
    std::uint64_t position_;
    const std::uint64_t start_;
    const std::optional<std::uint64_t> announced_;
    TransferProgress& progress_;
    const CancelFlag& cancel_;
};

// The sessions of the sources, numbered as PackSources numbers them: the
// manifest's mirrors, then the origin. A mirror whose session cannot be
// opened is set aside at once.
struct SourceSessions {
    std::vector<std::shared_ptr<const InternetSession>> sessions;
    PackSources choice;
};

SourceSessions OpenSources(const PackSource& source) {
    SourceSessions opened{{}, PackSources(source.remote.mirrors.size())};
    for (std::size_t m = 0; m < source.remote.mirrors.size(); ++m) {
        // The manifest's parser took only URLs that parse.
        const std::optional<DataUrl> url = ParseMirrorUrl(source.remote.mirrors[m]);
        auto session = url ? source.session->Beside(*url) : Result<std::shared_ptr<const InternetSession>>(
                                                                   InvalidFormat("bad mirror URL"));
        if (session) {
            opened.sessions.push_back(std::move(session).Value());
        } else {
            opened.choice.SetAside(m);
            opened.sessions.push_back(nullptr);
        }
    }
    opened.sessions.push_back(source.session);
    return opened;
}

// One request to one source, and what it came to: the ranges it serves (one,
// or every range of a pack it sends whole), the bytes it was to bring and
// the bytes it brought.
struct Attempt {
    std::size_t source = 0;
    std::vector<std::size_t> ranges;
    std::uint64_t planned = 0;
    std::uint64_t received = 0;
};

class Fetch {
public:
    Fetch(const PackSource& source, const std::vector<PackRange>& ranges, const ChunkDestinations& destinations,
          TransferProgress& progress)
        : source_(source), ranges_(ranges), destinations_(destinations), progress_(progress),
          sources_(OpenSources(source)), claimed_(ranges.size(), false), written_(ranges.size(), 0) {}

    Result<void> Run(const CancelFlag& cancel) {
        // The workers stop at halt_: the run's cancel raises it, and so
        // does the first failure. Raising it ends every worker's wait.
        const CancelFlag::Subscription stop = cancel.OnRaise([this] { halt_.Raise(); });
        std::vector<std::thread> workers;
        const std::size_t count = std::min<std::size_t>(kRequestsInFlight, ranges_.size());
        for (std::size_t i = 0; i < count; ++i) {
            // A thread the system cannot start (std::system_error) ends the
            // run like a worker's failure; the ones started are let finish.
            try {
                workers.emplace_back([this] { Work(); });
            } catch (...) {
                Fail(ErrorOfCurrentException());
                break;
            }
        }
        for (std::thread& worker : workers) worker.join();
        if (cancel.Raised()) return Stopped();
        std::lock_guard lock(mutex_);
        if (failure_) return *failure_;
        return {};
    }

private:
    // The first failure is the run's; it stops every worker.
    void Fail(const EngineError& error) noexcept {
        {
            std::lock_guard lock(mutex_);
            if (!failure_ && !IsStop(error)) {
                // Copying the reason may itself run out of memory.
                try {
                    failure_ = error;
                } catch (...) {
                    failure_ = OutOfMemory();
                }
            }
        }
        halt_.Raise();
    }

    // A mirror's failure sets it aside and gives back what its request left
    // undone, for the next source; the bytes it brought without a written
    // chunk to show for them join the total. Any other failure is the run's.
    void Failed(const Attempt& attempt, const EngineError& error) {
        {
            std::lock_guard lock(mutex_);
            if (HandsOnToNextSource(sources_.choice, attempt.source, error)) {
                sources_.choice.SetAside(attempt.source);
                std::uint64_t left = 0;
                for (const std::size_t index : attempt.ranges) {
                    ranges_[index] = RestOfRange(ranges_[index], written_[index], source_.needed);
                    written_[index] = 0;
                    if (ranges_[index].chunks.empty()) continue;
                    left += ranges_[index].end - ranges_[index].begin;
                    claimed_[index] = false;
                    next_ = std::min(next_, index);
                }
                progress_.Replanned(attempt.planned, attempt.received + left);
                return;
            }
        }
        Fail(error);
    }

    // A worker's boundary: whatever it throws (out of memory, say) is the
    // run's failure, never the end of the process. A worker whose request
    // failed goes on to claim what it gave back.
    void Work() noexcept {
        try {
            const std::unique_ptr<ChunkDestination> writer = destinations_.NewWriter();
            while (!halt_.Raised()) {
                std::optional<Attempt> attempt = Claim();
                if (!attempt) break;
                if (auto fetched = FetchRange(*attempt, *writer); !fetched) Failed(*attempt, fetched.Error());
            }
        } catch (...) {
            Fail(ErrorOfCurrentException());
        }
    }

    // The next range nobody has begun, and the source to ask for it.
    std::optional<Attempt> Claim() {
        std::lock_guard lock(mutex_);
        while (next_ < ranges_.size() && claimed_[next_]) ++next_;
        if (next_ == ranges_.size()) return std::nullopt;
        claimed_[next_] = true;
        Attempt attempt;
        attempt.source = sources_.choice.For(next_);
        attempt.ranges = {next_++};
        return attempt;
    }

    // The ranges of the attempt's pack after its first that nobody has begun.
    void ClaimRestOfPack(Attempt& attempt) {
        std::lock_guard lock(mutex_);
        const std::size_t first = attempt.ranges.front();
        for (std::size_t i = first + 1; i < ranges_.size() && ranges_[i].pack == ranges_[first].pack; ++i) {
            if (claimed_[i]) continue;
            claimed_[i] = true;
            attempt.ranges.push_back(i);
        }
    }

    Result<void> FetchRange(Attempt& attempt, ChunkDestination& writer) {
        const std::size_t index = attempt.ranges.front();
        const PackRange& range = ranges_[index];
        attempt.planned = range.end - range.begin;
        const ManifestPack& pack = source_.remote.packs[range.pack];
        const std::shared_ptr<const InternetSession>& session = sources_.sessions[attempt.source];
        const std::string path = PackPath(session->Url(), ToHex(pack.name));
        // A server that ignores the range sends the whole pack: never more
        // than that is read.
        auto get = std::make_unique<HttpGet>(session, path, ByteRange{range.begin, range.end - 1}, pack.size);
        auto head = get->Head(halt_);
        if (!head) return head.Error();
        auto answer = CheckPackResponse(head.Value().status, head.Value().contentRange, range.begin, range.end - 1,
                                        pack.size);
        if (!answer) return answer.Error();
        if (answer.Value() == PackAnswer::AskedRange)
            return TakeChunks(*get, range.begin, head.Value().contentLength, attempt, writer);
        if (answer.Value() == PackAnswer::AskWhole) {
            get = std::make_unique<HttpGet>(session, path, std::nullopt, pack.size);
            head = get->Head(halt_);
            if (!head) return head.Error();
            if (head.Value().status != 200)
                return EngineError{EngineStatus::ServerError,
                                   "HTTP status " + std::to_string(head.Value().status) + " for a whole pack"};
        }
        // The whole pack comes: it serves the ranges of the pack not begun,
        // and what lies before and between them comes too.
        ClaimRestOfPack(attempt);
        auto around = BytesAroundRanges(ranges_, attempt.ranges);
        if (!around) return around.Error();
        progress_.Grew(around.Value());
        attempt.planned = around.Value();
        for (const std::size_t claimed : attempt.ranges) attempt.planned += ranges_[claimed].end - ranges_[claimed].begin;
        return TakeChunks(*get, 0, head.Value().contentLength, attempt, writer);
    }

    Result<void> TakeChunks(HttpGet& get, std::uint64_t start, std::optional<std::uint64_t> announced,
                            Attempt& attempt, ChunkDestination& writer) {
        Body body(get, start, announced, progress_, halt_);
        auto taken = TakeChunksOf(body, attempt.ranges, writer);
        attempt.received = body.Position() - start;
        return taken;
    }

    Result<void> TakeChunksOf(Body& body, const std::vector<std::size_t>& ranges, ChunkDestination& writer) {
        for (const std::size_t index : ranges) {
            const RangeChunks& chunks = ranges_[index].chunks;
            auto digests = source_.digests.DigestsOf({chunks.begin(), chunks.end()});
            if (!digests) return digests.Error();
            for (std::size_t k = 0; k < chunks.size(); ++k) {
                const StoredChunk stored = source_.needed.Stored(chunks[k]);
                auto bytes = body.Take(stored.offset, stored.storedSize);
                if (!bytes) return bytes.Error();
                auto content = ChunkContent(stored.WithDigest(digests.Value()[k]), std::move(bytes).Value());
                if (!content) return content.Error();
                if (auto written = writer.Write(chunks[k], content.Value()); !written) return written;
                ++written_[index];
            }
        }
        return {};
    }

    const PackSource& source_;
    // Each range as it is left to fetch: a failed request cuts its ranges
    // to the chunks it did not write. A range is read and changed only by
    // the worker that claimed it.
    std::vector<PackRange> ranges_;
    const ChunkDestinations& destinations_;
    TransferProgress& progress_;
    SourceSessions sources_;
    CancelFlag halt_;
    std::mutex mutex_;
    std::vector<bool> claimed_;
    std::vector<std::size_t> written_;  // chunks of each range written by its current request
    std::size_t next_ = 0;
    std::optional<EngineError> failure_;
};

}  // namespace

Result<void> FetchRanges(const PackSource& source, const std::vector<PackRange>& ranges,
                         const ChunkDestinations& destinations, const FetchContext& context) {
    if (ranges.empty()) return {};
    return Fetch(source, ranges, destinations, context.progress).Run(context.cancel);
}

}  // namespace velmora::engine
