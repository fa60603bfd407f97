// The Windows engine's portable rules: the data URL, what network errors
// and HTTP answers mean, the 32-bit byte counts, and what the workers of a
// download share: the cancel flag and the progress.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "core/cancel_flag.h"
#include "core/data_url.h"
#include "core/rate_floor.h"
#include "core/source_choice.h"
#include "core/status_writer.h"
#include "core/transfer_progress.h"
#include "core/transfer_rules.h"

namespace velmora::engine {
namespace {

TEST(EngineCoreTransfer, DataUrlsAreTakenApart) {
    const struct {
        const char* url;
        bool mirror;  // a mirror's folder URL rather than the data URL
        bool secure;
        const char* host;
        std::uint16_t port;
        const char* packPath;  // of pack "ab"
    } cases[] = {
        {"http://127.0.0.1:8780/oficial/gamedata.vel", false, false, "127.0.0.1", 8780, "/oficial/packs/ab"},
        {"HTTP://Updates.Example/gamedata.vel", false, false, "Updates.Example", 80, "/packs/ab"},
        {"https://cdn.example/a/b/gamedata.vel", false, true, "cdn.example", 443, "/a/b/packs/ab"},
        {"http://[::1]:8080/x/gamedata.vel", false, false, "::1", 8080, "/x/packs/ab"},
        {"https://mirror.example/velmora/", true, true, "mirror.example", 443, "/velmora/packs/ab"},
        {"http://[::1]:81/", true, false, "::1", 81, "/packs/ab"},
    };
    for (const auto& c : cases) {
        const std::optional<DataUrl> url = c.mirror ? ParseMirrorUrl(c.url) : ParseDataUrl(c.url);
        ASSERT_TRUE(url.has_value()) << c.url;
        EXPECT_EQ(url->secure, c.secure) << c.url;
        EXPECT_EQ(url->host, c.host) << c.url;
        EXPECT_EQ(url->port, c.port) << c.url;
        EXPECT_EQ(PackPath(*url, "ab"), c.packPath) << c.url;
    }
}

TEST(EngineCoreTransfer, DataUrlsTheEngineCannotUseAreRefused) {
    for (const char* url : {
             "ftp://host/gamedata.vel",
             "http://host",                // no path
             "http://host/folder/",        // names no file
             "http://:80/gamedata.vel",    // no host
             "http://host:0/gamedata.vel",
             "http://host:65536/gamedata.vel",
             "http://host:/gamedata.vel",
             "http://user@host/gamedata.vel",
             "http://host/game data.vel",
             "http://host/gamedata.vel?v=2",
             "http://[::1/gamedata.vel",
         })
        EXPECT_FALSE(ParseDataUrl(url).has_value()) << url;
    // A mirror's folder: the same rules, but the path names a folder.
    for (const char* url : {
             "http://host/velmora/gamedata.vel",  // names a file
             "http://host",
             "ftp://host/velmora/",
             "http://user@host/velmora/",
             "http://host:0/velmora/",
             "http://host/velmora/?v=2",
             "http://host/vel mora/",
             "http://[1.2.3.4]/velmora/",
         })
        EXPECT_FALSE(ParseMirrorUrl(url).has_value()) << url;
}

TEST(EngineCoreTransfer, NetworkErrorsMapToTheirStatusByPhase) {
    using P = TransferPhase;
    using S = EngineStatus;
    const struct {
        std::uint32_t error;
        P phase;
        S status;
    } cases[] = {
        {12007, P::Connecting, S::HostNotResolved},  // ERROR_INTERNET_NAME_NOT_RESOLVED
        {11001, P::Connecting, S::HostNotResolved},  // WSAHOST_NOT_FOUND
        {12029, P::Connecting, S::ConnectionRefused},  // ERROR_INTERNET_CANNOT_CONNECT
        {10061, P::Connecting, S::ConnectionRefused},  // WSAECONNREFUSED
        {12002, P::Connecting, S::TimedOut},
        {12002, P::ReceivingBody, S::TimedOut},
        {10060, P::ReceivingBody, S::TimedOut},      // WSAETIMEDOUT, as Wine reports a read time-out
        {12031, P::Connecting, S::ConnectionFailed},  // reset before the response
        {12030, P::ReceivingBody, S::TransferBroken},  // aborted during the body
        {10054, P::ReceivingBody, S::TransferBroken},
        {12152, P::Connecting, S::ConnectionFailed},  // invalid server response
        {6, P::ReceivingBody, S::TransferBroken},     // anything else during the body
    };
    for (const auto& c : cases)
        EXPECT_EQ(StatusForNetworkError(c.error, c.phase), c.status) << c.error;

    // Wine's WinINet reports a wait that timed out as aborted (12030).
    using std::chrono::milliseconds;
    const struct {
        std::uint32_t error;
        milliseconds waited;
        S status;
    } waits[] = {
        {12030, milliseconds(15020), S::TimedOut},
        {12030, milliseconds(14700), S::TimedOut},
        {12030, milliseconds(3000), S::ConnectionFailed},  // aborted well before: a real abort
        {12031, milliseconds(15020), S::ConnectionFailed},  // a reset is never a time-out
        {12002, milliseconds(100), S::TimedOut},
    };
    for (const auto& w : waits)
        EXPECT_EQ(StatusForNetworkError(w.error, P::Connecting, w.waited, kNetworkTimeout), w.status)
            << w.error << " after " << w.waited.count() << " ms";
}

TEST(EngineCoreTransfer, PackResponsesServeTheRangeTheWholePackOrFail) {
    constexpr std::uint64_t size = 1000;
    const struct {
        unsigned status;
        std::optional<std::string_view> range;
        std::optional<PackAnswer> answer;      // or the error:
        EngineStatus error;
    } cases[] = {
        {206, "bytes 400-599/1000", PackAnswer::AskedRange, {}},
        {206, "bytes 400-599/*", PackAnswer::AskedRange, {}},
        {200, std::nullopt, PackAnswer::WholePack, {}},  // ranges ignored
        // Not the range asked for, or not of the signed pack: ask for it whole.
        {206, "bytes 300-599/1000", PackAnswer::AskWhole, {}},
        {206, "bytes 400-499/1000", PackAnswer::AskWhole, {}},  // ends early
        {206, "bytes 400-699/1000", PackAnswer::AskWhole, {}},  // runs on
        {206, "bytes 400-599/1999", PackAnswer::AskWhole, {}},  // total is not the signed size
        {206, std::nullopt, PackAnswer::AskWhole, {}},
        {206, "items 400-599/1000", PackAnswer::AskWhole, {}},
        {416, std::nullopt, std::nullopt, EngineStatus::WrongFile},
        {404, std::nullopt, std::nullopt, EngineStatus::ServerError},
        {503, std::nullopt, std::nullopt, EngineStatus::ServerError},
    };
    for (const auto& c : cases) {
        const auto answer = CheckPackResponse(c.status, c.range, 400, 599, size);
        const std::string name = std::to_string(c.status) + " " + std::string(c.range.value_or("-"));
        ASSERT_EQ(answer.Ok(), c.answer.has_value()) << name;
        if (answer)
            EXPECT_EQ(answer.Value(), *c.answer) << name;
        else
            EXPECT_EQ(answer.Error().status, c.error) << name;
    }
    EXPECT_EQ(RangeHeader(400, 599), "Range: bytes=400-599");
    EXPECT_TRUE(CheckManifestResponse(200));
    EXPECT_EQ(CheckManifestResponse(500).Error().status, EngineStatus::ServerError);
}

// Two mirrors and the origin (source 2): ranges take the mirrors in turn,
// a mirror set aside passes its turn on, and the origin serves once no
// mirror is left. Only a mirror's failure of the network or the data hands
// the work on; what it leaves is the range from its first unwritten chunk.
TEST(EngineCoreTransfer, RangesGoToTheMirrorsInTurnThenToTheOrigin) {
    PackSources sources(2);
    const struct {
        std::size_t setAside;
        std::vector<std::size_t> forRanges;  // sources of ranges 0 to 3 afterwards
    } steps[] = {
        {99, {0, 1, 0, 1}},
        {0, {1, 1, 1, 1}},
        {1, {2, 2, 2, 2}},
        {2, {2, 2, 2, 2}},  // the origin is never set aside
    };
    for (const auto& step : steps) {
        sources.SetAside(step.setAside);
        for (std::size_t range = 0; range < step.forRanges.size(); ++range)
            EXPECT_EQ(sources.For(range), step.forRanges[range]) << "after setting aside " << step.setAside;
    }
    EXPECT_EQ(PackSources(0).For(7), 0u) << "without mirrors the origin serves";

    const struct {
        std::size_t source;
        EngineError error;
        bool handsOn;
    } failures[] = {
        {0, {EngineStatus::WrongFile, "wrong bytes"}, true},
        {1, {EngineStatus::TimedOut, "stalled"}, true},
        {0, {EngineStatus::WrongFile, "disk full", true}, false},
        {0, Stopped(), false},
        {2, {EngineStatus::ServerError, "503"}, false},
    };
    for (const auto& f : failures)
        EXPECT_EQ(HandsOnToNextSource(PackSources(2), f.source, f.error), f.handsOn)
            << f.source << ": " << f.error.reason;

    Manifest release;
    release.chunks.resize(3);
    NeededChunks needed(&release);
    for (std::size_t i = 0; i < release.chunks.size(); ++i) {
        release.chunks[i].SetPlace(0, 100 + 200 * i);
        release.chunks[i].storedSize = 100;
        needed.Add(i, {});
    }
    needed.Seal();
    const PackRange range{4, 100, 600, {0, 1, 2}};
    const struct {
        std::size_t written;
        std::uint64_t begin;
        std::vector<std::uint32_t> chunks;
    } rests[] = {{0, 100, {0, 1, 2}}, {1, 300, {1, 2}}, {2, 500, {2}}, {3, 600, {}}};
    for (const auto& rest : rests) {
        const PackRange left = RestOfRange(range, rest.written, needed);
        EXPECT_EQ(left.pack, 4u);
        EXPECT_EQ(left.begin, rest.begin) << rest.written;
        EXPECT_EQ(left.end, 600u) << rest.written;
        EXPECT_EQ(left.chunks, rest.chunks) << rest.written;
    }
}

TEST(EngineCoreTransfer, ContentRangeForms) {
    EXPECT_EQ(ParseContentRange("bytes 0-0/1")->length, 1u);
    EXPECT_EQ(ParseContentRange("bytes 5-9/*")->length, std::nullopt);
    for (const char* bad : {"bytes 9-5/10", "bytes 5-9/9", "bytes 5-/10", "bytes -9/10", "bytes 5-9", "bytes  5-9/10",
                            "bytes 05-9/10"})
        EXPECT_FALSE(ParseContentRange(bad).has_value()) << bad;
}

// A floor of 1000 bytes a second over 10 s: a transfer ends when the bytes
// of the last window (measured to within a tenth of it) fall below 10000.
TEST(EngineCoreTransfer, RateFloorEndsOnlyASustainedCrawl) {
    using std::chrono::milliseconds;
    const RateFloorLimits limits{1000, milliseconds(10000)};
    const struct {
        const char* name;
        std::vector<std::pair<int, std::uint64_t>> samples;  // (ms, bytes so far), the last one decides
        bool tooSlow;
    } cases[] = {
        {"no verdict before a window passed", {{9999, 0}}, false},
        {"nothing for a window", {{10000, 0}}, true},
        {"just at the floor", {{10000, 10000}}, false},
        {"just below the floor", {{10000, 9999}}, true},
        {"a byte every few seconds", {{3000, 1}, {6000, 2}, {9000, 3}, {12000, 4}}, true},
        {"fast start, then a crawl for a window", {{1000, 500000}, {5000, 500001}, {11500, 500002}}, true},
        {"fast start, crawl not yet a window long", {{1000, 500000}, {5000, 500001}, {10500, 500002}}, false},
        {"steady at twice the floor", {{5000, 10000}, {10000, 20000}, {15000, 30000}, {20000, 40000}}, false},
        {"slow but in bursts above the floor", {{9000, 12000}, {18000, 24000}, {27000, 36000}, {30000, 36000}}, false},
    };
    for (const auto& c : cases) {
        RateFloor floor(limits, milliseconds(0));
        bool tooSlow = false;
        for (const auto& [at, bytes] : c.samples) tooSlow = floor.TooSlow(milliseconds(at), bytes);
        EXPECT_EQ(tooSlow, c.tooSlow) << c.name;
    }
    // Starting again forgets the time before: the window counts from there.
    RateFloor restarted(limits, milliseconds(0));
    restarted.Restart(milliseconds(20000), 7);
    EXPECT_FALSE(restarted.TooSlow(milliseconds(29000), 7));
    EXPECT_TRUE(restarted.TooSlow(milliseconds(30000), 7));
}

// A body that ends before the object does: broken off, unless the server
// delivered all it announced (then its object is not the signed one).
TEST(EngineCoreTransfer, ShortBodiesAreBrokenOffOrTheWrongObject) {
    EXPECT_EQ(ShortBody(100, 1000, 1000).status, EngineStatus::TransferBroken);
    EXPECT_EQ(ShortBody(100, 1000, std::nullopt).status, EngineStatus::TransferBroken);
    EXPECT_EQ(ShortBody(500, 1000, 500).status, EngineStatus::WrongFile);
}

TEST(EngineCoreTransfer, ByteCountsClampToThe32BitVariables) {
    EXPECT_EQ(ClampedByteCount(0), 0);
    EXPECT_EQ(ClampedByteCount(2147483647u), 2147483647);
    EXPECT_EQ(ClampedByteCount(2147483648u), 2147483647);
    EXPECT_EQ(ClampedByteCount(std::uint64_t{1} << 40), 2147483647);

    alignas(4) std::int32_t counts[2] = {};
    alignas(2) std::int16_t status[2] = {};
    EXPECT_TRUE(StatusWriter::CanWrite(&status[0], &counts[0], &counts[1]));
    EXPECT_FALSE(StatusWriter::CanWrite(nullptr, &counts[0], &counts[1]));
    const auto* misaligned = reinterpret_cast<std::int32_t*>(reinterpret_cast<char*>(&counts[0]) + 1);
    EXPECT_FALSE(StatusWriter::CanWrite(&status[0], misaligned, &counts[1]));

    const StatusWriter writer(&status[0], &counts[0], &counts[1]);
    writer.Status(EngineStatus::TransferBroken);
    writer.Total(std::uint64_t{5} << 32);
    writer.Done(1234);
    EXPECT_EQ(status[0], -6);
    EXPECT_EQ(counts[1], 2147483647);
    EXPECT_EQ(counts[0], 1234);
}


// A hook runs once when the flag goes up, at once when it is up already,
// never once its subscription is gone; a flag raised by another's hook
// follows it, and a wait on a condition variable that includes the flag
// ends when another thread raises it.
TEST(EngineCoreTransfer, CancelFlagWakesWhatWaitsOnIt) {
    CancelFlag run;
    CancelFlag workers;
    int heard = 0;
    int gone = 0;
    const CancelFlag::Subscription follow = run.OnRaise([&] { workers.Raise(); });
    const CancelFlag::Subscription counting = workers.OnRaise([&] { ++heard; });
    { const CancelFlag::Subscription left = run.OnRaise([&] { ++gone; }); }
    run.Raise();
    run.Raise();
    EXPECT_TRUE(workers.Raised());
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(gone, 0);
    int late = 0;
    const CancelFlag::Subscription after = run.OnRaise([&] { ++late; });
    EXPECT_EQ(late, 1);

    CancelFlag cancel;
    std::mutex mutex;
    std::condition_variable changed;
    const CancelFlag::Subscription wake = cancel.OnRaise([&] {
        std::lock_guard lock(mutex);
        changed.notify_all();
    });
    std::thread raiser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        cancel.Raise();
    });
    const auto started = std::chrono::steady_clock::now();
    std::unique_lock lock(mutex);
    // Nothing but the hook notifies: without it the wait runs its 10 s.
    const bool woken = changed.wait_for(lock, std::chrono::seconds(10), [&] { return cancel.Raised(); });
    lock.unlock();
    raiser.join();
    EXPECT_TRUE(woken);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

// Four workers telling their bytes at once lose none, and the variables
// show the counts.
TEST(EngineCoreTransfer, ProgressCountsEveryWorkersBytes) {
    alignas(2) std::int16_t status = 0;
    alignas(4) std::int32_t done = -1;
    alignas(4) std::int32_t total = -1;
    const StatusWriter writer(&status, &done, &total);
    TransferProgress progress(writer, 1000);
    EXPECT_EQ(done, 0);
    EXPECT_EQ(total, 1000);
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w)
        workers.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) progress.Received(3);
            progress.Grew(250);
        });
    for (std::thread& worker : workers) worker.join();
    EXPECT_EQ(progress.Done(), 240000u);
    EXPECT_EQ(progress.Total(), 2000u);
    EXPECT_EQ(done, 240000);
    EXPECT_EQ(total, 2000);
}

