// Fetching ranges of packs, against the local server: broken transfers keep
// what they checked, servers that ignore ranges still serve, bodies are read
// only up to the signed size, a worker that throws ends as a status, and
// the mirrors a manifest names serve first, a failing one handing over.
#include "support/engine_server_fixture.h"

namespace velmora::engine_server {

// A run whose download broke keeps the chunks it checked; the next one
// fetches only the rest.
TEST_F(EngineWinServer, DroppedConnectionKeepsTheCheckedChunks) {
    const RunResult broken = Update("/_fault/drop=200000/first");
    EXPECT_EQ(Final(broken), -6) << Sequence(broken.statuses);
    EXPECT_FALSE(StagingFiles().empty());
    EXPECT_FALSE(fs::exists(Installed("velmora.exe")));

    const RunResult resumed = Update("/first");
    EXPECT_EQ(Final(resumed), 1) << Sequence(resumed.statuses);
    ExpectInstalled("first");
    EXPECT_EQ(resumed.done, resumed.total);
    EXPECT_LT(resumed.total, broken.total) << "fetched again what the broken run had checked";
}

// A server that answers a range request with another range, or with the
// whole pack (it ignores ranges), still serves: the pack is read whole,
// once, however many ranges of it the run wanted.
TEST_F(EngineWinServer, ServersThatDoNotAnswerTheRangeStillServe) {
    for (const char* folder : {"/_fault/partial=1000/first", "/_fault/whole/first"}) {
        SCOPED_TRACE(folder);
        StartOver();
        NewRequests();
        const RunResult run = Update(folder);
        EXPECT_EQ(Final(run), 1) << Sequence(run.statuses);
        ExpectInstalled("first");
        EXPECT_EQ(run.done, run.total);
        const std::vector<std::string> requests = NewRequests();
        EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                                [](const std::string& line) {
                                    return line.ends_with("\t200") && line.find("/packs/") != std::string::npos;
                                }),
                  1)
            << "the pack, whole";
    }
    // An update whose range begins inside the pack: what the whole pack
    // brings before it counts in the total as well.
    const RunResult update = Update("/_fault/whole/second");
    EXPECT_EQ(Final(update), 1) << Sequence(update.statuses);
    ExpectInstalled("second");
    EXPECT_EQ(update.done, update.total);
}

TEST_F(EngineWinServer, EndlessBodyIsReadOnlyUpToTheSignedSize) {
    const RunResult run = Update("/_fault/endless/first");
    EXPECT_EQ(Final(run), 1) << Sequence(run.statuses);
    ExpectInstalled("first");
}

// Pack requests among logged requests.
std::size_t PackRequests(const std::vector<std::string>& requests) {
    return static_cast<std::size_t>(std::count_if(requests.begin(), requests.end(), [](const std::string& line) {
        return line.find("/packs/") != std::string::npos;
    }));
}

// The update from spread-a to spread-b fetches ranges far apart, more than
// are asked at once, and spread-b's manifests name one mirror, a server of
// its own: a healthy mirror serves every range and the origin none; a
// mirror that fails (each way in turn) is not asked again in the run, and
// the origin serves every range. Nothing it sent that failed its check is
// kept, and the progress ends whole.
TEST_F(EngineWinServer, MirrorsServeThePacksAndAFailingOneHandsOverToTheOrigin) {
    const struct {
        const char* folder;
        bool mirrorFails;
    } cases[] = {
        {"/spread-b-healthy", false},
        {"/spread-b-error", true},   // 503 for every pack request
        {"/spread-b-silent", true},  // no answer: the head's time-out
        {"/spread-b-stall", true},   // 1000 bytes, then nothing: the receive time-out
        {"/spread-b-wrong", true},   // every byte of its packs changed
    };
    std::size_t ranges = 0;  // every range, as the healthy mirror was asked
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        StartOver();
        const RunResult installed = Update("/spread-a");
        ASSERT_EQ(Final(installed), 1) << Sequence(installed.statuses);
        NewRequests();
        NewMirrorRequests();

        const RunResult run = Update(c.folder);
        EXPECT_EQ(Final(run), 1) << Sequence(run.statuses);
        ExpectInstalled("spread-b");
        EXPECT_EQ(run.done, run.total);
        const std::size_t fromMirror = PackRequests(NewMirrorRequests());
        const std::size_t fromOrigin = PackRequests(NewRequests());
        if (!c.mirrorFails) {
            ranges = fromMirror;
            EXPECT_GT(ranges, velmora::engine::kRequestsInFlight) << "too few ranges to see a mirror set aside";
            EXPECT_EQ(fromOrigin, 0u);
            continue;
        }
        EXPECT_GE(fromMirror, 1u);
        EXPECT_LE(fromMirror, velmora::engine::kRequestsInFlight) << "asked again after it failed";
        EXPECT_EQ(fromOrigin, ranges);
    }

    // When the origin fails too, the run ends with the origin's failure
    // (503), not the mirror's (wrong bytes).
    StartOver();
    ASSERT_EQ(Final(Update("/spread-a")), 1);
    const RunResult failed = Update("/_fault/status=503/spread-b-wrong");
    EXPECT_EQ(Final(failed), -5) << Sequence(failed.statuses);
}

