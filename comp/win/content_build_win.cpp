#include "content_build_win.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

#include "chunk_check_win.h"
#include "core/escaped_exception.h"
#include "core/hex.h"
#include "file_ops_win.h"

namespace velmora::engine {

Result<std::vector<std::uint32_t>> ContentBuild::Prepare(
    const ContentsToBuild& contents, const std::unordered_map<std::wstring, std::uint64_t>& leftovers) {
    const auto leftover = [&](const std::wstring& name, std::uint64_t size) {
        const auto found = leftovers.find(name);
        return found != leftovers.end() && found->second == size;
    };
    for (const ContentToBuild& building : contents) {
        if (cancel_.Raised()) return Stopped();
        const ManifestFile& content = remote_.files[building.source];
        if (leftover(staging_.ReadyName(content.sha256), content.size)) {
            auto ready = staging_.CheckReady(content, cancel_);
            if (ready) continue;
            if (IsStop(ready.Error()) || !FailedVerification(ready.Error())) return ready.Error();
        }
        // A content of one chunk (most small files) is written whole as its
        // .ready once the chunk is in: no .build to make and rename, which
        // under Wine costs about a millisecond a file. Cut short by a stop,
        // it is a .ready the next run hashes and discards.
        const bool whole = content.chunkCount == 1;
        if (whole)
            if (auto same = CheckOneChunkContent(content); !same) return same.Error();
        const bool resumed = !whole && leftover(staging_.BuildName(content.sha256), content.size);
        if (!whole && !resumed)
            if (auto made = staging_.CreateBuild(content); !made) return made.Error();
        building_.push_back(building);
        resumed_.push_back(resumed);
        whole_.push_back(whole);
    }

    needed_ = ListNeededChunks(remote_, building_, local_, game_);
    placed_.assign(needed_.TargetCount(), false);
    // Room for every chunk at once: a list that doubles as it grows holds
    // its old and new room together, for a large game some 6 MiB.
    std::vector<std::uint32_t> wanted;
    wanted.reserve(needed_.size());
    // A few thousand at a time: the digests of the chunks that may be on
    // the disk are asked for together.
    constexpr std::size_t kBatch = 4096;
    for (std::size_t first = 0; first < needed_.size(); first += kBatch) {
        if (cancel_.Raised()) return Stopped();
        const std::size_t end = std::min(first + kBatch, needed_.size());
        if (auto restocked = RestockFromDisk(first, end, wanted); !restocked) return restocked.Error();
    }
    return wanted;
}

// Its one chunk is checked against the chunk's SHA-256, so it is the file's
// content only when both SHA-256 are the same. A lean release holds no
// digest to compare: its chunk is checked against the file's SHA-256
// instead (DigestsOf).
Result<void> ContentBuild::CheckOneChunkContent(const ManifestFile& content) const {
    if (!remote_.HoldsChunks()) return {};
    const Sha256Digest& chunk = remote_.chunks[content.firstChunk].sha256;
    if (chunk == content.sha256) return {};
    return EngineError{EngineStatus::WrongFile,
                       "the one chunk of " + ToHex(content.sha256) + " is another content, " + ToHex(chunk)};
}

bool ContentBuild::MayBeOnDisk(std::size_t i) const {
    if (needed_.Installed(i)) return true;
    const ChunkTargets targets = needed_.Targets(i);
    for (std::size_t t = 0; t < targets.size(); ++t)
        if (resumed_[targets[t].content]) return true;
    return false;
}

// Restocks chunks `first` to `end` from the disk where it may hold them,
// and adds the others to `wanted`, in order.
Result<void> ContentBuild::RestockFromDisk(std::size_t first, std::size_t end, std::vector<std::uint32_t>& wanted) {
    std::vector<std::uint32_t> onDisk;
    for (auto i = static_cast<std::uint32_t>(first); i < end; ++i)
        if (MayBeOnDisk(i)) onDisk.push_back(i);
    auto digests = DigestsOf(onDisk);
    if (!digests) return digests.Error();
    OpenBuild open;
    std::size_t k = 0;
    for (auto i = static_cast<std::uint32_t>(first); i < end; ++i) {
        if (k == onDisk.size() || onDisk[k] != i) {
            wanted.push_back(i);
            continue;
        }
        auto restocked = Restock(i, digests.Value()[k++], open);
        if (!restocked) return restocked.Error();
        if (!restocked.Value()) wanted.push_back(i);
    }
    return {};
}

// Puts chunk `i` wherever it is missing from what the disk already holds:
// a resumed .build where it checks out, else an old file of the install.
// False when neither has it: it must be fetched.
Result<bool> ContentBuild::Restock(std::size_t i, const Sha256Digest& sha256, OpenBuild& open) {
    const ManifestChunk stored = needed_.Stored(i).WithDigest(sha256);
    const ChunkTargets targets = needed_.Targets(i);
    std::vector<std::uint8_t> content;
    for (std::size_t t = 0; t < targets.size(); ++t) {
        const ChunkTarget target = targets[t];
        if (!resumed_[target.content]) continue;
        auto read = ReadAt(BuildPath(target), target.offset, stored.size);
        if (!read) return read.Error();
        if (CheckChunkContent(stored, read.Value())) {
            placed_[needed_.TargetNumber(i, t)] = true;
            content = std::move(read).Value();
        }
    }
    const std::optional<InstalledChunk> installed = needed_.Installed(i);
    if (content.empty() && installed) {
        const std::optional<std::wstring> path = game_.FullPath(local_->files[installed->file].path);
        if (path) {
            auto read = ReadAt(*path, installed->offset, stored.size);
            if (read && CheckChunkContent(stored, read.Value())) content = std::move(read).Value();
        }
    }
    if (content.empty()) return false;
    for (std::size_t t = 0; t < targets.size(); ++t) {
        if (placed_[needed_.TargetNumber(i, t)]) continue;
        if (auto written = WriteTo(targets[t], content, open); !written) return written.Error();
        placed_[needed_.TargetNumber(i, t)] = true;
    }
    return true;
}

Result<std::vector<Sha256Digest>> ContentBuild::DigestsOf(std::span<const std::uint32_t> chunks) const {
    if (remote_.HoldsChunks()) return HeldChunkDigests(remote_, needed_).DigestsOf(chunks);
    std::vector<Sha256Digest> digests(chunks.size());
    std::vector<std::uint32_t> lines;  // to read, of the chunks at `unread`
    std::vector<std::size_t> unread;
    for (std::size_t k = 0; k < chunks.size(); ++k) {
        const ChunkTargets targets = needed_.Targets(chunks[k]);
        std::size_t t = 0;
        while (t < targets.size() && !whole_[targets[t].content]) ++t;
        if (t < targets.size()) {
            digests[k] = BuiltFile(targets[t].content).sha256;
        } else {
            lines.push_back(needed_.Line(chunks[k]));
            unread.push_back(k);
        }
    }
    if (lines.empty()) return digests;
    if (!texts_) return InvalidFormat("the release holds no chunk digests, and no text to read them from");
    auto read = texts_->Of(lines);
    if (!read) return read.Error();
    for (std::size_t u = 0; u < unread.size(); ++u) digests[unread[u]] = read.Value()[u];
    return digests;
}

Result<void> ContentBuild::WriteTo(const ChunkTarget& target, std::span<const std::uint8_t> content,
                                   OpenBuild& open) const {
    if (whole_[target.content]) return staging_.WriteReady(BuiltFile(target.content), content);
    const std::wstring path = BuildPath(target);
    if (open.path != path) {
        auto opened = OpenForWriting(path);
        if (!opened) return opened.Error();
        open.handle = std::move(opened).Value();
        open.path = path;
    }
    return WriteAt(open.handle.get(), path, target.offset, content);
}

Result<void> ContentBuild::Write(std::size_t i, std::span<const std::uint8_t> content, OpenBuild& open) const {
    const ChunkTargets targets = needed_.Targets(i);
    for (std::size_t t = 0; t < targets.size(); ++t) {
        if (placed_[needed_.TargetNumber(i, t)]) continue;
        if (auto written = WriteTo(targets[t], content, open); !written) return written;
    }
    return {};
}

Result<void> ContentBuild::FinishContent(std::size_t c) const {
    const ManifestFile& content = BuiltFile(c);
    const std::wstring build = staging_.BuildPath(content.sha256);
    if (auto flushed = Flush(build); !flushed) return flushed;
    if (auto checked = staging_.CheckBuilt(content, cancel_); !checked) return checked;
    return ReplaceWith(build, staging_.ReadyPath(content.sha256));
}

Result<void> ContentBuild::Finish() const {
    // A few contents at once: each mostly waits for the disk (its flush,
    // its bytes read back), and a game has thousands of small ones.
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::optional<EngineError> failure;
    const auto fail = [&](EngineError error) noexcept {
        std::lock_guard lock(mutex);
        if (!failure) failure = std::move(error);
    };
    const auto work = [&]() noexcept {
        try {
            for (std::size_t c = next++; c < building_.size(); c = next++) {
                if (cancel_.Raised()) return;
                if (whole_[c]) continue;
                if (auto finished = FinishContent(c); !finished) return fail(finished.Error());
                std::lock_guard lock(mutex);
                if (failure) return;
            }
        } catch (...) {
            fail(ErrorOfCurrentException());
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned h = 1; h < kFinishingThreads; ++h) {
        try {
            helpers.emplace_back(work);
        } catch (...) {
            break;  // fewer helpers: the work is shared by the threads there are
        }
    }
    work();
    for (std::thread& helper : helpers) helper.join();
    if (cancel_.Raised()) return Stopped();
    if (failure) return *failure;
    return {};
}

namespace {

class BuildWriter final : public ChunkDestination {
public:
    explicit BuildWriter(const ContentBuild& build) : build_(build) {}
    Result<void> Write(std::size_t chunk, std::span<const std::uint8_t> content) override {
        return build_.Write(chunk, content, open_);
    }

private:
    const ContentBuild& build_;
    ContentBuild::OpenBuild open_;
};

}  // namespace

std::unique_ptr<ChunkDestination> ContentBuild::NewWriter() const { return std::make_unique<BuildWriter>(*this); }

}  // namespace velmora::engine