// Past the variables' 32-bit range a download is shown in equal stages
// (here with the limit lowered to 100 bytes): each shows its own done and
// total, ends full, and the next begins with its first byte.
TEST(EngineCoreTransfer, ProgressBeyondTheVariablesRangeIsShownInStages) {
    const struct {
        std::uint64_t total;
        std::vector<std::uint64_t> received;
        std::int32_t done, shownTotal;
    } cases[] = {
        {100, {}, 0, 100},          // fits: one stage, as it is
        {100, {100}, 100, 100},
        {250, {}, 0, 84},           // three stages of 84, 84 and 82
        {250, {84}, 84, 84},        // a stage's last byte keeps it full
        {250, {84, 1}, 1, 84},      // the next byte begins the next
        {250, {200}, 32, 82},       // the last stage holds the rest
        {250, {250}, 82, 82},
        {200, {150}, 50, 100},      // exactly two stages
    };
    for (const auto& c : cases) {
        alignas(2) std::int16_t status = 0;
        alignas(4) std::int32_t done = -1;
        alignas(4) std::int32_t total = -1;
        const StatusWriter writer(&status, &done, &total);
        TransferProgress progress(writer, c.total, 100);
        for (const std::uint64_t bytes : c.received) progress.Received(bytes);
        EXPECT_EQ(done, c.done) << c.total << " after " << c.received.size();
        EXPECT_EQ(total, c.shownTotal) << c.total << " after " << c.received.size();
    }
    // A total that grows past one stage goes on in stages of the limit.
    alignas(2) std::int16_t status = 0;
    alignas(4) std::int32_t done = -1;
    alignas(4) std::int32_t total = -1;
    const StatusWriter writer(&status, &done, &total);
    TransferProgress progress(writer, 60, 100);
    progress.Grew(90);
    EXPECT_EQ(total, 100);
    progress.Received(120);
    EXPECT_EQ(done, 20);
    EXPECT_EQ(total, 50);
    EXPECT_EQ(progress.Done(), 120u);
    EXPECT_EQ(progress.Total(), 150u);
}

}  // namespace
}  // namespace velmora::engine
