#include "pack_fetch_win.h"

#include <mutex>
#include <optional>
#include <thread>

#include "chunk_check_win.h"
#include "core/data_url.h"
#include "core/escaped_exception.h"
#include "core/hex.h"
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

class Fetch {
public:
    Fetch(const PackSource& source, const std::vector<PackRange>& ranges, const ChunkDestinations& destinations,
          TransferProgress& progress)
        : source_(source), ranges_(ranges), destinations_(destinations), progress_(progress),
          claimed_(ranges.size(), false) {}

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

    // A worker's boundary: whatever it throws (out of memory, say) is the
    // run's failure, never the end of the process.
    void Work() noexcept {
        try {
            const std::unique_ptr<ChunkDestination> writer = destinations_.NewWriter();
            while (!halt_.Raised()) {
                const std::optional<std::size_t> range = Claim();
                if (!range) break;
                if (auto fetched = FetchRange(*range, *writer); !fetched) Fail(fetched.Error());
            }
        } catch (...) {
            Fail(ErrorOfCurrentException());
        }
    }

    // The next range nobody has begun.
    std::optional<std::size_t> Claim() {
        std::lock_guard lock(mutex_);
        while (next_ < ranges_.size() && claimed_[next_]) ++next_;
        if (next_ == ranges_.size()) return std::nullopt;
        claimed_[next_] = true;
        return next_++;
    }

    // `first` and the ranges of its pack after it that nobody has begun.
    std::vector<std::size_t> ClaimRestOfPack(std::size_t first) {
        std::lock_guard lock(mutex_);
        std::vector<std::size_t> claimed = {first};
        for (std::size_t i = first + 1; i < ranges_.size() && ranges_[i].pack == ranges_[first].pack; ++i) {
            if (claimed_[i]) continue;
            claimed_[i] = true;
            claimed.push_back(i);
        }
        return claimed;
    }

    Result<void> FetchRange(std::size_t index, ChunkDestination& writer) {
        const PackRange& range = ranges_[index];
        const ManifestPack& pack = source_.remote.packs[range.pack];
        const std::string path = PackPath(source_.session->Url(), ToHex(pack.name));
        // A server that ignores the range sends the whole pack: never more
        // than that is read.
        auto get = std::make_unique<HttpGet>(source_.session, path, ByteRange{range.begin, range.end - 1}, pack.size);
        auto head = get->Head(halt_);
        if (!head) return head.Error();
        auto answer = CheckPackResponse(head.Value().status, head.Value().contentRange, range.begin, range.end - 1,
                                        pack.size);
        if (!answer) return answer.Error();
        if (answer.Value() == PackAnswer::AskedRange)
            return TakeChunks(*get, range.begin, head.Value().contentLength, {index}, writer);
        if (answer.Value() == PackAnswer::AskWhole) {
            get = std::make_unique<HttpGet>(source_.session, path, std::nullopt, pack.size);
            head = get->Head(halt_);
            if (!head) return head.Error();
            if (head.Value().status != 200)
                return EngineError{EngineStatus::ServerError,
                                   "HTTP status " + std::to_string(head.Value().status) + " for a whole pack"};
        }
        // The whole pack comes: it serves the ranges of the pack not begun,
        // and what lies before and between them comes too.
        const std::vector<std::size_t> claimed = ClaimRestOfPack(index);
        auto around = BytesAroundRanges(ranges_, claimed);
        if (!around) return around.Error();
        progress_.Grew(around.Value());
        return TakeChunks(*get, 0, head.Value().contentLength, claimed, writer);
    }

    Result<void> TakeChunks(HttpGet& get, std::uint64_t start, std::optional<std::uint64_t> announced,
                            const std::vector<std::size_t>& ranges, ChunkDestination& writer) {
        Body body(get, start, announced, progress_, halt_);
        for (const std::size_t index : ranges) {
            for (const std::size_t chunk : ranges_[index].chunks) {
                const ManifestChunk& stored = *source_.needed[chunk].stored;
                auto bytes = body.Take(stored.offset, stored.storedSize);
                if (!bytes) return bytes.Error();
                auto content = ChunkContent(stored, std::move(bytes).Value());
                if (!content) return content.Error();
                if (auto written = writer.Write(chunk, content.Value()); !written) return written;
            }
        }
        return {};
    }

    const PackSource& source_;
    const std::vector<PackRange>& ranges_;
    const ChunkDestinations& destinations_;
    TransferProgress& progress_;
    CancelFlag halt_;
    std::mutex mutex_;
    std::vector<bool> claimed_;
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
