#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "core/apply_plan.h"
#include "core/chunk_plan.h"
#include "core/dropped_files.h"
#include "core/placed_files.h"
#include "core/manifest_parse.h"
#include "core/manifest_write.h"
#include "core/update_plan.h"
#include "core/utc_time.h"
#include "engine_core_test_support.h"

namespace velmora::engine {
namespace {

using testing::DigestOf;

// A file of one chunk (none when empty), stored as is in pack 0; the plan
// never looks at where chunks are kept.
ManifestFile FileEntry(std::string path, std::uint8_t content, std::uint64_t size) {
    ManifestFile file{DigestOf(content), size, std::move(path), {}};
    if (size > 0) file.chunks.push_back({0, 0, DigestOf(content), static_cast<std::uint32_t>(size),
                                         static_cast<std::uint32_t>(size)});
    return file;
}

Manifest ManifestWith(std::uint64_t version, std::vector<ManifestFile> files) {
    Manifest manifest;
    manifest.version = version;
    manifest.expires = *ParseUtcTime("2030-01-01T00:00:00Z");
    manifest.minUpdater = 1;
    manifest.packs = {{DigestOf(0xEE), kMaxFileSize}};
    manifest.files = std::move(files);
    return manifest;
}

// A disk described by path and size; counts the questions asked.
class FakeDisk : public InstalledFiles {
public:
    FakeDisk() = default;
    explicit FakeDisk(const Manifest& matching) {
        for (const auto& file : matching.files) sizes[file.path] = file.size;
    }
    std::optional<std::uint64_t> FileSize(std::string_view path) const override {
        ++questions;
        const auto found = sizes.find(std::string(path));
        if (found == sizes.end()) return std::nullopt;
        return found->second;
    }
    std::map<std::string, std::uint64_t> sizes;
    mutable int questions = 0;
};

// Paths of the files the plan writes, content by content.
std::vector<std::vector<std::string>> PlannedPaths(const UpdatePlan& plan, const Manifest& remote) {
    std::vector<std::vector<std::string>> paths;
    for (const auto& content : plan.contents) {
        paths.emplace_back();
        for (const auto& file : content.files) paths.back().push_back(remote.files[file.index].path);
    }
    return paths;
}

const Manifest kVersion1 = ManifestWith(1, {FileEntry("velmora.exe", 1, 5000),
                                            FileEntry("data/world.pak", 2, 100000),
                                            FileEntry("data/sky.pak", 3, 70000)});

TEST(UpdatePlan, FreshInstallBuildsEveryContentOnce) {
    // Two files with the same content share one build.
    const Manifest remote = ManifestWith(1, {FileEntry("velmora.exe", 1, 5000),
                                             FileEntry("data/a.pak", 2, 100000),
                                             FileEntry("data/copy-of-a.pak", 2, 100000)});
    const UpdatePlan plan = PlanUpdate(nullptr, remote, FakeDisk());
    EXPECT_EQ(plan.status, EngineStatus::DownloadingClient);
    EXPECT_EQ(plan.filesUpToDate, 0u);
    const std::vector<std::vector<std::string>> expected = {{"velmora.exe"}, {"data/a.pak", "data/copy-of-a.pak"}};
    EXPECT_EQ(PlannedPaths(plan, remote), expected);
    EXPECT_EQ(plan.contents[1].source, 1u);
    EXPECT_EQ(plan.contents[1].sha256, remote.files[1].sha256);
    EXPECT_EQ(plan.contents[1].size, 100000u);
}

TEST(UpdatePlan, ManyFilesOfSharedContentsBuildEachContentAndChunkOnce) {
    // More contents and chunks than the plans' lookups first make room for:
    // file i holds content i % 100, in one chunk of that content.
    std::vector<ManifestFile> files;
    for (int i = 0; i < 300; ++i)
        files.push_back(FileEntry("f" + std::to_string(i), static_cast<std::uint8_t>(i % 100), 1000 + i % 100));
    const Manifest remote = ManifestWith(1, std::move(files));
    const UpdatePlan plan = PlanUpdate(nullptr, remote, FakeDisk());
    ASSERT_EQ(plan.contents.size(), 100u);
    const std::vector<NeededChunk> needed = ListNeededChunks(remote, plan.contents, nullptr, FakeDisk());
    ASSERT_EQ(needed.size(), 100u);
    for (std::size_t c = 0; c < 100; ++c) {
        EXPECT_EQ(plan.contents[c].source, c);
        ASSERT_EQ(plan.contents[c].files.size(), 3u);
        EXPECT_EQ(plan.contents[c].files[2].index, c + 200);
        EXPECT_EQ(needed[c].stored->sha256, DigestOf(static_cast<std::uint8_t>(c)));
        EXPECT_EQ(needed[c].targets.size(), 1u);
    }
}

TEST(UpdatePlan, IncrementalUpdateFetchesOnlyChangedAndAddedFiles) {
    const Manifest remote = ManifestWith(2, {FileEntry("velmora.exe", 1, 5000),
                                             FileEntry("data/world.pak", 4, 100100),  // changed
                                             FileEntry("data/sky.pak", 3, 70000),
                                             FileEntry("data/new.pak", 5, 900)});  // added
    const UpdatePlan plan = PlanUpdate(&kVersion1, remote, FakeDisk(kVersion1));
    EXPECT_EQ(plan.status, EngineStatus::DownloadingChanges);
    EXPECT_EQ(plan.filesUpToDate, 2u);
    const std::vector<std::vector<std::string>> expected = {{"data/world.pak"}, {"data/new.pak"}};
    EXPECT_EQ(PlannedPaths(plan, remote), expected);
}

TEST(UpdatePlan, DecidesEachFileFromManifestAndDisk) {
    const struct {
        const char* name;
        bool withLocal;
        std::map<std::string, std::uint64_t> disk;  // replaces the matching disk's entries
        std::vector<std::string> planned;           // paths needing their object
        bool sizeMatchesOnFirstPlanned;
        EngineStatus status;
    } cases[] = {
        {"nothing to do", true, {}, {}, false, EngineStatus::UpToDate},
        {"a file missing on disk", true, {{"data/sky.pak", UINT64_MAX}}, {"data/sky.pak"}, false,
         EngineStatus::DownloadingChanges},
        {"a wrong size on disk", true, {{"velmora.exe", 4999}}, {"velmora.exe"}, false,
         EngineStatus::DownloadingChanges},
        {"no local manifest, files already there", false, {}, {"velmora.exe", "data/world.pak", "data/sky.pak"},
         true, EngineStatus::DownloadingClient},
    };
    for (const auto& c : cases) {
        FakeDisk disk(kVersion1);
        for (const auto& [path, size] : c.disk) {
            if (size == UINT64_MAX)
                disk.sizes.erase(path);
            else
                disk.sizes[path] = size;
        }
        const UpdatePlan plan = PlanUpdate(c.withLocal ? &kVersion1 : nullptr, kVersion1, disk);
        EXPECT_EQ(plan.status, c.status) << c.name;
        std::vector<std::string> planned;
        for (const auto& paths : PlannedPaths(plan, kVersion1)) planned.insert(planned.end(), paths.begin(), paths.end());
        EXPECT_EQ(planned, c.planned) << c.name;
        EXPECT_EQ(plan.filesUpToDate, kVersion1.files.size() - planned.size()) << c.name;
        if (!plan.contents.empty()) {
            EXPECT_EQ(plan.contents[0].files[0].sizeOnDiskMatches, c.sizeMatchesOnFirstPlanned) << c.name;
        }
        EXPECT_EQ(disk.questions, 3) << c.name;  // one question per listed file
    }
}

TEST(UpdatePlan, MatchesLocalEntriesWithoutRegardToAsciiCase) {
    const Manifest local = ManifestWith(1, {FileEntry("Data/World.PAK", 2, 100000)});
    const Manifest remote = ManifestWith(2, {FileEntry("data/world.pak", 2, 100000)});
    FakeDisk disk;
    disk.sizes["data/world.pak"] = 100000;
    const UpdatePlan plan = PlanUpdate(&local, remote, disk);
    EXPECT_EQ(plan.status, EngineStatus::UpToDate);
    EXPECT_EQ(plan.filesUpToDate, 1u);
}

TEST(UpdatePlan, ASharedContentIsBuiltForTheFilesThatNeedIt) {
    const Manifest remote = ManifestWith(2, {FileEntry("data/world.pak", 2, 100000),
                                             FileEntry("data/world-backup.pak", 2, 100000)});
    const Manifest local = ManifestWith(1, {FileEntry("data/world.pak", 2, 100000)});
    FakeDisk disk;
    disk.sizes["data/world.pak"] = 100000;
    const UpdatePlan plan = PlanUpdate(&local, remote, disk);
    const std::vector<std::vector<std::string>> expected = {{"data/world-backup.pak"}};
    EXPECT_EQ(PlannedPaths(plan, remote), expected);
}

TEST(UpdatePlan, TenThousandUnchangedFilesTakeWellUnderASecond) {
    std::vector<ManifestFile> files;
    std::uint64_t stored = 0;  // each chunk after the one before in the pack
    for (int i = 0; i < 10000; ++i) {
        ManifestFile file = FileEntry("data/folder" + std::to_string(i % 100) + "/file" + std::to_string(i) + ".pak",
                                      0, 1000 + static_cast<std::uint64_t>(i));
        file.sha256[0] = file.chunks[0].sha256[0] = static_cast<std::uint8_t>(i);
        file.sha256[1] = file.chunks[0].sha256[1] = static_cast<std::uint8_t>(i >> 8);
        file.chunks[0].offset = stored;
        stored += file.size;
        files.push_back(std::move(file));
    }
    const std::string text = WithSignature(ManifestBody(ManifestWith(3, std::move(files))), {});
    const FakeDisk disk(testing::ParseAnySigned(text).Value().manifest);

    // What the engine does when nothing changed: read both manifests, plan.
    const auto start = std::chrono::steady_clock::now();
    const auto local = testing::ParseAnySigned(text);
    const auto remote = testing::ParseAnySigned(text);
    ASSERT_TRUE(local && remote);
    const UpdatePlan plan = PlanUpdate(&local.Value().manifest, remote.Value().manifest, disk);
    const auto elapsed = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(plan.status, EngineStatus::UpToDate);
    EXPECT_EQ(plan.filesUpToDate, 10000u);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    RecordProperty("milliseconds", static_cast<int>(ms));
    std::printf("10,000 unchanged files: two parses and a plan in %lld ms\n", static_cast<long long>(ms));
    EXPECT_LT(ms, 1000);
}

}  // namespace
}  // namespace velmora::engine