// A worker that throws, whether writing what it fetched (out of memory,
// say) or before it begins, ends the fetch with -7, local trouble that
// keeps what was fetched, rather than ending the process. Through the real
// FetchRanges against the server, every chunk of the first release.
TEST_F(EngineWinServer, WorkerThatThrowsEndsTheFetchWithLocalTrouble) {
    using namespace velmora::engine;
    const auto parsed = ParseSignedManifest(ServerManifest("first"),
                                            [](std::string_view, const ManifestSignature&) { return Result<void>(); });
    ASSERT_TRUE(parsed) << parsed.Error().reason;
    const Manifest& manifest = parsed.Value().manifest;
    NeededChunks needed(&manifest);
    for (std::size_t i = 0; i < manifest.chunks.size(); ++i) needed.Add(i, {});
    needed.Seal();
    const HeldChunkDigests digests(manifest, needed);
    std::vector<std::uint32_t> wanted(needed.size());
    for (std::uint32_t i = 0; i < wanted.size(); ++i) wanted[i] = i;
    const std::vector<PackRange> ranges = JoinIntoRanges(needed, wanted);
    ASSERT_FALSE(ranges.empty());
    const std::optional<DataUrl> url = ParseDataUrl(ServerUrl("/first") + "/gamedata.vel");
    ASSERT_TRUE(url.has_value());
    auto session = InternetSession::Open(*url, 1);
    ASSERT_TRUE(session) << session.Error().reason;

    // Writers that throw: one as it writes, one before the worker has it.
    struct ThrowingWriter final : ChunkDestination {
        Result<void> Write(std::size_t, std::span<const std::uint8_t>) override { throw std::bad_alloc(); }
    };
    struct WritersThatThrowOnWrite final : ChunkDestinations {
        std::unique_ptr<ChunkDestination> NewWriter() const override { return std::make_unique<ThrowingWriter>(); }
    };
    struct WritersTheSystemRefuses final : ChunkDestinations {
        std::unique_ptr<ChunkDestination> NewWriter() const override {
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        }
    };
    const WritersThatThrowOnWrite throwOnWrite;
    const WritersTheSystemRefuses refused;
    const struct {
        const char* name;
        const ChunkDestinations& destinations;
        const char* reason;
    } cases[] = {
        {"the sink runs out of memory", throwOnWrite, "out of memory"},
        {"the system refuses before the worker begins", refused, "the system refused: "},
    };
    for (const auto& c : cases) {
        const StatusWriter noVariables;
        TransferProgress progress(noVariables, RangeBytes(ranges));
        const CancelFlag cancel;
        const Result<void> fetched =
            FetchRanges({session.Value(), manifest, needed, digests}, ranges, c.destinations, {cancel, progress});
        ASSERT_FALSE(fetched) << c.name;
        EXPECT_EQ(fetched.Error().status, EngineStatus::WrongFile) << c.name;
        EXPECT_TRUE(fetched.Error().local) << c.name << ": local trouble throws nothing away";
        EXPECT_EQ(fetched.Error().reason.rfind(c.reason, 0), 0u) << c.name << ": " << fetched.Error().reason;
    }
}

}  // namespace velmora::engine_server
