// The whole engine, comp.dll loaded as the program loads it, against the
// local server of engine_win_server.py: installs, updates, refusals,
// broken transfers and their resumption, and stopping.
#include "support/engine_server_fixture.h"

#include <fstream>

namespace velmora::engine_server {

TEST_F(EngineWinServer, FreshInstallPutsEveryFileInPlaceThenNothingIsLeftToDo) {
    const RunResult run = Update("/first");
    ASSERT_EQ(run.startResult, 0);
    EXPECT_EQ(Final(run), 1) << Sequence(run.statuses);
    EXPECT_TRUE(InRunOrder(run.statuses)) << Sequence(run.statuses);
    EXPECT_EQ(std::count(run.statuses.begin(), run.statuses.end(), 4), 0) << "no local manifest: status 2, not 4";
    EXPECT_GT(run.total, 0);
    EXPECT_EQ(run.done, run.total);
    ExpectInstalled("first");
    EXPECT_EQ(ReadTextFile(libs() + L"\\gamedata.vel"), ServerManifest("first"));
    EXPECT_FALSE(fs::exists(fs::path(libs()) / "staging"));
    EXPECT_FALSE(fs::exists(fs::path(libs()) / "gamedata.lock"));

    NewRequests();
    NewAnswers();
    const RunResult again = Update("/first");
    EXPECT_EQ(Final(again), 1) << Sequence(again.statuses);
    EXPECT_EQ(again.total, 0);
    EXPECT_EQ(NewRequests(), std::vector<std::string>{"/first/gamedata.vel\t-\t200"}) << "nothing to do";
    // One answer, the head, under 1 KiB with its header fields, as nginx
    // counted it.
    const std::vector<std::string> answers = NewAnswers();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_TRUE(answers[0].starts_with("/first/gamedata.vel ")) << answers[0];
    EXPECT_LT(std::stoul(answers[0].substr(answers[0].rfind(' ') + 1)), 1024u) << answers[0];
}

TEST_F(EngineWinServer, UpdateFetchesOnlyTheChangedChunksAndNeverGoesBack) {
    ASSERT_EQ(Final(Update("/first")), 1);
    NewRequests();
    const RunResult update = Update("/second");
    EXPECT_EQ(Final(update), 1) << Sequence(update.statuses);
    EXPECT_EQ(std::count(update.statuses.begin(), update.statuses.end(), 2), 0) << "an update is status 4";
    ExpectInstalled("second");
    // The head, the delta from the first release's manifest (this folder
    // has none: 404), the manifest the head names, and one range: the chunk
    // of world.pak around its change and extra.bin lie near each other in
    // the second release's pack.
    EXPECT_EQ(NewRequests().size(), 4u);
    EXPECT_EQ(update.done, update.total);
    EXPECT_GE(update.total, 50000);
    EXPECT_LT(update.total, 300000 + 50000) << "all of world.pak: its unchanged chunks came from the disk";

    // A cache still serving the first release: the install stays as it is,
    // and the game may start.
    const RunResult stale = Update("/first");
    EXPECT_EQ(Final(stale), 1) << Sequence(stale.statuses);
    ExpectInstalled("second");
    EXPECT_EQ(ReadTextFile(libs() + L"\\gamedata.vel"), ServerManifest("second"));
    EXPECT_EQ(Final(Update("/second")), 1) << "the floor stayed where it was";
}

// An update from a release the server keeps a delta from fetches that
// delta and not the whole manifest. A delta that gives another text (one
// byte of it changed) costs one request more and changes nothing: the
// whole manifest comes, and the release installs as it would have.
TEST_F(EngineWinServer, UpdateFetchesTheManifestDeltaAndFallsBackFromADamagedOne) {
    const struct {
        std::string folder;
        bool sound;
    } cases[] = {{"delta", true}, {"delta-damaged", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        StartOver();
        ASSERT_EQ(Final(Update("/first")), 1);
        NewRequests();
        const RunResult update = Update("/" + c.folder);
        EXPECT_EQ(Final(update), 1) << Sequence(update.statuses);
        ExpectInstalled("fourth");
        EXPECT_EQ(ReadTextFile(libs() + L"\\gamedata.vel"), ServerManifest(c.folder));
        const std::vector<std::string> requests = NewRequests();
        const auto asked = [&](const std::string& kind) {
            return std::count_if(requests.begin(), requests.end(), [&](const std::string& line) {
                return line.starts_with("/" + c.folder + "/" + kind + "/") && line.ends_with("\t200");
            });
        };
        EXPECT_EQ(asked("deltas"), 1) << requests.size() << " requests";
        EXPECT_EQ(asked("manifests"), c.sound ? 0 : 1) << requests.size() << " requests";
    }
}

TEST_F(EngineWinServer, FileAlreadyPutInPlaceByAStoppedRunIsNotFetchedAgain) {
    ASSERT_EQ(Final(Update("/first")), 1);
    // A run of the second release stopped after it moved world.pak in place.
    ASSERT_TRUE(fs::copy_file(DataFolder() / "releases/second/data/maps/world.pak", Installed("data/maps/world.pak"),
                              fs::copy_options::overwrite_existing));
    NewRequests();
    const RunResult update = Update("/second");
    EXPECT_EQ(Final(update), 1) << Sequence(update.statuses);
    ExpectInstalled("second");
    EXPECT_EQ(NewRequests().size(), 4u) << "the head, a delta the folder lacks, the manifest and extra.bin only";
    EXPECT_EQ(update.total, 50000);
}

// A file damaged at its own size (a bad sector, a crashed tool) is noticed
// by its last-write time and rebuilt from its chunks that still check out
// and the one fetched; a deleted file comes back from the copy of its
// content on the disk. The settings the player edited are kept, through an
// update and a release that drops them too, while those left alone get the
// new defaults.
TEST_F(EngineWinServer, DamageIsHealedAndThePlayersSettingsKept) {
    ASSERT_EQ(Final(Update("/settings")), 1);
    ExpectInstalled("settings");
    {
        std::fstream world(Installed("data/maps/world.pak"), std::ios::in | std::ios::out | std::ios::binary);
        world.seekp(150000);
        world.put('\x5a');
    }
    ASSERT_EQ(fs::file_size(Installed("data/maps/world.pak")), 300000u);
    ASSERT_TRUE(fs::remove(Installed("data/notes-copy.txt")));
    WriteTextFile(Installed("config/game.ini").wstring(), "volume=11\n");

    NewRequests();
    const RunResult heal = Update("/settings");
    EXPECT_EQ(Final(heal), 1) << Sequence(heal.statuses);
    EXPECT_EQ(NewRequests().size(), 2u) << "the manifest and the damaged chunk";
    EXPECT_GT(heal.total, 0);
    EXPECT_LT(heal.total, 300000) << "only the damaged chunk of world.pak";
    EXPECT_EQ(ReadTextFile(Installed("config/game.ini").wstring()), "volume=11\n");
    for (const char* path : {"data/maps/world.pak", "data/notes-copy.txt"}) {
        EXPECT_TRUE(ReadTextFile(Installed(path).wstring()) ==
                    ReadTextFile((DataFolder() / "releases/settings" / path).wstring()))
            << path;
    }

    const RunResult update = Update("/settings-next");
    EXPECT_EQ(Final(update), 1) << Sequence(update.statuses);
    EXPECT_EQ(ReadTextFile(Installed("config/game.ini").wstring()), "volume=11\n") << "the player's";
    EXPECT_EQ(ReadTextFile(Installed("config/keys.ini").wstring()), "jump=space\nduck=ctrl\n") << "a new default";
    NewRequests();
    const RunResult again = Update("/settings-next");
    EXPECT_EQ(Final(again), 1) << Sequence(again.statuses);
    EXPECT_EQ(again.total, 0);
    EXPECT_EQ(NewRequests().size(), 1u) << "nothing to do";
    EXPECT_EQ(ReadTextFile(Installed("config/game.ini").wstring()), "volume=11\n");

    // A release without the settings removes the default the player left
    // alone, and leaves the one the player changed.
    const RunResult dropped = Update("/settings-dropped");
    EXPECT_EQ(Final(dropped), 1) << Sequence(dropped.statuses);
    EXPECT_EQ(ReadTextFile(Installed("config/game.ini").wstring()), "volume=11\n");
    EXPECT_FALSE(fs::exists(Installed("config/keys.ini")));
}

// Files a release drops go, also where a file becomes a folder or a folder a
// file; a player's own file stays. The release also holds a file whose full
// path is over 260 characters (Wine takes such paths in any form; this
// keeps the engine's long form working end to end).
TEST_F(EngineWinServer, DroppedFilesGoAndFilesAndFoldersTradePlaces) {
    ASSERT_EQ(Final(Update("/first")), 1);
    const fs::path save = Installed("data/saves/slot1.sav");
    fs::create_directories(save.parent_path());
    WriteTextFile(save.wstring(), "the player's own");

    const RunResult run = Update("/third");
    EXPECT_EQ(Final(run), 1) << Sequence(run.statuses);
    ExpectInstalled("third");
    EXPECT_FALSE(fs::exists(Installed("data/notes-copy.txt"))) << "a dropped file";
    EXPECT_TRUE(fs::is_regular_file(Installed("data/maps")));
    EXPECT_TRUE(fs::is_directory(Installed("data/notes.txt")));
    EXPECT_EQ(ReadTextFile(save.wstring()), "the player's own");
}

// A release that renames a file by case only names the same file on
// Windows: whatever name it is left under, it is there once, with the new
// release's content; the old name is not removed as a dropped file.
TEST_F(EngineWinServer, FileRenamedByCaseOnlyStaysInPlace) {
    for (const char* release : {"greek", "greek-renamed", "greek-changed"}) {
        SCOPED_TRACE(release);
        const RunResult run = Update(std::string("/") + release);
        EXPECT_EQ(Final(run), 1) << Sequence(run.statuses);
        ExpectInstalled(release);
        std::vector<std::wstring> names;
        for (const auto& entry : fs::directory_iterator(app().Path()))
            if (entry.is_regular_file()) names.push_back(entry.path().filename().wstring());
        EXPECT_EQ(names.size(), 2u) << "velmora.exe and one name of the renamed file";
    }
}

TEST_F(EngineWinServer, FileHeldOpenMeansNothingApplied) {
    ASSERT_EQ(Final(Update("/first")), 1);
    // Listed after data/maps/world.pak, which changes too.
    HANDLE held = ::CreateFileW(Installed("data/notes.txt").wstring().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const RunResult blocked = Update("/fourth");
    ::CloseHandle(held);
    EXPECT_EQ(Final(blocked), -7) << Sequence(blocked.statuses);
    ExpectInstalled("first");

    const RunResult run = Update("/fourth");
    EXPECT_EQ(Final(run), 1) << Sequence(run.statuses);
    ExpectInstalled("fourth");
}

// A folder inside the game folder that leads elsewhere is never written,
// deleted or cleaned through: the run ends with -7 before anything moves.
TEST_F(EngineWinServer, LinksInsideTheGameFolderAreNotFollowed) {
    TestFolder elsewhere;
    WriteTextFile(elsewhere / L"keep.txt", "not the game's");
    const struct {
        const char* link;
        const char* release;
    } cases[] = {{"data", "/first"}, {"libs/staging", "/second"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        ASSERT_TRUE(MakeFolderLink(Installed(c.link).wstring(), elsewhere.Path()));
        const RunResult run = Update(c.release);
        EXPECT_EQ(Final(run), -7) << Sequence(run.statuses);
        EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere.Path()), fs::directory_iterator()), 1);
        EXPECT_EQ(ReadTextFile(elsewhere / L"keep.txt"), "not the game's");
        RemoveLink(Installed(c.link).wstring());
        // Without the link the same release installs.
        ASSERT_EQ(Final(Update(c.release)), 1);
        ExpectInstalled(c.release + 1);
    }
}

// A run from the first to the second release stopped after it moved
// world.pak (same size, new content) into place: its journal keeps the
// second release as the floor, so a stale server's first release is refused
// rather than taken as "nothing to do" on a mix, and the next run finishes.
TEST_F(EngineWinServer, InterruptedApplyIsFinishedNotMixed) {
    ASSERT_EQ(Final(Update("/first")), 1);
    WriteTextFile(libs() + L"\\gamedata.journal", ServerManifest("second"));
    ASSERT_TRUE(fs::copy_file(DataFolder() / "releases/second/data/maps/world.pak", Installed("data/maps/world.pak"),
                              fs::copy_options::overwrite_existing));

    const RunResult stale = Update("/first");
    EXPECT_EQ(Final(stale), -9) << "the server has not the packs to finish it: " << Sequence(stale.statuses);

    // A cache serving the first release's manifest beside the packs of
    // both: the journal's own manifest finishes the apply.
    const RunResult run = Update("/stale");
    EXPECT_EQ(Final(run), 1) << Sequence(run.statuses);
    ExpectInstalled("second");
    EXPECT_FALSE(fs::exists(fs::path(libs()) / "gamedata.journal"));
    EXPECT_EQ(ReadTextFile(libs() + L"\\gamedata.vel"), ServerManifest("second"));
}

// The floor outlives the local manifest, and one version means one content.
TEST_F(EngineWinServer, FloorHoldsWithoutTheLocalManifest) {
    ASSERT_EQ(Final(Update("/second")), 1);
    const RunResult resigned = Update("/resigned");
    EXPECT_EQ(Final(resigned), -9) << "the same version with other bytes: " << Sequence(resigned.statuses);
    ASSERT_TRUE(fs::remove(fs::path(libs()) / "gamedata.vel"));
    const RunResult older = Update("/first");
    EXPECT_EQ(Final(older), -9) << "below the floor: " << Sequence(older.statuses);
    ExpectInstalled("second");
}



// A studio rotating its key, seen by one player: the build's own engine
// trusts the test key only, the engine of the transition the test and the
// next key, the last engine the next key alone. Each manifest refused here
// is accepted at a later step by another engine, so the keys are the only
// reason for the refusals.
TEST_F(EngineWinServer, RotatedKeyIsTrustedWhereverTheEngineListsIt) {
    const EngineFunctions& old = Engine();
    const EngineFunctions& both = EngineIn(L"engine-test-and-next");
    const EngineFunctions& next = EngineIn(L"engine-next");
    ASSERT_NE(both.start, nullptr) << "engine-test-and-next\\comp.dll did not load";
    ASSERT_NE(next.start, nullptr) << "engine-next\\comp.dll did not load";
    ASSERT_TRUE(old.start != both.start && both.start != next.start) << "one library loaded for two engines";
    const struct {
        const char* engine;
        const EngineFunctions& functions;
        const char* folder;  // "/next-..." is signed with the next key, the others with the test key
        std::int16_t status;
        const char* installed;  // the release in place afterwards, if any
    } steps[] = {
        {"test", old, "/next-fourth", -9, nullptr},
        {"test and next", both, "/first", 1, "first"},
        {"next", next, "/second", -9, "first"},
        {"test and next", both, "/second", 1, "second"},
        // Its local manifest, signed with the test key, counts as absent;
        // the record of placed files still says what the third release
        // drops, and what stands in the way of its new folders.
        {"next", next, "/next-third", 1, "third"},
        {"test and next", both, "/next-fourth", 1, "fourth"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(std::string("engine trusting ") + step.engine + ", " + step.folder);
        const RunResult run = Update(step.folder, step.functions);
        EXPECT_EQ(Final(run), step.status) << Sequence(run.statuses);
        if (step.installed) {
            ExpectInstalled(step.installed);
            if (std::string(step.installed) == "third") {
                EXPECT_FALSE(fs::exists(Installed("data/notes-copy.txt"))) << "dropped by the third release";
            }
        } else {
            EXPECT_FALSE(fs::exists(Installed("velmora.exe")));
        }
    }
}

// A floor set by a key a later engine no longer trusts (retired, say,
// because it leaked) binds nothing for that engine: a release of the new key
// below it installs. The engine of the transition trusts both keys and takes
// the old key's release at version 100.
TEST_F(EngineWinServer, FloorOfARetiredKeyKeepsNoReleaseOfTheNewKeyOut) {
    const EngineFunctions& both = EngineIn(L"engine-test-and-next");
    const EngineFunctions& next = EngineIn(L"engine-next");
    ASSERT_NE(both.start, nullptr);
    ASSERT_NE(next.start, nullptr);
    ASSERT_EQ(Final(Update("/high", both)), 1);
    ExpectInstalled("second");
    const RunResult run = Update("/next-fourth", next);
    EXPECT_EQ(Final(run), 1) << "version 6 below the retired key's 100: " << Sequence(run.statuses);
    ExpectInstalled("fourth");
    EXPECT_EQ(ReadTextFile(libs() + L"\\gamedata.floor").substr(0, 10), "version 6\n");
}

// A copy of the second release's manifest whose signature is its other
// valid ECDSA form, (r, n - s), which anyone can make from the published
// one: refused, and the genuine manifest installs after it.
TEST_F(EngineWinServer, AlteredSignatureIsRefusedAndPinsNothing) {
    ASSERT_EQ(Final(Update("/first")), 1);
    const RunResult altered = Update("/altered-second");
    EXPECT_EQ(Final(altered), -9) << Sequence(altered.statuses);
    ExpectInstalled("first");
    const RunResult genuine = Update("/second");
    EXPECT_EQ(Final(genuine), 1) << Sequence(genuine.statuses);
    ExpectInstalled("second");
    const RunResult again = Update("/altered-second");
    EXPECT_EQ(Final(again), -9) << Sequence(again.statuses);
    EXPECT_EQ(Final(Update("/second")), 1);
}

// What an earlier engine left once it had taken that copy: the copy as the
// local manifest and a floor record of the digest of the copy's bytes. The
// record still keeps older releases out; the genuine manifest of its
// version installs, and the record is written again in the current form.
TEST_F(EngineWinServer, EarlierEnginesFloorRecordKeepsItsVersionAndLocksNothingOut) {
    ASSERT_EQ(Final(Update("/second")), 1);
    ASSERT_TRUE(fs::copy_file(DataFolder() / "server/altered-second/gamedata.vel", fs::path(libs()) / "gamedata.vel",
                              fs::copy_options::overwrite_existing));
    ASSERT_TRUE(fs::copy_file(DataFolder() / "records/altered-second.floor", fs::path(libs()) / "gamedata.floor",
                              fs::copy_options::overwrite_existing));
    const RunResult older = Update("/first");
    EXPECT_EQ(Final(older), -9) << "below the recorded version: " << Sequence(older.statuses);
    const RunResult genuine = Update("/second");
    EXPECT_EQ(Final(genuine), 1) << Sequence(genuine.statuses);
    ExpectInstalled("second");
    EXPECT_EQ(ReadTextFile(libs() + L"\\gamedata.vel"), ServerManifest("second"));
    const std::string record = ReadTextFile(libs() + L"\\gamedata.floor");
    EXPECT_TRUE(record.starts_with("version 2\nsigned-sha256 ") && record.ends_with("\nkey test\n")) << record;
}

// Manifests and servers the engine must refuse before it writes anything.
TEST_F(EngineWinServer, RefusalsEndWithTheirStatusAndWriteNothing) {
    const struct {
        const char* folder;
        std::int16_t status;
    } cases[] = {
        {"/badsig", -9},          // signature does not match
        {"/wrong-manifest", -9},  // the stored manifest is not the SHA-256 the head names
        {"/head-other-version", -9},  // the head and its manifest name other versions
        {"/expired", -9},         // past its expiry
        {"/obsolete", -8},        // min-updater above this engine
        {"/missing", -5},         // 404 for the manifest
        {"/_fault/status=503/first", -5},  // 503 for every pack
        {"/cut", -7},             // the pack shorter than signed
        {"/_fault/head-flood/first", -4},  // header lines without end for every pack
        // notes.txt: notes-copy.txt's SHA-256 with its chunks in another order
        {"/shared-swapped", -9},
        {"/named-shared-swapped", -9},
        {"/one-chunk-other-sha", -7},  // velmora.exe: its one chunk is another content
    };
    for (const auto& c : cases) {
        const RunResult run = Update(c.folder);
        EXPECT_EQ(run.startResult, 0) << c.folder;
        EXPECT_EQ(Final(run), c.status) << c.folder << ": " << Sequence(run.statuses);
        EXPECT_FALSE(fs::exists(Installed("velmora.exe"))) << c.folder;
        EXPECT_FALSE(fs::exists(fs::path(libs()) / "gamedata.vel")) << c.folder;
    }
    // The same manifest held as the local one, under a head that names it:
    // refused as when it was fetched.
    fs::create_directories(libs());
    WriteTextFile(libs() + L"\\gamedata.vel", ServerManifest("named-shared-swapped"));
    const RunResult named = Update("/named-shared-swapped");
    EXPECT_EQ(Final(named), -9) << Sequence(named.statuses);
    EXPECT_FALSE(fs::exists(Installed("velmora.exe")));
    EXPECT_EQ(ReadTextFile(libs() + L"\\gamedata.vel"), ServerManifest("named-shared-swapped"));
}

TEST_F(EngineWinServer, NoConnectionStatuses) {
    // A port nobody listens on: the server's own, plus one, is free enough
    // on loopback for a test (the server binds a random port).
    const std::string server = Environment("VELMORA_TEST_SERVER");
    const int port = std::stoi(server.substr(server.rfind(':') + 1));
    const struct {
        std::string url;
        std::int16_t status;
    } cases[] = {
        {"http://127.0.0.1:" + std::to_string(port == 65535 ? 1 : port + 1) + "/x/gamedata.vel", -2},
        {"http://no-such-host.invalid/x/gamedata.vel", -1},
    };
    for (const auto& c : cases) {
        const RunResult run = UpdateFrom(c.url);
        EXPECT_EQ(Final(run), c.status) << c.url << ": " << Sequence(run.statuses);
    }
}





// The rate floor through the real server, with a window of 1 s instead of
// the engine's 30 s: a body that trickles ends with -3 soon after a window
// of it, a whole one at full speed is not cut.
TEST_F(EngineWinServer, BodyBelowTheRateFloorEndsAsTimedOut) {
    using namespace velmora::engine;
    const std::string manifest = ServerManifest("first");
    const std::size_t line = manifest.find("\npack ");
    ASSERT_NE(line, std::string::npos);
    // "pack <sha256> <size>": the first release's one pack, of 300,000
    // bytes of world.pak and more.
    const std::string pack = manifest.substr(line + 6, 64);
    const struct {
        const char* folder;
        bool crawls;
    } cases[] = {{"/_fault/trickle=1000/first", true}, {"/first", false}};
    for (const auto& c : cases) {
        const std::optional<DataUrl> url = ParseDataUrl(ServerUrl(c.folder) + "/gamedata.vel");
        ASSERT_TRUE(url.has_value()) << c.folder;
        auto session = InternetSession::Open(*url, 1);
        ASSERT_TRUE(session) << c.folder;
        const CancelFlag cancel;
        HttpGet get(session.Value(), PackPath(*url, pack), std::nullopt, 300000, {1024, std::chrono::seconds(1)});
        ASSERT_TRUE(get.Head(cancel)) << c.folder;
        const auto started = Clock::now();
        std::uint64_t received = 0;
        std::optional<EngineError> failure;
        while (Clock::now() - started < std::chrono::seconds(5)) {  // a trickle never ends by itself
            auto piece = get.NextPiece(cancel);
            if (!piece) failure = piece.Error();
            if (!piece || piece.Value().empty()) break;
            received += piece.Value().size();
        }
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
        if (c.crawls) {
            ASSERT_TRUE(failure.has_value()) << c.folder;
            EXPECT_EQ(failure->status, EngineStatus::TimedOut) << failure->reason;
            EXPECT_LT(received, 1100u);
            EXPECT_LT(took, 3000);
        } else {
            EXPECT_FALSE(failure.has_value()) << failure->reason;
            EXPECT_EQ(received, 300000u);
        }
    }
}

// The most memory this process committed while it lived: sampled every
// 10 ms, as Wine's own peak counter is not kept as a peak.
class CommittedMemoryPeak {
public:
    CommittedMemoryPeak() : sampler_([this] {
        while (!stop_) {
            peak_ = std::max(peak_.load(), Committed());
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }) {}
    ~CommittedMemoryPeak() {
        stop_ = true;
        sampler_.join();
    }
    static std::size_t Committed() {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
        return counters.PagefileUsage;
    }
    std::size_t Peak() const { return std::max(peak_.load(), Committed()); }

private:
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> peak_{0};
    std::thread sampler_;
};

// A response head is bounded in time from sending the request (here 2 s
// instead of the engine's 15) and in size: a server that says nothing, one
// that sends a header line every half second and one that floods header
// lines all end soon, with -3 for the time and -4 for the size, and the
// flood does not grow the process.
TEST_F(EngineWinServer, ResponseHeadsAreBoundedInTimeAndSize) {
    using namespace velmora::engine;
    const std::string manifest = ServerManifest("first");
    const std::string pack = manifest.substr(manifest.find("\npack ") + 6, 64);
    const struct {
        const char* folder;
        EngineStatus status;
    } cases[] = {
        {"/_fault/silent/first", EngineStatus::TimedOut},
        {"/_fault/head-drip=5/first", EngineStatus::TimedOut},
        {"/_fault/head-flood/first", EngineStatus::ConnectionFailed},
    };
    for (const auto& c : cases) {
        const std::optional<DataUrl> url = ParseDataUrl(ServerUrl(c.folder) + "/gamedata.vel");
        ASSERT_TRUE(url.has_value()) << c.folder;
        auto session = InternetSession::Open(*url, 1);
        ASSERT_TRUE(session) << c.folder;
        const std::size_t before = CommittedMemoryPeak::Committed();
        const auto started = Clock::now();
        std::optional<EngineError> failure;
        std::size_t peak = 0;
        {
            const CommittedMemoryPeak memory;
            const CancelFlag cancel;
            HttpGet get(session.Value(), PackPath(*url, pack), std::nullopt, 300000, kTransferRateFloor,
                        std::chrono::seconds(2));
            auto head = get.Head(cancel);
            if (!head) failure = head.Error();
            peak = memory.Peak();
        }
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
        EXPECT_LT(took, 4000) << c.folder;
        constexpr std::size_t kMiB = 1 << 20;
        EXPECT_LT(peak, before + 16 * kMiB) << c.folder << ": grew by " << (peak - std::min(peak, before)) / kMiB << " MiB";
        if (!failure) {
            ADD_FAILURE() << c.folder << ": a head came";
            continue;
        }
        EXPECT_EQ(failure->status, c.status) << c.folder << ": " << failure->reason;
    }
}

// Raising the cancel flag ends a wait for a response at once: a server that
// says nothing is left within a few milliseconds of each raise, not at the
// next look at the flag. The mean of five raises evens out the scheduler.
TEST_F(EngineWinServer, CancelEndsAWaitForAResponseAtOnce) {
    using namespace velmora::engine;
    const std::string manifest = ServerManifest("first");
    const std::string pack = manifest.substr(manifest.find("\npack ") + 6, 64);
    const std::optional<DataUrl> url = ParseDataUrl(ServerUrl("/_fault/silent/first") + "/gamedata.vel");
    ASSERT_TRUE(url.has_value());
    auto session = InternetSession::Open(*url, 1);
    ASSERT_TRUE(session) << session.Error().reason;
    constexpr int kRaises = 5;
    std::chrono::microseconds late{0};
    for (int i = 0; i < kRaises; ++i) {
        CancelFlag cancel;
        HttpGet get(session.Value(), PackPath(*url, pack), std::nullopt, 300000);
        Clock::time_point raised;
        std::thread raiser([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100 + 7 * i));
            raised = Clock::now();
            cancel.Raise();
        });
        const auto head = get.Head(cancel);
        const auto left = Clock::now();
        raiser.join();
        ASSERT_FALSE(head) << "a silent server answered";
        EXPECT_TRUE(IsStop(head.Error())) << head.Error().reason;
        late += std::chrono::duration_cast<std::chrono::microseconds>(left - raised);
    }
    EXPECT_LT(late / kRaises, std::chrono::milliseconds(15));
}


TEST_F(EngineWinServer, SecondEngineOnTheSameFolderReportsMinusFive) {
    HANDLE held = ::CreateFileW((libs() + L"\\gamedata.lock").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const RunResult run = Update("/first");
    ::CloseHandle(held);
    EXPECT_EQ(Final(run), -5) << Sequence(run.statuses);
    EXPECT_FALSE(fs::exists(Installed("velmora.exe")));
}

TEST_F(EngineWinServer, CleanupStopsAStalledDownloadWithinTwoSeconds) {
    EngineStatusVariables variables;
    const std::string url = ServerUrl("/_fault/stall=20000/first") + "/gamedata.vel";
    ASSERT_EQ(Start(url.c_str(), "libs\\gamedata.vel", variables), 0);
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (LoadShared(variables.status) != 2 && LoadShared(variables.status) >= 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(LoadShared(variables.status), 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    const auto before = Clock::now();
    Engine().cleanup();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - before).count();
    EXPECT_LT(took, 2000);
    // The lock went with the run, and the game's folder has nothing new.
    EXPECT_FALSE(fs::exists(fs::path(libs()) / "gamedata.lock"));
    EXPECT_FALSE(fs::exists(Installed("velmora.exe")));
    EXPECT_FALSE(fs::exists(Installed("data")));
}

// One value under the user's registry key `subkey`, kept as it was and put
// back (or removed again, if it was not there) when the test is done.
class RegistryValueForTest {
public:
    RegistryValueForTest(const wchar_t* subkey, const wchar_t* name) : name_(name) {
        opened_ = ::RegCreateKeyExW(HKEY_CURRENT_USER, subkey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                                    nullptr, key_.put(), nullptr) == ERROR_SUCCESS;
        DWORD size = 0;
        if (!opened_ || ::RegQueryValueExW(key_.get(), name_, nullptr, &type_, nullptr, &size) != ERROR_SUCCESS)
            return;
        previous_.emplace(size, '\0');
        if (::RegQueryValueExW(key_.get(), name_, nullptr, &type_, reinterpret_cast<BYTE*>(previous_->data()),
                               &size) != ERROR_SUCCESS)
            previous_.reset();
    }
    RegistryValueForTest(const RegistryValueForTest&) = delete;
    RegistryValueForTest& operator=(const RegistryValueForTest&) = delete;
    ~RegistryValueForTest() {
        if (!opened_) return;
        if (previous_)
            ::RegSetValueExW(key_.get(), name_, 0, type_, reinterpret_cast<const BYTE*>(previous_->data()),
                             static_cast<DWORD>(previous_->size()));
        else
            ::RegDeleteValueW(key_.get(), name_);
    }

    bool Set(DWORD type, const void* data, std::size_t size) const {
        return opened_ && ::RegSetValueExW(key_.get(), name_, 0, type, static_cast<const BYTE*>(data),
                                           static_cast<DWORD>(size)) == ERROR_SUCCESS;
    }

private:
    const wchar_t* name_;
    UniqueRegistryKey key_;
    bool opened_ = false;
    DWORD type_ = REG_NONE;
    std::optional<std::string> previous_;
};

// The user's Internet settings for one test: a fixed proxy for every scheme,
// or a proxy script's URL, stored both ways Windows keeps them: the values
// Internet Options shows and the connection-settings record that WinHTTP
// reads (the only one Wine's WinHTTP reads).
class ProxySettingsForTest {
public:
    ProxySettingsForTest(const std::string& proxy, const std::string& scriptUrl) {
        const std::wstring wideProxy(proxy.begin(), proxy.end());
        const DWORD enabled = proxy.empty() ? 0 : 1;
        // The record: version, change counter, flags (direct, and a proxy
        // or a script), then the proxy, the bypass list and the script URL,
        // each as a length and its characters, and the fields after them
        // left zero.
        std::string record;
        const auto addNumber = [&record](std::uint32_t n) {
            for (int i = 0; i < 4; ++i) record.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
        };
        const auto addText = [&](const std::string& text) {
            addNumber(static_cast<std::uint32_t>(text.size()));
            record += text;
        };
        addNumber(0x46);
        addNumber(1);
        addNumber(0x1 | (proxy.empty() ? 0 : 0x2) | (scriptUrl.empty() ? 0 : 0x4));
        addText(proxy);
        addText("");
        addText(scriptUrl);
        record.append(32, '\0');
        ok_ = enable_.Set(REG_DWORD, &enabled, sizeof enabled) &&
              server_.Set(REG_SZ, wideProxy.c_str(), (wideProxy.size() + 1) * sizeof(wchar_t)) &&
              record_.Set(REG_BINARY, record.data(), record.size());
    }

    bool Ok() const { return ok_; }

private:
    static constexpr const wchar_t* kSettings = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    RegistryValueForTest enable_{kSettings, L"ProxyEnable"};
    RegistryValueForTest server_{kSettings, L"ProxyServer"};
    RegistryValueForTest record_{L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections",
                                 L"DefaultConnectionSettings"};
    bool ok_ = false;
};

// A player behind a proxy, named in the settings or by a proxy script: the
// server's name resolves only at the proxy, so the update succeeds only by
// way of it, and the proxy's log shows the engine's requests for the
// manifest and the pack.
TEST_F(EngineWinServer, PlayerBehindAProxyUpdatesThroughIt) {
    const std::string proxy = Environment("VELMORA_TEST_HTTP_PROXY");
    if (proxy.empty()) GTEST_SKIP() << "no forward proxy: " << Environment("VELMORA_TEST_NO_PROXY");
    const std::string server = Environment("VELMORA_TEST_PROXIED_SERVER");
    const fs::path proxyLog(Environment("VELMORA_TEST_PROXY_LOG"));
    const struct {
        const char* name;
        std::string proxy;
        std::string scriptUrl;
    } cases[] = {
        {"fixed proxy", proxy, ""},
        {"proxy script", "", Environment("VELMORA_TEST_PROXY_SCRIPT")},
    };
    std::size_t logLinesSeen = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StartOver();
        const ProxySettingsForTest settings(c.proxy, c.scriptUrl);
        ASSERT_TRUE(settings.Ok()) << "cannot write the proxy settings";

        const RunResult run = UpdateFrom(server + "/first/gamedata.vel");

        // The proxy logs each request line as the client sent it: absolute URIs.
        const std::vector<std::string> log = ReadLines(proxyLog.wstring());
        std::size_t manifests = 0, packs = 0;
        for (std::size_t i = std::min(logLinesSeen, log.size()); i < log.size(); ++i) {
            if (log[i].find("Request ") == std::string::npos) continue;
            if (log[i].find(": GET " + server + "/first/gamedata.vel HTTP/1.1") != std::string::npos) ++manifests;
            if (log[i].find(": GET " + server + "/first/packs/") != std::string::npos) ++packs;
        }
        logLinesSeen = log.size();
        EXPECT_EQ(manifests, 1u) << "the manifest went through the proxy";
        EXPECT_GE(packs, 1u) << "the packs went through the proxy";
        ASSERT_EQ(Final(run), 1) << Sequence(run.statuses);
        ExpectInstalled("first");
        EXPECT_EQ(ReadTextFile(libs() + L"\\gamedata.vel"), ServerManifest("first"));
    }
}

// Start refuses what it cannot work with, at once.
TEST_F(EngineWinServer, StartRefusesBadArguments) {
    EngineStatusVariables variables;
    const std::string good = ServerUrl("/first") + "/gamedata.vel";
    const struct {
        const char* url;
        const char* path;
        bool variablesGiven;
        std::int16_t result;
    } cases[] = {
        {nullptr, "libs\\gamedata.vel", true, -1},
        {good.c_str(), nullptr, true, -1},
        {good.c_str(), "libs\\gamedata.vel", false, -1},
        {"ftp://127.0.0.1/x/gamedata.vel", "libs\\gamedata.vel", true, -2},
        {"http://127.0.0.1:99999/x/gamedata.vel", "libs\\gamedata.vel", true, -2},
        {"not a url", "libs\\gamedata.vel", true, -2},
        {good.c_str(), "", true, -3},
    };
    for (const auto& c : cases) {
        const std::int16_t result = Start(c.url, c.path, variables, c.variablesGiven);
        EXPECT_EQ(result, c.result) << (c.url ? c.url : "(null)") << " " << (c.path ? c.path : "(null)");
        Engine().cleanup();
    }
    EXPECT_EQ(LoadShared(variables.status), 0) << "nothing runs after a refused start";
}

}  // namespace velmora::engine_server