namespace velmora::engine {
namespace {

// What the staging folder must have room for before anything is fetched.
TEST(UpdatePlan, StagingRoomCountsEachContentAndTheLargestCopy) {
    const auto content = [](std::uint64_t size, std::size_t files) {
        ContentToBuild c{0, {}, size, {}};
        c.files.resize(files);
        return c;
    };
    const struct {
        const char* name;
        std::vector<ContentToBuild> contents;
        std::uint64_t present;
        std::uint64_t needed;
    } cases[] = {
        {"nothing", {}, 0, 0},
        {"one content", {content(1000, 1)}, 0, 1000},
        {"partly there from an earlier run", {content(1000, 1)}, 400, 600},
        {"shared by three files: one copy at a time", {content(1000, 3), content(5000, 2)}, 0, 6000 + 5000},
    };
    for (const auto& c : cases) EXPECT_EQ(StagingBytesNeeded(c.contents, c.present), c.needed) << c.name;
}

// Chunks come once each, from the install where an old file holds them,
// and the rest in as few requests as sense allows.
TEST(ChunkPlan, EachChunkOnceFromTheInstallOrInJoinedRanges) {
    const auto chunk = [](std::uint8_t content, std::uint32_t pack, std::uint64_t offset, std::uint32_t size) {
        return ManifestChunk{pack, offset, DigestOf(content), size, size};
    };
    const auto file = [](std::string path, std::vector<ManifestChunk> chunks) {
        ManifestFile f{DigestOf(static_cast<std::uint8_t>(chunks.size() * 31 + path.size())), 0, std::move(path),
                       std::move(chunks)};
        for (const ManifestChunk& c : f.chunks) f.size += c.size;
        return f;
    };
    constexpr std::uint32_t k = 64 * 1024;
    Manifest local = ManifestWith(1, {file("big.pak", {chunk(1, 0, 0, k), chunk(2, 0, k, k), chunk(3, 0, 2 * k, k)})});
    // The new big.pak keeps chunks 1 and 3, gets 4 in the middle and chunk 1
    // again at its end; other.pak holds 5 and 6, stored apart in pack 1.
    Manifest remote = ManifestWith(2, {file("big.pak", {chunk(1, 0, 0, k), chunk(4, 1, 0, k), chunk(3, 0, 2 * k, k),
                                                        chunk(1, 0, 0, k)}),
                                       file("other.pak", {chunk(5, 1, k, k), chunk(6, 1, 9 * k, k)})});
    remote.packs.push_back({DigestOf(0xEF), kMaxFileSize});
    FakeDisk disk(local);
    const UpdatePlan plan = PlanUpdate(&local, remote, disk);
    ASSERT_EQ(plan.contents.size(), 2u);
    const std::vector<NeededChunk> needed = ListNeededChunks(remote, plan.contents, &local, disk);

    ASSERT_EQ(needed.size(), 5u);  // 1, 4, 3, 5, 6
    EXPECT_EQ(needed[0].targets.size(), 2u);
    EXPECT_EQ(needed[0].targets[1].offset, 3u * k);
    ASSERT_TRUE(needed[0].installed && needed[2].installed);
    EXPECT_EQ(needed[2].installed->offset, 2u * k);
    EXPECT_FALSE(needed[1].installed || needed[3].installed || needed[4].installed);
    // With the old file gone (or another size), nothing comes from it.
    FakeDisk empty;
    for (const NeededChunk& n : ListNeededChunks(remote, plan.contents, &local, empty)) EXPECT_FALSE(n.installed);

    // 4 and 5 are neighbours in pack 1 and share a request; 6 lies 7 chunks
    // beyond, too far to bridge.
    const std::vector<PackRange> ranges = JoinIntoRanges(needed, {4, 3, 1});
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0].pack, 1u);
    EXPECT_EQ(ranges[0].begin, 0u);
    EXPECT_EQ(ranges[0].end, 2u * k);
    EXPECT_EQ(ranges[0].chunks, (std::vector<std::size_t>{1, 3}));
    EXPECT_EQ(ranges[1].begin, 9u * k);
    EXPECT_EQ(RangeBytes(ranges), 3u * k);
}

