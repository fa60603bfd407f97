// The staging folder, against the local server: what an interrupted run
// built or fetched waits there for the next one, whether another program
// holds it or the disk filled up.
#include "support/engine_server_fixture.h"

namespace velmora::engine_server {

// Local trouble is not bad data: a content being built that another
// program holds (it may read and delete, not write) fails the run, and is
// kept for the next one to finish.
TEST_F(EngineWinServer, PartlyBuiltContentHeldByAnotherProgramIsKept) {
    ASSERT_EQ(Final(Update("/_fault/drop=200000/first")), -6);
    const std::vector<std::string> builds = StagingFiles();
    ASSERT_FALSE(builds.empty());
    const fs::path build = fs::path(libs()) / "staging" / builds[0];
    const std::uintmax_t size = fs::file_size(build);
    HANDLE held = ::CreateFileW(build.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const RunResult blocked = Update("/first");
    ::CloseHandle(held);
    EXPECT_EQ(Final(blocked), -7) << Sequence(blocked.statuses);
    ASSERT_TRUE(fs::exists(build)) << "what was built went";
    EXPECT_EQ(fs::file_size(build), size);

    EXPECT_EQ(Final(Update("/first")), 1);
    ExpectInstalled("first");
}

// Another program filling the disk: a file written in `folder` until no
// more than `leave` bytes are free there; deleted when this goes.
class DiskFiller {
public:
    DiskFiller(const std::wstring& folder, std::uint64_t leave) : folder_(folder), path_(folder + L"\\filler.bin") {
        UniqueFileHandle file(::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return;
        const std::vector<char> block(1 << 20, 'f');
        for (std::uint64_t available = Free(); available > leave; available = Free()) {
            const auto piece = static_cast<DWORD>(std::clamp<std::uint64_t>(available - leave, 4096, block.size()));
            DWORD written = 0;
            if (!::WriteFile(file.get(), block.data(), piece, &written, nullptr) || written != piece) break;
        }
    }
    ~DiskFiller() { ::DeleteFileW(path_.c_str()); }

    // The bytes free on the disk now.
    std::uint64_t Free() const {
        ULARGE_INTEGER available{};
        return ::GetDiskFreeSpaceExW(folder_.c_str(), &available, nullptr, nullptr) ? available.QuadPart : 0;
    }
    DiskFiller(const DiskFiller&) = delete;
    DiskFiller& operator=(const DiskFiller&) = delete;

private:
    std::wstring folder_;
    std::wstring path_;
};

// The application folder on a file system of its own, 16 MiB, mounted by
// engine_win_server.py where it may mount one; the tests fill it while a
// run goes on, as another program would.
class EngineWinServerOnSmallDisk : public EngineWinServer {
protected:
    void SetUp() override {
        if (SmallDisk().empty())
            GTEST_SKIP() << "no small file system to fill: " << Environment("VELMORA_TEST_NO_SMALL_DISK");
        EngineWinServer::SetUp();
    }
    std::wstring AppParent() const override { return SmallDisk(); }
    static std::wstring SmallDisk() {
        const std::string path = Environment("VELMORA_TEST_SMALL_DISK");
        return std::wstring(path.begin(), path.end());
    }

    // After a run that did not finish: every file of either release holds
    // its old or its new content (one only the new release lists may be
    // missing), and the local manifest is still the old release's.
    void ExpectOldOrNew(const std::string& old, const std::string& next) const {
        std::map<fs::path, std::vector<std::string>> contents;
        std::vector<fs::path> oldFiles;
        for (const std::string& release : {old, next}) {
            const fs::path root = DataFolder() / "releases" / release;
            for (const auto& entry : fs::recursive_directory_iterator(root)) {
                if (!entry.is_regular_file()) continue;
                const fs::path relative = fs::relative(entry.path(), root);
                contents[relative].push_back(ReadTextFile(entry.path().wstring()));
                if (release == old) oldFiles.push_back(relative);
            }
        }
        for (const auto& [relative, allowed] : contents) {
            const fs::path installed = fs::path(app().Path()) / relative;
            if (!fs::exists(installed)) {
                EXPECT_EQ(std::count(oldFiles.begin(), oldFiles.end(), relative), 0) << relative.string() << " is gone";
                continue;
            }
            const std::string content = ReadTextFile(installed.wstring());
            EXPECT_NE(std::find(allowed.begin(), allowed.end(), content), allowed.end())
                << relative.string() << " is neither old nor new: " << content.size() << " bytes";
        }
        EXPECT_EQ(ReadTextFile(libs() + L"\\gamedata.vel"), ServerManifest(old));
    }
};

// The disk fills up while the update downloads: the server holds its
// answer still for 2 s after the first 1,000,000 bytes, and once the engine
// has read them (and written every chunk they complete) the disk fills.
// The run ends with -7, the game is untouched, the chunks it wrote wait in
// staging, and with room again the next run fetches only the rest.
TEST_F(EngineWinServerOnSmallDisk, FullWhileDownloadingKeepsWhatCameAndTheNextRunFinishes) {
    constexpr std::int32_t kBeforePause = 1000000;
    ASSERT_EQ(Final(Update("/first")), 1);
    std::optional<DiskFiller> filler;
    const RunResult full = Update("/_fault/pause=1000000/big", Engine(), [&](std::int16_t status, std::int32_t done) {
        if (!filler && status == 4 && done >= kBeforePause) filler.emplace(SmallDisk(), 0);
    });
    ASSERT_TRUE(filler.has_value()) << "the download was not seen under way: " << Sequence(full.statuses);
    EXPECT_LT(filler->Free(), 4096u) << "the disk did not fill";
    EXPECT_EQ(Final(full), -7) << Sequence(full.statuses);
    ExpectOldOrNew("first", "big");
    ExpectInstalled("first");
    EXPECT_FALSE(StagingFiles().empty()) << "what was checked went";

    filler.reset();
    NewRequests();
    const RunResult resumed = Update("/big");
    EXPECT_EQ(Final(resumed), 1) << Sequence(resumed.statuses);
    ExpectInstalled("big");
    EXPECT_EQ(resumed.done, resumed.total);
    // All but the last chunk begun in the first 1,000,000 bytes were kept.
    EXPECT_LE(resumed.total, full.total - (kBeforePause - static_cast<std::int32_t>(engine::kMaxChunkSize)))
        << "fetched again what the run before had written";
    EXPECT_EQ(NewRequests().size(), 4u) << "the head, a delta the folder lacks, the manifest and one range";
}

// The disk fills up after the check of free space, while the run waits for
// the game to let go of a file it replaces: there is room for the floor
// record and the journal, not for the 1.5 MiB copy of the content two
// files share. Placing stops there with -7, every file is old or new, and
// with room again the next run places the rest without fetching anything.
TEST_F(EngineWinServerOnSmallDisk, FullWhilePlacingLosesNothingAndTheNextRunFinishes) {
    ASSERT_EQ(Final(Update("/first")), 1);
    UniqueFileHandle game(::CreateFileW(Installed("data/maps/world.pak").wstring().c_str(), GENERIC_READ,
                                        FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(game);
    std::optional<DiskFiller> filler;
    const RunResult full = Update("/big", Engine(), [&](std::int16_t status, std::int32_t) {
        if (filler || status != 5) return;
        filler.emplace(SmallDisk(), 64 * 1024);
        game.reset();
    });
    ASSERT_TRUE(filler.has_value()) << "the run was not seen placing: " << Sequence(full.statuses);
    EXPECT_LE(filler->Free(), 64u * 1024) << "the disk did not fill";
    EXPECT_EQ(Final(full), -7) << Sequence(full.statuses);
    ExpectOldOrNew("first", "big");
    EXPECT_TRUE(fs::exists(fs::path(libs()) / "gamedata.journal")) << "the run stopped before it placed anything";

    filler.reset();
    NewRequests();
    const RunResult next = Update("/big");
    EXPECT_EQ(Final(next), 1) << Sequence(next.statuses);
    ExpectInstalled("big");
    const std::vector<std::string> requests = NewRequests();
    ASSERT_EQ(requests.size(), 3u) << "everything was built: the head, a delta the folder lacks, the manifest";
    EXPECT_TRUE(requests[1].starts_with("/big/deltas/") && requests[1].ends_with("\t404")) << requests[1];
    EXPECT_TRUE(requests[2].starts_with("/big/manifests/")) << requests[2];
    EXPECT_FALSE(fs::exists(fs::path(libs()) / "gamedata.journal"));
}

}  // namespace velmora::engine_server
