// Fetching ranges of packs, against the local server: broken transfers keep
// what they checked, servers that ignore ranges still serve, bodies are read
// only up to the signed size, and a worker that throws ends as a status.
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
    std::vector<NeededChunk> needed;
    for (const ManifestFile& file : manifest.files)
        for (const ManifestChunk& chunk : file.chunks) needed.push_back({&chunk, {}, std::nullopt});
    std::vector<std::size_t> wanted(needed.size());
    for (std::size_t i = 0; i < wanted.size(); ++i) wanted[i] = i;
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
            FetchRanges({session.Value(), manifest, needed}, ranges, c.destinations, {cancel, progress});
        ASSERT_FALSE(fetched) << c.name;
        EXPECT_EQ(fetched.Error().status, EngineStatus::WrongFile) << c.name;
        EXPECT_TRUE(fetched.Error().local) << c.name << ": local trouble throws nothing away";
        EXPECT_EQ(fetched.Error().reason.rfind(c.reason, 0), 0u) << c.name << ": " << fetched.Error().reason;
    }
}

}  // namespace velmora::engine_server