// A gap up to kMaxRangeGap is fetched rather than asked for apart; no range
// grows beyond kMaxRangeBytes, and chunks of another pack never join.
TEST(ChunkPlan, RangesBridgeSmallGapsUpToTheirLimit) {
    std::vector<ManifestChunk> stored;
    const auto add = [&](std::uint32_t pack, std::uint64_t offset, std::uint32_t size) {
        stored.push_back({pack, offset, DigestOf(static_cast<std::uint8_t>(stored.size())), size, size});
    };
    add(0, 0, 1000);
    add(0, 1000 + kMaxRangeGap, 1000);              // the largest gap bridged
    add(0, 2000 + 2 * kMaxRangeGap + 1, 1000);      // one byte too far
    add(1, 0, 1000);                                // another pack
    for (std::uint64_t at = 0; at < kMaxRangeBytes + kMaxChunkSize; at += kMaxChunkSize) add(2, at, kMaxChunkSize);
    std::vector<NeededChunk> needed;
    std::vector<std::size_t> all;
    for (const ManifestChunk& chunk : stored) {
        all.push_back(needed.size());
        needed.push_back({&chunk, {}, std::nullopt});
    }
    const std::vector<PackRange> ranges = JoinIntoRanges(needed, all);
    ASSERT_EQ(ranges.size(), 5u);
    EXPECT_EQ(ranges[0].chunks.size(), 2u);
    EXPECT_EQ(ranges[1].begin, 2000 + 2 * kMaxRangeGap + 1);
    EXPECT_EQ(ranges[2].pack, 1u);
    EXPECT_EQ(ranges[3].end - ranges[3].begin, kMaxRangeBytes);
    EXPECT_EQ(ranges[4].chunks.size(), 1u);
}

// A whole pack read from its start serves its ranges as it goes by; the
// bytes around them grow the run's total. Ranges that run backwards (from
// chunks whose stored bytes overlap, which the manifest rules refuse) end
// with a status rather than a total wrapped below zero.
TEST(ChunkPlan, AWholePackServesItsRangesFrontToBackOnly) {
    const auto range = [](std::uint64_t begin, std::uint64_t end) { return PackRange{0, begin, end, {}}; };
    const std::vector<PackRange> apart = {range(100, 200), range(300, 400), range(400, 450), range(1000, 1100)};
    const auto around = BytesAroundRanges(apart, {0, 1, 2, 3});
    ASSERT_TRUE(around) << around.Error().reason;
    EXPECT_EQ(around.Value(), 100u + 100 + 0 + 550);
    EXPECT_EQ(BytesAroundRanges(apart, {2, 3}).Value(), 400u + 550);

    EXPECT_FALSE(BytesAroundRanges(apart, {1, 0})) << "out of order";
    // Overlapping stored chunks become ranges that overlap.
    const ManifestChunk first{0, 0, DigestOf(1), 100, 100}, second{0, 50, DigestOf(2), 100, 100};
    const std::vector<NeededChunk> needed = {{&first, {}, std::nullopt}, {&second, {}, std::nullopt}};
    const std::vector<PackRange> overlapping = JoinIntoRanges(needed, {0, 1});
    ASSERT_EQ(overlapping.size(), 2u);
    const auto refused = BytesAroundRanges(overlapping, {0, 1});
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.Error().status, EngineStatus::InvalidFormat);
}

// Only files a manifest of ours listed are ever dropped; those that stand
// where the new release puts a folder or a file go before it is placed.
TEST(DroppedFiles, ListedBeforeAndNoLongerListed) {
    const auto manifest = [](std::uint64_t version, const std::vector<const char*>& paths) {
        std::vector<ManifestFile> files;
        std::uint8_t content = 1;
        for (const char* path : paths) files.push_back(FileEntry(path, content++, 10));
        return ManifestWith(version, files);
    };
    const struct {
        const char* name;
        std::vector<const char*> before, after;
        std::vector<std::string> inTheWay, afterwards;
    } cases[] = {
        {"a file dropped", {"velmora.exe", "a.txt"}, {"velmora.exe"}, {}, {"a.txt"}},
        {"case changed only", {"README.TXT"}, {"readme.txt"}, {}, {}},
        {"a file became a folder", {"data/x", "data/z"}, {"data/x/y.txt", "data/z"}, {"data/x"}, {}},
        {"a folder became a file", {"data/x/y.txt", "data/x/w/v.txt", "data/q.txt"}, {"data/x"},
         {"data/x/y.txt", "data/x/w/v.txt"}, {"data/q.txt"}},
    };
    for (const auto& c : cases) {
        const Manifest local = manifest(1, c.before);
        const Manifest next = manifest(2, c.after);
        const DroppedFiles dropped = FindDroppedFiles(PathsOf(local), next);
        EXPECT_EQ(dropped.inTheWay, c.inTheWay) << c.name;
        EXPECT_EQ(dropped.afterwards, c.afterwards) << c.name;
        const DroppedFiles fresh = FindDroppedFiles(std::vector<std::string>(), next);
        EXPECT_TRUE(fresh.inTheWay.empty() && fresh.afterwards.empty()) << c.name;
        // The record of placed files, read back, finds the same.
        const auto record = ParsePlacedFiles(PlacedFilesText(PathsOf(local)));
        ASSERT_TRUE(record) << c.name;
        const DroppedFiles recorded = FindDroppedFiles(*record, next);
        EXPECT_EQ(recorded.inTheWay, c.inTheWay) << c.name;
        EXPECT_EQ(recorded.afterwards, c.afterwards) << c.name;
    }
}

// A record that is not whole and sound removes nothing: none of it is used.
TEST(PlacedFilesRecord, DamagedRecordsAreRefusedWhole) {
    const struct {
        const char* name;
        std::string text;
        bool accepted;
    } cases[] = {
        {"empty record", "VELPLACED 1\n", true},
        {"two paths", "VELPLACED 1\nvelmora.exe\ndata/a.txt\n", true},
        {"no first line", "velmora.exe\n", false},
        {"another format", "VELPLACED 2\nvelmora.exe\n", false},
        {"cut short", "VELPLACED 1\nvelmora.exe\ndata/a", false},
        {"a path out of the game folder", "VELPLACED 1\nvelmora.exe\n../saves/slot1.sav\n", false},
        {"the updater's records", "VELPLACED 1\nlibs/gamedata.vel\n", false},
        {"an empty line", "VELPLACED 1\n\nvelmora.exe\n", false},
    };
    for (const auto& c : cases) EXPECT_EQ(ParsePlacedFiles(c.text).has_value(), c.accepted) << c.name;
    EXPECT_EQ(UnionOfPaths({{"a.txt", "B.txt"}, {"b.TXT", "c.txt", "A.TXT"}}),
              (std::vector<std::string>{"a.txt", "B.txt", "c.txt"}));
}

// The records a run writes around its moves, and the status it ends with.
TEST(ApplyPlan, RecordsAreWrittenWhereTheReleaseChangesThem) {
    const Manifest first = ManifestWith(1, {FileEntry("velmora.exe", 1, 5000), FileEntry("data/old.pak", 2, 100)});
    const Manifest second = ManifestWith(2, {FileEntry("velmora.exe", 1, 5000), FileEntry("data/new.pak", 3, 100)});
    const Manifest renewed = ManifestWith(3, first.files);  // the same files, a higher version
    Manifest updater = ManifestWith(4, {FileEntry("VELUpdater.exe", 4, 700), FileEntry("data/new.pak", 3, 100)});
    const std::string firstRecord = PlacedFilesText(PathsOf(first));
    const struct {
        const char* name;
        const Manifest* release;
        const Manifest* local;  // and on the disk
        std::string placedText;
        bool updaterFilesOnly;
        bool moves, journal, placedBefore, placedAfter, localManifest;
        EngineStatus end;
    } cases[] = {
        {"nothing to do", &first, &first, firstRecord, false, false, false, false, false, false, EngineStatus::UpToDate},
        {"nothing to do, no record yet", &first, &first, "", false, false, false, false, true, false,
         EngineStatus::UpToDate},
        {"a new version of the same files", &renewed, &first, firstRecord, false, false, false, false, false, true,
         EngineStatus::UpToDate},
        {"a file changed, one dropped", &second, &first, firstRecord, false, true, true, true, true, true,
         EngineStatus::UpToDate},
        {"for a newer updater: its own files", &updater, &first, firstRecord, true, true, false, true, false, false,
         EngineStatus::UpdaterObsolete},
    };
    for (const auto& c : cases) {
        const ApplyInputs inputs{c.release, c.local, nullptr, ParsePlacedFiles(c.placedText).value_or(
                                                                  std::vector<std::string>()),
                                 c.updaterFilesOnly};
        const FakeDisk disk(*c.local);
        const ApplyPlan plan = PlanApply(inputs, disk);
        EXPECT_FALSE(plan.endsAt) << c.name;
        const RecordSteps steps = PlanRecordSteps(plan, inputs, c.placedText, c.release == c.local);
        EXPECT_EQ(steps.movesFiles, c.moves) << c.name;
        EXPECT_EQ(steps.writesJournal, c.journal) << c.name;
        EXPECT_EQ(steps.placedBeforeMoves.has_value(), c.placedBefore) << c.name;
        EXPECT_EQ(steps.placedAfterMoves.has_value(), c.placedAfter) << c.name;
        EXPECT_EQ(steps.writesLocalManifest, c.localManifest) << c.name;
        EXPECT_EQ(steps.saves, c.moves || c.placedAfter || c.localManifest) << c.name;
        EXPECT_EQ(steps.endStatus, c.end) << c.name;
        if (c.placedBefore) {
            // Until the dropped files are gone, the record lists them and
            // every file the run may place.
            const auto before = ParsePlacedFiles(*steps.placedBeforeMoves);
            ASSERT_TRUE(before) << c.name;
            for (const auto* manifest : {c.local, c.updaterFilesOnly ? nullptr : c.release}) {
                if (!manifest) continue;
                for (const ManifestFile& file : manifest->files) {
                    EXPECT_NE(std::find(before->begin(), before->end(), file.path), before->end())
                        << c.name << ": " << file.path;
                }
            }
        }
        if (c.placedAfter) {
            EXPECT_EQ(*steps.placedAfterMoves, PlacedFilesText(PathsOf(*c.release))) << c.name;
        }
    }
    // A release for a newer updater whose own files are all in place ends
    // at once.
    const Manifest sameUpdater = ManifestWith(5, {FileEntry("VELUpdater.exe", 4, 700)});
    const FakeDisk disk(sameUpdater);
    EXPECT_EQ(PlanApply({&sameUpdater, &sameUpdater, nullptr, {}, true}, disk).endsAt, EngineStatus::UpdaterObsolete);
}

}  // namespace
}  // namespace velmora::engine
