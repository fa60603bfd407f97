#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "core/apply_plan.h"
#include "core/chunk_plan.h"
#include "core/dropped_files.h"
#include "core/known_contents.h"
#include "core/lone_digests.h"
#include "core/placed_files.h"
#include "core/stamps_seen.h"
#include "core/manifest_parse.h"
#include "core/manifest_write.h"
#include "core/update_plan.h"
#include "core/utc_time.h"
#include "engine_core_test_support.h"

namespace velmora::engine {

// A record shown as its text where a check fails.
void PrintTo(const PlacedFiles& files, std::ostream* out) { *out << PlacedFilesText(files); }

namespace {

using testing::DigestOf;

// A file of one chunk (none when empty), stored as is in pack 0; the plan
// never looks at where chunks are kept.
testing::ListedFile FileEntry(std::string path, std::uint8_t content, std::uint64_t size) {
    testing::ListedFile file{{DigestOf(content), size, std::move(path)}, {}};
    if (size > 0) file.chunks.push_back({0, 0, DigestOf(content), static_cast<std::uint32_t>(size),
                                         static_cast<std::uint32_t>(size)});
    return file;
}

Manifest PlanManifest(std::uint64_t version, std::vector<testing::ListedFile> files) {
    Manifest manifest;
    manifest.version = version;
    manifest.expires = *ParseUtcTime("2030-01-01T00:00:00Z");
    manifest.minUpdater = 1;
    manifest.packs = {{DigestOf(0xEE), kMaxFileSize}};
    for (testing::ListedFile& file : files) manifest.AddFile(std::move(file.file), file.chunks);
    return manifest;
}

// A disk described by path, size and last-write time (unknown where not
// given); counts the questions asked.
class FakeDisk : public InstalledFiles {
public:
    FakeDisk() = default;
    explicit FakeDisk(const Manifest& matching) {
        for (const auto& file : matching.files) sizes[std::string(file.path)] = file.size;
    }
    std::optional<std::uint64_t> FileSize(std::string_view path) const override {
        ++questions;
        const auto found = sizes.find(std::string(path));
        if (found == sizes.end()) return std::nullopt;
        return found->second;
    }
    std::optional<FileStamp> Stamp(std::string_view path) const override {
        ++stampQuestions;
        const auto found = sizes.find(std::string(path));
        if (found == sizes.end()) return std::nullopt;
        const auto time = times.find(found->first);
        return FileStamp{found->second, time == times.end() ? 0 : time->second};
    }
    std::map<std::string, std::uint64_t> sizes;
    std::map<std::string, std::uint64_t> times;
    mutable int questions = 0;
    mutable int stampQuestions = 0;
};

// The record of a manifest's files as placed on `disk`: each file with its
// content and the stamp the disk gives.
PlacedFiles RecordOf(const Manifest& manifest, const FakeDisk& disk) {
    PlacedFiles record;
    for (const ManifestFile& file : manifest.files)
        record.Add({file.path, file.playerFile, file.sha256, disk.Stamp(file.path).value_or(FileStamp{})});
    return record;
}

// Paths of the files the plan writes, content by content.
std::vector<std::vector<std::string>> PlannedPaths(const ContentsToBuild& contents, const Manifest& remote) {
    std::vector<std::vector<std::string>> paths;
    for (const auto& content : contents) {
        paths.emplace_back();
        for (const auto& file : contents.FilesOf(content)) paths.back().emplace_back(remote.files[file.index].path);
    }
    return paths;
}

const Manifest kVersion1 = PlanManifest(1, {FileEntry("velmora.exe", 1, 5000),
                                            FileEntry("data/world.pak", 2, 100000),
                                            FileEntry("data/sky.pak", 3, 70000)});

TEST(UpdatePlan, FreshInstallBuildsEveryContentOnce) {
    // Two files with the same content share one build.
    const Manifest remote = PlanManifest(1, {FileEntry("velmora.exe", 1, 5000),
                                             FileEntry("data/a.pak", 2, 100000),
                                             FileEntry("data/copy-of-a.pak", 2, 100000)});
    const UpdatePlan plan = PlanUpdate(nullptr, remote, FakeDisk());
    EXPECT_EQ(plan.status, EngineStatus::DownloadingClient);
    EXPECT_EQ(plan.filesUpToDate, 0u);
    const std::vector<std::vector<std::string>> expected = {{"velmora.exe"}, {"data/a.pak", "data/copy-of-a.pak"}};
    EXPECT_EQ(PlannedPaths(plan.contents, remote), expected);
    EXPECT_EQ(plan.contents[1].source, 1u);
}

TEST(UpdatePlan, ManyFilesOfSharedContentsBuildEachContentAndChunkOnce) {
    // More contents and chunks than the plans' lookups first make room for:
    // file i holds content i % 100, in one chunk of that content.
    std::vector<testing::ListedFile> files;
    for (int i = 0; i < 300; ++i)
        files.push_back(FileEntry("f" + std::to_string(i), static_cast<std::uint8_t>(i % 100), 1000 + i % 100));
    const Manifest remote = PlanManifest(1, std::move(files));
    const UpdatePlan plan = PlanUpdate(nullptr, remote, FakeDisk());
    ASSERT_EQ(plan.contents.size(), 100u);
    const NeededChunks needed = ListNeededChunks(remote, plan.contents, nullptr, FakeDisk());
    ASSERT_EQ(needed.size(), 100u);
    for (std::size_t c = 0; c < 100; ++c) {
        EXPECT_EQ(plan.contents[c].source, c);
        const std::span<const FileToWrite> written = plan.contents.FilesOf(plan.contents[c]);
        ASSERT_EQ(written.size(), 3u);
        EXPECT_EQ(written[2].index, c + 200);
        EXPECT_EQ(remote.chunks[needed.Line(c)].sha256, DigestOf(static_cast<std::uint8_t>(c)));
        EXPECT_EQ(needed.Targets(c).size(), 1u);
    }
}

TEST(UpdatePlan, IncrementalUpdateFetchesOnlyChangedAndAddedFiles) {
    const Manifest remote = PlanManifest(2, {FileEntry("velmora.exe", 1, 5000),
                                             FileEntry("data/world.pak", 4, 100100),  // changed
                                             FileEntry("data/sky.pak", 3, 70000),
                                             FileEntry("data/new.pak", 5, 900)});  // added
    const UpdatePlan plan = PlanUpdate(&kVersion1, remote, FakeDisk(kVersion1));
    EXPECT_EQ(plan.status, EngineStatus::DownloadingChanges);
    EXPECT_EQ(plan.filesUpToDate, 2u);
    const std::vector<std::vector<std::string>> expected = {{"data/world.pak"}, {"data/new.pak"}};
    EXPECT_EQ(PlannedPaths(plan.contents, remote), expected);
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
        for (const auto& paths : PlannedPaths(plan.contents, kVersion1)) planned.insert(planned.end(), paths.begin(), paths.end());
        EXPECT_EQ(planned, c.planned) << c.name;
        EXPECT_EQ(plan.filesUpToDate, kVersion1.files.size() - planned.size()) << c.name;
        if (!plan.contents.empty()) {
            EXPECT_EQ(plan.contents.Files()[0].sizeOnDiskMatches, c.sizeMatchesOnFirstPlanned) << c.name;
        }
        EXPECT_EQ(disk.questions, 3) << c.name;  // one question per listed file
    }
}

TEST(UpdatePlan, MatchesLocalEntriesWithoutRegardToAsciiCase) {
    const Manifest local = PlanManifest(1, {FileEntry("Data/World.PAK", 2, 100000)});
    const Manifest remote = PlanManifest(2, {FileEntry("data/world.pak", 2, 100000)});
    FakeDisk disk;
    disk.sizes["data/world.pak"] = 100000;
    const UpdatePlan plan = PlanUpdate(&local, remote, disk);
    EXPECT_EQ(plan.status, EngineStatus::UpToDate);
    EXPECT_EQ(plan.filesUpToDate, 1u);
}

TEST(UpdatePlan, ASharedContentIsBuiltForTheFilesThatNeedIt) {
    const Manifest remote = PlanManifest(2, {FileEntry("data/world.pak", 2, 100000),
                                             FileEntry("data/world-backup.pak", 2, 100000)});
    const Manifest local = PlanManifest(1, {FileEntry("data/world.pak", 2, 100000)});
    FakeDisk disk;
    disk.sizes["data/world.pak"] = 100000;
    const UpdatePlan plan = PlanUpdate(&local, remote, disk);
    const std::vector<std::vector<std::string>> expected = {{"data/world-backup.pak"}};
    EXPECT_EQ(PlannedPaths(plan.contents, remote), expected);
}

// The disk is asked once about each listed path, by its bytes as given
// (a path listed twice once), more paths than a small table holds; a
// missing file stays missing, and any other path is asked of the disk
// each time.
TEST(UpdatePlan, StampsSeenAnswerTheirPathsFromOneQuestionEach) {
    std::vector<testing::ListedFile> files;
    for (int i = 0; i < 40; ++i) files.push_back(FileEntry("data/f" + std::to_string(i), 1, 100 + i));
    files.push_back(FileEntry("data/f7", 1, 107));
    const Manifest listed = PlanManifest(1, std::move(files));
    FakeDisk disk(listed);
    disk.sizes.erase("data/f3");
    disk.times["data/f5"] = 1234;
    disk.sizes["DATA/F5"] = 9;
    const StampsSeen seen(listed.files, disk);
    EXPECT_EQ(disk.stampQuestions, 40);
    for (int i = 0; i < 40; ++i) {
        const std::string path = "data/f" + std::to_string(i);
        EXPECT_EQ(seen.FileSize(path), i == 3 ? std::nullopt : std::optional<std::uint64_t>(100 + i)) << path;
    }
    EXPECT_EQ(seen.Stamp("data/f5"), (FileStamp{105, 1234}));
    EXPECT_FALSE(seen.Stamp("data/f3"));
    EXPECT_EQ(disk.stampQuestions + disk.questions, 40);
    EXPECT_EQ(seen.FileSize("DATA/F5"), 9u);
    EXPECT_EQ(seen.Stamp("DATA/F5"), (FileStamp{9, 0}));
    EXPECT_FALSE(seen.FileSize("data/f40"));
    EXPECT_EQ(disk.stampQuestions + disk.questions, 43);
}

// How long this takes is measured by tools/measure (the run with nothing to
// do), not here: a shared machine makes any time limit in a test flaky.
TEST(UpdatePlan, TenThousandUnchangedFilesAreAllUpToDate) {
    std::vector<testing::ListedFile> files;
    std::uint64_t stored = 0;  // each chunk after the one before in the pack
    for (int i = 0; i < 10000; ++i) {
        testing::ListedFile file = FileEntry("data/folder" + std::to_string(i % 100) + "/file" + std::to_string(i) + ".pak",
                                      0, 1000 + static_cast<std::uint64_t>(i));
        file.file.sha256[0] = file.chunks[0].sha256[0] = static_cast<std::uint8_t>(i);
        file.file.sha256[1] = file.chunks[0].sha256[1] = static_cast<std::uint8_t>(i >> 8);
        file.chunks[0].SetPlace(0, stored);
        stored += file.file.size;
        files.push_back(std::move(file));
    }
    const std::string text = WithSignature(ManifestBody(PlanManifest(3, std::move(files))), {});
    const FakeDisk disk(testing::ParseAnySigned(text).Value().manifest);

    // What the engine does when nothing changed: read both manifests, plan.
    const auto local = testing::ParseAnySigned(text);
    const auto remote = testing::ParseAnySigned(text);
    ASSERT_TRUE(local && remote);
    const UpdatePlan plan = PlanUpdate(&local.Value().manifest, remote.Value().manifest, disk);

    EXPECT_EQ(plan.status, EngineStatus::UpToDate);
    EXPECT_EQ(plan.filesUpToDate, 10000u);
}

}  // namespace
}  // namespace velmora::engine

namespace velmora::engine {
namespace {

// What the staging folder must have room for before anything is fetched.
TEST(UpdatePlan, StagingRoomCountsEachContentAndTheLargestCopy) {
    Manifest remote;
    remote.files = {{DigestOf(1), 1000, "a"}, {DigestOf(2), 5000, "b"}};
    const struct {
        const char* name;
        std::vector<std::pair<std::uint32_t, std::size_t>> contents;  // source file, files written
        std::uint64_t present;
        std::uint64_t needed;
    } cases[] = {
        {"nothing", {}, 0, 0},
        {"one content", {{0, 1}}, 0, 1000},
        {"partly there from an earlier run", {{0, 1}}, 400, 600},
        {"shared by three files: one copy at a time", {{0, 3}, {1, 2}}, 0, 6000 + 5000},
    };
    for (const auto& c : cases) {
        ContentsToBuild contents;
        for (const auto& [source, files] : c.contents) {
            const std::uint32_t content = contents.AddContent(source);
            for (std::size_t f = 0; f < files; ++f) contents.AddFile(content, {});
        }
        contents.Group();
        EXPECT_EQ(StagingBytesNeeded(remote, contents, c.present), c.needed) << c.name;
    }
}

// Chunks come once each, from the install where an old file holds them,
// and the rest in as few requests as sense allows.
TEST(ChunkPlan, EachChunkOnceFromTheInstallOrInJoinedRanges) {
    const auto chunk = [](std::uint8_t content, std::uint32_t pack, std::uint64_t offset, std::uint32_t size) {
        return ManifestChunk{pack, offset, DigestOf(content), size, size};
    };
    const auto file = [](std::string path, std::vector<ManifestChunk> chunks) {
        testing::ListedFile f{{DigestOf(static_cast<std::uint8_t>(chunks.size() * 31 + path.size())), 0,
                               std::move(path)},
                              std::move(chunks)};
        for (const ManifestChunk& c : f.chunks) f.file.size += c.size;
        return f;
    };
    constexpr std::uint32_t k = 64 * 1024;
    Manifest local = PlanManifest(1, {file("big.pak", {chunk(1, 0, 0, k), chunk(2, 0, k, k), chunk(3, 0, 2 * k, k)})});
    // The new big.pak keeps chunks 1 and 3, gets 4 in the middle and chunk 1
    // again at its end; other.pak holds 5 and 6, stored apart in pack 1.
    Manifest remote = PlanManifest(2, {file("big.pak", {chunk(1, 0, 0, k), chunk(4, 1, 0, k), chunk(3, 0, 2 * k, k),
                                                        chunk(1, 0, 0, k)}),
                                       file("other.pak", {chunk(5, 1, k, k), chunk(6, 1, 9 * k, k)}),
                                       file("third", {chunk(3, 0, 2 * k, k), chunk(1, 0, 0, k)})});
    remote.packs.push_back({DigestOf(0xEF), kMaxFileSize});
    FakeDisk disk(local);
    const UpdatePlan plan = PlanUpdate(&local, remote, disk);
    ASSERT_EQ(plan.contents.size(), 3u);
    const NeededChunks needed = ListNeededChunks(remote, plan.contents, &local, disk);

    ASSERT_EQ(needed.size(), 5u);  // 1, 4, 3, 5, 6
    // Each chunk's places in list order, those of 1 and 3 found interleaved.
    ASSERT_EQ(needed.Targets(0).size(), 3u);
    EXPECT_EQ(needed.Targets(0)[1].offset, 3u * k);
    EXPECT_EQ(needed.Targets(0)[2].content, 2u);
    EXPECT_EQ(needed.Targets(0)[2].offset, k);
    EXPECT_EQ(needed.Targets(1).size(), 1u);
    ASSERT_EQ(needed.Targets(2).size(), 2u);
    EXPECT_EQ(needed.Targets(2)[0].offset, 2u * k);
    EXPECT_EQ(needed.Targets(2)[1].content, 2u);
    EXPECT_EQ(needed.Targets(2)[1].offset, 0u);
    EXPECT_EQ(needed.TargetCount(), 8u);
    ASSERT_TRUE(needed.Installed(0) && needed.Installed(2));
    EXPECT_EQ(needed.Installed(2)->offset, 2u * k);
    EXPECT_FALSE(needed.Installed(1) || needed.Installed(3) || needed.Installed(4));
    // A local manifest kept as chunk keys only, and a release read lean,
    // give the same chunks and find the same copies.
    Manifest keysOnly = local;
    keysOnly.KeepOnlyChunkKeys();
    ASSERT_FALSE(keysOnly.HoldsChunks());
    const Manifest leanRemote = testing::LeanCopy(remote);
    const NeededChunks fromKeys = ListNeededChunks(leanRemote, plan.contents, &keysOnly, disk);
    ASSERT_EQ(fromKeys.size(), needed.size());
    for (std::size_t i = 0; i < needed.size(); ++i) {
        EXPECT_EQ(fromKeys.Line(i), needed.Line(i)) << i;
        EXPECT_EQ(fromKeys.Targets(i).size(), needed.Targets(i).size()) << i;
        ASSERT_EQ(fromKeys.Installed(i).has_value(), needed.Installed(i).has_value()) << i;
        if (needed.Installed(i)) {
            EXPECT_EQ(fromKeys.Installed(i)->offset, needed.Installed(i)->offset) << i;
        }
    }
    // With the old file gone (or another size), nothing comes from it.
    FakeDisk empty;
    const NeededChunks without = ListNeededChunks(remote, plan.contents, &local, empty);
    for (std::size_t i = 0; i < without.size(); ++i) EXPECT_FALSE(without.Installed(i));

    // 4 and 5 are neighbours in pack 1 and share a request; 6 lies 7 chunks
    // beyond, too far to bridge.
    const std::vector<PackRange> ranges = JoinIntoRanges(needed, {4, 3, 1});
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0].pack, 1u);
    EXPECT_EQ(ranges[0].begin, 0u);
    EXPECT_EQ(ranges[0].end, 2u * k);
    EXPECT_EQ(ranges[0].chunks, (std::vector<std::uint32_t>{1, 3}));
    EXPECT_EQ(ranges[1].begin, 9u * k);
    EXPECT_EQ(RangeBytes(ranges), 3u * k);
}

// Digests spread over all their bytes, as SHA-256 gives them.
Sha256Digest SpreadDigest(std::uint64_t seed) {
    Sha256Digest digest;
    for (std::size_t b = 0; b < digest.size(); b += 8) {
        std::uint64_t x = (seed + b) * 0x9E3779B97F4A7C15ull;
        x = (x ^ (x >> 31)) * 0xBF58476D1CE4E5B9ull;
        x ^= x >> 29;
        std::memcpy(digest.data() + b, &x, 8);
    }
    return digest;
}

// Among thousands of contents and chunks, mostly distinct, the few a
// digest shares with another are told from the lone ones: each distinct
// content is built once for all its files, and each distinct chunk is
// numbered once, in list order, with every place it goes, as plain maps by
// digest number them.
TEST(ChunkPlan, ThousandsOfChunksMostlyDistinctAreEachNumberedOnce) {
    std::vector<testing::ListedFile> files;
    std::map<Sha256Digest, std::vector<std::uint32_t>> filesOfContent;
    for (std::uint64_t f = 0; f < 400; ++f) {
        testing::ListedFile file{{SpreadDigest(1'000'000 + f), 0, "f" + std::to_string(f)}, {}};
        for (std::uint64_t k = 0; k < 10; ++k) {
            // Every 97th line repeats a chunk of an earlier or the same file.
            const std::uint64_t line = f * 10 + k;
            const std::uint64_t seed = line % 97 == 96 ? line - 6 : line;
            file.chunks.push_back({0, 0, SpreadDigest(seed), 100 + static_cast<std::uint32_t>(seed % 50), 100});
            file.file.size += file.chunks.back().size;
        }
        // Every 41st file has the content of one listed before.
        if (f % 41 == 40) {
            file.file.sha256 = files[f - 3].file.sha256;
            file.chunks = files[f - 3].chunks;
            file.file.size = files[f - 3].file.size;
        }
        filesOfContent[file.file.sha256].push_back(static_cast<std::uint32_t>(f));
        files.push_back(std::move(file));
    }
    testing::PackFor(files);  // one place a digest: a lean release numbers chunks by place
    const Manifest remote = PlanManifest(1, std::move(files));
    const UpdatePlan plan = PlanUpdate(nullptr, remote, FakeDisk());
    ASSERT_EQ(plan.contents.size(), filesOfContent.size());
    for (const ContentToBuild& content : plan.contents) {
        std::vector<std::uint32_t> written;
        for (const FileToWrite& file : plan.contents.FilesOf(content)) written.push_back(file.index);
        EXPECT_EQ(written, filesOfContent[remote.files[content.source].sha256]) << content.source;
    }
    std::map<Sha256Digest, std::size_t> numbers;
    std::vector<std::vector<std::pair<std::size_t, std::uint64_t>>> places;
    std::vector<std::size_t> firstLine;
    for (std::size_t c = 0; c < plan.contents.size(); ++c) {
        const ManifestFile& file = remote.files[plan.contents[c].source];
        std::uint64_t offset = 0;
        for (std::size_t at = file.firstChunk; at < file.firstChunk + file.chunkCount; ++at) {
            const auto [found, added] = numbers.try_emplace(remote.chunks[at].sha256, numbers.size());
            if (added) {
                places.emplace_back();
                firstLine.push_back(at);
            }
            places[found->second].push_back({c, offset});
            offset += remote.chunks[at].size;
        }
    }
    ASSERT_LT(numbers.size(), 4000u);
    const Manifest lean = testing::LeanCopy(remote);
    for (const Manifest* release : {&remote, &lean}) {
        const NeededChunks needed = ListNeededChunks(*release, plan.contents, nullptr, FakeDisk());
        ASSERT_EQ(needed.size(), numbers.size());
        for (std::size_t i = 0; i < needed.size(); ++i) {
            EXPECT_EQ(needed.Line(i), firstLine[i]) << i;
            const ChunkTargets targets = needed.Targets(i);
            ASSERT_EQ(targets.size(), places[i].size()) << i;
            for (std::size_t t = 0; t < targets.size(); ++t) {
                EXPECT_EQ(targets[t].content, places[i][t].first) << i;
                EXPECT_EQ(targets[t].offset, places[i][t].second) << i;
            }
        }
    }

    // Of distinct digests few share a bucket; a digest counted twice never
    // passes for lone.
    LoneDigests lone(numbers.size() + 1);
    for (const auto& [digest, number] : numbers) lone.Count(digest);
    EXPECT_LT(lone.SharedCount(), numbers.size() / 4);
    const Sha256Digest twin = SpreadDigest(5);
    lone.Count(twin);
    EXPECT_FALSE(lone.Lone(twin));
}

// The compact records give back the largest content, file and offset
// numbers whole, each chunk's places in the order they were added however
// the chunks' additions interleave, a distinct number for every place, and
// the copy of each chunk that has one, whatever order they were set in.
TEST(ChunkPlan, ChunkRecordsReadBackWhatWasAdded) {
    NeededChunks needed;
    constexpr std::size_t kLast = IndexAndOffset::kIndexLimit - 1;
    constexpr std::uint64_t kFar = kMaxFileSize - 1;
    for (std::size_t i = 0; i < 4; ++i) needed.Add(3 - i, {kLast - i, kFar - i});
    needed.AddTarget(2, {7, std::uint64_t{5} << 32});
    needed.AddTarget(0, {1, 1});
    needed.AddTarget(2, {kLast, 3});
    needed.AddTarget(0, {2, 2});
    needed.SetInstalled(3, {kLast, kFar});
    needed.SetInstalled(1, {0, std::uint64_t{1} << 32});
    needed.Seal();

    const std::vector<std::vector<ChunkTarget>> places = {
        {{kLast, kFar}, {1, 1}, {2, 2}},
        {{kLast - 1, kFar - 1}},
        {{kLast - 2, kFar - 2}, {7, std::uint64_t{5} << 32}, {kLast, 3}},
        {{kLast - 3, kFar - 3}}};
    std::set<std::size_t> numbers;
    for (std::size_t i = 0; i < places.size(); ++i) {
        EXPECT_EQ(needed.Line(i), 3 - i);
        const ChunkTargets targets = needed.Targets(i);
        ASSERT_EQ(targets.size(), places[i].size()) << i;
        for (std::size_t t = 0; t < targets.size(); ++t) {
            EXPECT_EQ(targets[t].content, places[i][t].content) << i << "," << t;
            EXPECT_EQ(targets[t].offset, places[i][t].offset) << i << "," << t;
            numbers.insert(needed.TargetNumber(i, t));
        }
    }
    EXPECT_EQ(numbers.size(), needed.TargetCount());
    EXPECT_EQ(*numbers.rbegin(), needed.TargetCount() - 1);
    EXPECT_FALSE(needed.Installed(0) || needed.Installed(2));
    ASSERT_TRUE(needed.Installed(1) && needed.Installed(3));
    EXPECT_EQ(needed.Installed(1)->file, 0u);
    EXPECT_EQ(needed.Installed(1)->offset, std::uint64_t{1} << 32);
    EXPECT_EQ(needed.Installed(3)->file, kLast);
    EXPECT_EQ(needed.Installed(3)->offset, kFar);
}

// A gap up to kMaxRangeGap is fetched rather than asked for apart; no range
// grows beyond kMaxRangeBytes, and chunks of another pack never join. The
// chunks asked for in any order make the same ranges.
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
    for (std::uint64_t at = 0; at < 300 * 1000; at += 1000) add(3, at, 1000);  // one range of many chunks
    Manifest release;
    release.chunks = stored;
    NeededChunks needed(&release);
    std::vector<std::uint32_t> all;
    for (std::size_t i = 0; i < stored.size(); ++i) all.push_back(static_cast<std::uint32_t>(needed.Add(i, {})));
    needed.Seal();
    const std::vector<PackRange> ranges = JoinIntoRanges(needed, all);
    ASSERT_EQ(ranges.size(), 6u);
    EXPECT_EQ(ranges[0].chunks.size(), 2u);
    EXPECT_EQ(ranges[1].begin, 2000 + 2 * kMaxRangeGap + 1);
    EXPECT_EQ(ranges[2].pack, 1u);
    EXPECT_EQ(ranges[3].end - ranges[3].begin, kMaxRangeBytes);
    EXPECT_EQ(ranges[4].chunks.size(), 1u);
    EXPECT_EQ(ranges[5].chunks.size(), 300u);
    // Out of order throughout, and in order but for a few chunks of a later
    // pack listed early and the last listed first.
    std::vector<std::uint32_t> shuffled(all.rbegin(), all.rend());
    std::rotate(shuffled.begin(), shuffled.begin() + 3, shuffled.end());
    std::vector<std::uint32_t> fewAstray = all;
    std::rotate(fewAstray.begin() + 1, fewAstray.begin() + 21, fewAstray.begin() + 50);
    std::rotate(fewAstray.begin(), fewAstray.end() - 1, fewAstray.end());
    for (const std::vector<std::uint32_t>& order : {shuffled, fewAstray}) {
        const std::vector<PackRange> again = JoinIntoRanges(needed, order);
        ASSERT_EQ(again.size(), ranges.size());
        for (std::size_t r = 0; r < ranges.size(); ++r) {
            EXPECT_EQ(again[r].pack, ranges[r].pack) << r;
            EXPECT_EQ(again[r].begin, ranges[r].begin) << r;
            EXPECT_EQ(again[r].chunks, ranges[r].chunks) << r;
        }
    }
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
    Manifest release;
    release.chunks = {first, second};
    NeededChunks needed(&release);
    needed.Add(0, {});
    needed.Add(1, {});
    needed.Seal();
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
        std::vector<testing::ListedFile> files;
        std::uint8_t content = 1;
        for (const char* path : paths) files.push_back(FileEntry(path, content++, 10));
        return PlanManifest(version, files);
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
        const auto viewsOf = [](const std::vector<std::string>& paths) {
            return std::vector<std::string_view>(paths.begin(), paths.end());
        };
        const DroppedFiles dropped = FindDroppedFiles(viewsOf(PathsOf(local)), next);
        EXPECT_EQ(dropped.inTheWay, c.inTheWay) << c.name;
        EXPECT_EQ(dropped.afterwards, c.afterwards) << c.name;
        const DroppedFiles fresh = FindDroppedFiles({}, next);
        EXPECT_TRUE(fresh.inTheWay.empty() && fresh.afterwards.empty()) << c.name;
        // The record of placed files, read back, finds the same.
        const auto record = ParsePlacedFiles(PlacedFilesText(RecordOf(local, FakeDisk(local))));
        ASSERT_TRUE(record) << c.name;
        const DroppedFiles recorded = FindDroppedFiles(viewsOf(PathsOf(*record)), next);
        EXPECT_EQ(recorded.inTheWay, c.inTheWay) << c.name;
        EXPECT_EQ(recorded.afterwards, c.afterwards) << c.name;
    }
}

// The record read from its text given in pieces of `size` bytes.
std::optional<PlacedFiles> ReadInPieces(std::string_view text, std::size_t size) {
    return ReadPlacedFiles([&](const TextPieces& take) -> Result<void> {
        for (std::size_t at = 0; at < text.size(); at += size)
            if (auto taken = take(text.substr(at, size)); !taken) return taken;
        return {};
    });
}

// A record that is not whole and sound removes nothing: none of it is used.
// A record of the first form (paths alone) still serves.
TEST(PlacedFilesRecord, DamagedRecordsAreRefusedWhole) {
    const std::string sha = " " + std::string(64, 'a') + " ";
    const struct {
        const char* name;
        std::string text;
        bool accepted;
    } cases[] = {
        {"empty record", "VELPLACED 2\n", true},
        {"a file and a player's file",
         "VELPLACED 2\nfile" + sha + "5000 133700000000000000 velmora.exe\nplayer-file" + sha + "12 0 a/b.ini\n", true},
        {"a content not known", "VELPLACED 2\nfile - 0 0 data/old.pak\n", true},
        {"paths alone", "VELPLACED 1\nvelmora.exe\ndata/a.txt\n", true},
        {"no first line", "velmora.exe\n", false},
        {"another format", "VELPLACED 3\n", false},
        {"a path alone in the second form", "VELPLACED 2\nvelmora.exe\n", false},
        {"another kind", "VELPLACED 2\nfolder" + sha + "1 1 x\n", false},
        {"a short SHA-256", "VELPLACED 2\nfile " + std::string(63, 'a') + " 1 1 x\n", false},
        {"a stamp without a content", "VELPLACED 2\nfile - 5 7 x\n", false},
        {"a size in words", "VELPLACED 2\nfile" + sha + "five 7 x\n", false},
        {"no path", "VELPLACED 2\nfile" + sha + "5 7\n", false},
        {"cut short", "VELPLACED 1\nvelmora.exe\ndata/a", false},
        {"cut short in the second form", "VELPLACED 2\nfile" + sha + "5 7 x", false},
        {"a path out of the game folder", "VELPLACED 1\nvelmora.exe\n../saves/slot1.sav\n", false},
        {"the updater's records", "VELPLACED 2\nfile" + sha + "5 7 libs/gamedata.vel\n", false},
        {"an empty line", "VELPLACED 1\n\nvelmora.exe\n", false},
    };
    for (const auto& c : cases) {
        const std::optional<PlacedFiles> whole = ParsePlacedFiles(c.text);
        EXPECT_EQ(whole.has_value(), c.accepted) << c.name;
        EXPECT_EQ(ReadInPieces(c.text, 1), whole) << c.name;
        EXPECT_EQ(ReadInPieces(c.text, 7), whole) << c.name;
    }
    // What was placed so far: the record's paths, then the local
    // manifest's it lacks (names compared as Windows compares them); of
    // them, those a release no longer lists.
    const Manifest local = PlanManifest(1, {FileEntry("b.TXT", 1, 1), FileEntry("c.txt", 2, 1), FileEntry("A.TXT", 3, 1)});
    const PlacedFiles record = {{"a.txt", false, std::nullopt, {}}, {"B.txt", false, std::nullopt, {}}};
    const KnownContents known(&record, &local, nullptr);
    const Manifest none = PlanManifest(2, {});
    EXPECT_EQ(known.PlacedPathsGoneFrom(none), (std::vector<std::string_view>{"a.txt", "B.txt", "c.txt"}));
    const Manifest keepsTwo = PlanManifest(2, {FileEntry("C.txt", 2, 1), FileEntry("A.txt", 3, 1)});
    EXPECT_EQ(known.PlacedPathsGoneFrom(keepsTwo), (std::vector<std::string_view>{"B.txt"}));
    // Together, more paths than any of them lists: each still found.
    PlacedFiles recordApart;
    std::vector<testing::ListedFile> localApart, journalApart;
    for (int i = 0; i < 50; ++i) {
        recordApart.Add({"r" + std::to_string(i), false, DigestOf(1), {}});
        localApart.push_back(FileEntry("l" + std::to_string(i), 2, 1));
        journalApart.push_back(FileEntry("j" + std::to_string(i), 3, 1));
        // Every other path of the record again, last first, with a content of its own.
        if (i % 2 == 1) journalApart.push_back(FileEntry("R" + std::to_string(49 - i), 4, 1));
    }
    const Manifest localMany = PlanManifest(1, localApart), journalMany = PlanManifest(2, journalApart);
    const KnownContents apart(&recordApart, &localMany, &journalMany);
    EXPECT_EQ(apart.PlacedPathsGoneFrom(none).size(), 150u);
    for (int i = 0; i < 50; i += 7) {
        const std::vector<Sha256Digest> recorded = {DigestOf(1)}, again = {DigestOf(1), DigestOf(4)};
        EXPECT_EQ(apart.Placed("R" + std::to_string(i)), i % 2 == 0 ? again : recorded) << i;
        EXPECT_EQ(apart.Placed("L" + std::to_string(i)), std::vector<Sha256Digest>{DigestOf(2)}) << i;
        EXPECT_EQ(apart.Placed("J" + std::to_string(i)), std::vector<Sha256Digest>{DigestOf(3)}) << i;
    }
    // Where they list the same path, each content counts once, in the
    // order they became known, and the player's kind from any of them; a
    // damaged record's second line of a path says nothing more.
    const PlacedFiles recordShared = {{"a.ini", false, DigestOf(1), {}}, {"A.INI", true, DigestOf(9), {}},
                                      {"b.ini", false, std::nullopt, {}}, {"c.ini", false, DigestOf(1), {}}};
    Manifest localShared = PlanManifest(1, {FileEntry("A.ini", 2, 1), FileEntry("B.ini", 1, 1),
                                            FileEntry("c.ini", 1, 1), FileEntry("d.ini", 3, 1)});
    localShared.files[2].playerFile = true;
    const Manifest journalShared = PlanManifest(2, {FileEntry("a.INI", 1, 1), FileEntry("b.INI", 3, 1),
                                                    FileEntry("D.ini", 4, 1), FileEntry("d.INI", 3, 1)});
    const KnownContents shared(&recordShared, &localShared, &journalShared);
    EXPECT_EQ(shared.Placed("a.ini"), (std::vector<Sha256Digest>{DigestOf(1), DigestOf(2)}));
    EXPECT_EQ(shared.Placed("b.ini"), (std::vector<Sha256Digest>{DigestOf(1), DigestOf(3)}));
    EXPECT_EQ(shared.Placed("C.ini"), std::vector<Sha256Digest>{DigestOf(1)});
    EXPECT_EQ(shared.Placed("d.ini"), (std::vector<Sha256Digest>{DigestOf(3), DigestOf(4)}));
    EXPECT_EQ(std::vector<bool>({shared.IsPlayerFile("a.ini"), shared.IsPlayerFile("b.ini"),
                                 shared.IsPlayerFile("c.ini"), shared.IsPlayerFile("d.ini")}),
              std::vector<bool>({false, false, true, false}));
    EXPECT_EQ(shared.Recorded("A.ini"), (PlacedFile{"a.ini", false, DigestOf(1), {}}));
    EXPECT_FALSE(shared.Recorded("d.ini"));
    EXPECT_EQ(shared.PlacedPathsGoneFrom(none), (std::vector<std::string_view>{"a.ini", "b.ini", "c.ini", "d.ini"}));
    const PlacedFiles files = {{"velmora.exe", false, DigestOf(1), {5000, UINT64_MAX}},
                               {"config/game.ini", true, DigestOf(2), {}},
                               {"data/old.pak", false, std::nullopt, {}}};
    EXPECT_EQ(ParsePlacedFiles(PlacedFilesText(files)), files);
    // A record written in many pieces reads back the same, whole or in
    // pieces that split its lines anywhere; a reading that fails midway
    // keeps nothing of it.
    PlacedFiles many;
    for (int i = 0; i < 3000; ++i) {
        const std::string path = "data/set" + std::to_string(i % 7) + "/file" + std::to_string(i);
        many.Add({path, i % 5 == 0, DigestOf(static_cast<std::uint8_t>(i)), {1000u + i, 133700000000000000u + i}});
    }
    std::string text;
    int pieces = 0;
    const auto written = WritePlacedFiles(many, [&](std::string_view piece) {
        text += piece;
        ++pieces;
        return Result<void>();
    });
    ASSERT_TRUE(written);
    EXPECT_GT(pieces, 2) << "written in pieces";
    EXPECT_EQ(text, PlacedFilesText(many));
    EXPECT_EQ(ParsePlacedFiles(text), many);
    EXPECT_EQ(ReadInPieces(text, 7), many);
    // Read beside the manifest it repeats, the record takes the path and
    // content of each file alike the manifest's at the same index from
    // there, and reads the same: files that differ in a byte of the path,
    // the content, the kind or the size, and those past the manifest's end,
    // are its own, whether the record starts alike or not.
    for (const bool startsAlike : {true, false}) {
        std::vector<ManifestFile> listed;
        std::vector<bool> alike;
        for (std::size_t i = 0; i < 2900; ++i) {
            const PlacedFile file = many[i];
            listed.push_back({*file.sha256, file.stamp.size, std::string(file.path), 0, 0, file.playerFile});
            alike.push_back((i % 100 == 0 || i % 100 > 4) && (i > 0 || startsAlike));
        }
        for (std::size_t i = 1; i < 2900; i += 100) listed[i].path = "D" + std::string(listed[i].path.View().substr(1));
        for (std::size_t i = 2; i < 2900; i += 100) listed[i].sha256[5] ^= 1;
        for (std::size_t i = 3; i < 2900; i += 100) listed[i].playerFile = !listed[i].playerFile;
        for (std::size_t i = 4; i < 2900; i += 100) ++listed[i].size;
        if (!startsAlike) listed[0].path = listed[0].path + "x";
        const std::optional<PlacedFiles> shared = ParsePlacedFiles(text, listed);
        ASSERT_TRUE(shared);
        EXPECT_EQ(*shared, many) << startsAlike;
        std::vector<bool> taken;
        for (std::size_t i = 0; i < 2900; ++i) taken.push_back(shared->Path(i).data() == listed[i].path.View().data());
        EXPECT_EQ(taken, alike) << startsAlike;
    }
    // The second reading gives whole lines, then fails.
    int readings = 0;
    const auto failsSecondTime = [&](const TextPieces& take) -> Result<void> {
        if (++readings < 2) return take(text);
        if (auto taken = take(text.substr(0, text.find('\n', text.size() / 2) + 1)); !taken) return taken;
        return InvalidFormat("cannot read");
    };
    EXPECT_FALSE(ReadPlacedFiles(failsSecondTime));
}

// A disk whose files have distinct last-write times, as the record of
// placed files saw them.
FakeDisk StampedDisk(const Manifest& manifest) {
    FakeDisk disk(manifest);
    std::uint64_t time = 133700000000000000;
    for (const ManifestFile& file : manifest.files) disk.times[std::string(file.path)] = ++time;
    return disk;
}

// A file is read only where the record of placed files cannot vouch for
// it: its stamp is not the recorded one (damaged or edited, even at the
// same size), or there is no such record (then every file of the right
// size is hashed once), or an apply was interrupted.
TEST(ApplyPlan, TheRecordDecidesWhichFilesAreHashed) {
    const std::uint64_t unknown = 0;
    const struct {
        const char* name;
        std::map<std::string, std::uint64_t> times;  // replaces the stamped disk's
        std::map<std::string, std::uint64_t> sizes;  // UINT64_MAX: the file is gone
        int record;                                  // 2, 1 (paths alone) or 0 (none)
        bool journal;
        std::vector<std::string> planned;
        std::vector<bool> hashedFirst;
        bool recordStays;  // with what is planned found in place
    } cases[] = {
        {"nothing changed", {}, {}, 2, false, {}, {}, true},
        {"damaged at the same size", {{"data/world.pak", 1}}, {}, 2, false, {"data/world.pak"}, {true}, false},
        {"deleted", {}, {{"data/sky.pak", UINT64_MAX}}, 2, false, {"data/sky.pak"}, {false}, false},
        {"cut short", {{"velmora.exe", 1}}, {{"velmora.exe", 10}}, 2, false, {"velmora.exe"}, {false}, false},
        {"a time the disk does not give", {{"velmora.exe", unknown}}, {}, 2, false, {"velmora.exe"}, {true}, false},
        {"a record of paths alone", {}, {}, 1, false, PathsOf(kVersion1), {true, true, true}, false},
        {"no record yet", {}, {}, 0, false, PathsOf(kVersion1), {true, true, true}, false},
        {"an interrupted apply", {}, {}, 2, true, PathsOf(kVersion1), {true, true, true}, true},
    };
    for (const auto& c : cases) {
        FakeDisk disk = StampedDisk(kVersion1);
        const std::string record = c.record == 2 ? PlacedFilesText(RecordOf(kVersion1, disk))
                                   : c.record == 1 ? "VELPLACED 1\nvelmora.exe\ndata/world.pak\ndata/sky.pak\n"
                                                   : "";
        for (const auto& [path, time] : c.times) disk.times[path] = time;
        for (const auto& [path, size] : c.sizes) {
            if (size == UINT64_MAX)
                disk.sizes.erase(path);
            else
                disk.sizes[path] = size;
        }
        const ApplyInputs inputs{&kVersion1, &kVersion1, c.journal ? &kVersion1 : nullptr, false};
        const PlacedFiles placed = ParsePlacedFiles(record, kVersion1.files).value_or(PlacedFiles());
        disk.stampQuestions = 0;
        ApplyPlan plan = PlanApply(inputs, KnownContents(&placed, inputs.local, inputs.journal), disk);
        EXPECT_EQ(disk.questions + disk.stampQuestions, 3) << c.name << ": one question per file";
        std::vector<std::string> planned;
        std::vector<bool> hashedFirst;
        for (const FileToWrite& file : plan.contents.Files()) {
            planned.emplace_back(kVersion1.files[file.index].path);
            hashedFirst.push_back(file.sizeOnDiskMatches);
        }
        EXPECT_EQ(planned, c.planned) << c.name;
        EXPECT_EQ(hashedFirst, c.hashedFirst) << c.name;
        plan.contents = {};  // as when the hashes find each file in place
        EXPECT_EQ(RecordStays(plan, kVersion1, {}), c.recordStays) << c.name;
    }
}

// A file of the player's is installed where it is missing, replaced only
// while it holds a content the engine put there, and otherwise kept; so is
// one the engine never placed.
TEST(PlayerFiles, KeptWhereThePlayerChangedThem) {
    const Sha256Digest oldDefault = DigestOf(0x10), newDefault = DigestOf(0x20), edited = DigestOf(0x30),
                       stopped = DigestOf(0x40);
    const std::optional<Sha256Digest> none;
    const struct {
        const char* name;
        std::optional<Sha256Digest> recorded, local, journal, onDisk;
        PlayerFileChoice choice;
    } cases[] = {
        {"missing", oldDefault, oldDefault, none, none, PlayerFileChoice::Place},
        {"already the new default", oldDefault, oldDefault, none, newDefault, PlayerFileChoice::InPlace},
        {"the old default, untouched", oldDefault, oldDefault, none, oldDefault, PlayerFileChoice::Place},
        {"edited", oldDefault, oldDefault, none, edited, PlayerFileChoice::Keep},
        {"untouched, from before the record", none, oldDefault, none, oldDefault, PlayerFileChoice::Place},
        {"edited, from before the record", none, oldDefault, none, edited, PlayerFileChoice::Keep},
        {"never placed by the engine", none, none, none, edited, PlayerFileChoice::Keep},
        {"placed by a stopped run", oldDefault, oldDefault, stopped, stopped, PlayerFileChoice::Place},
    };
    const std::string path = "config/game.ini";
    const auto manifestOf = [&](const std::optional<Sha256Digest>& sha) {
        Manifest manifest = PlanManifest(1, {FileEntry(path, 0, 10)});
        manifest.files[0].sha256 = sha.value_or(Sha256Digest{});
        manifest.files[0].playerFile = true;
        return manifest;
    };
    for (const auto& c : cases) {
        PlacedFiles record;
        if (c.recorded) record.Add({path, true, c.recorded, {10, 5}});
        const Manifest local = manifestOf(c.local), journal = manifestOf(c.journal);
        const KnownContents known(&record, c.local ? &local : nullptr, c.journal ? &journal : nullptr);
        EXPECT_EQ(ChoosePlayerFile(c.onDisk, newDefault, known.Placed("CONFIG/game.ini")), c.choice) << c.name;
        EXPECT_EQ(known.IsPlayerFile(path), c.recorded || c.local || c.journal) << c.name;
    }

    // Once the release is in place, a kept file is recorded with what the
    // engine placed there and no stamp (hashed again next time); the others
    // with the stamps the disk gives.
    Manifest release = PlanManifest(2, {FileEntry(path, 0x20, 10), FileEntry("velmora.exe", 1, 5000)});
    release.files[0].playerFile = true;
    const FakeDisk disk = StampedDisk(release);
    const PlacedFiles record = {{path, true, oldDefault, {10, 5}}};
    const KnownContents known(&record, nullptr, nullptr);
    PlacedFiles after;
    PlacedAfterRelease(release, known, disk, {true, false}, [&](const PlacedFile& file) { after.Add(file); });
    const PlacedFiles expected = {{path, true, oldDefault, {}},
                                  {"velmora.exe", false, DigestOf(1), *disk.Stamp("velmora.exe")}};
    EXPECT_EQ(after, expected);
    KnownContents next(&after, &release, nullptr);
    next.CheckStamps(disk);
    EXPECT_TRUE(next.RecordIsRelease(release, {true, false})) << "kept again: nothing to write";
    EXPECT_FALSE(next.RecordIsRelease(release, {false, false})) << "the kept file was replaced";
}

// The records a run writes around its moves, and the status it ends with.
TEST(ApplyPlan, RecordsAreWrittenWhereTheReleaseChangesThem) {
    const Manifest first = PlanManifest(1, {FileEntry("velmora.exe", 1, 5000), FileEntry("data/old.pak", 2, 100)});
    const Manifest second = PlanManifest(2, {FileEntry("velmora.exe", 1, 5000), FileEntry("data/new.pak", 3, 100)});
    Manifest renewed = first;  // the same files, a higher version
    renewed.version = 3;
    Manifest updater = PlanManifest(4, {FileEntry("VELUpdater.exe", 4, 700), FileEntry("data/new.pak", 3, 100)});
    const std::string firstRecord = PlacedFilesText(RecordOf(first, StampedDisk(first)));
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
        {"a new version of the same files", &renewed, &first, firstRecord, false, false, false, false, false, true,
         EngineStatus::UpToDate},
        {"a file changed, one dropped", &second, &first, firstRecord, false, true, true, true, true, true,
         EngineStatus::UpToDate},
        {"for a newer updater: its own files", &updater, &first, firstRecord, true, true, false, true, false, false,
         EngineStatus::UpdaterObsolete},
    };
    for (const auto& c : cases) {
        const ApplyInputs inputs{c.release, c.local, nullptr, c.updaterFilesOnly};
        const PlacedFiles placed = ParsePlacedFiles(c.placedText).value_or(PlacedFiles());
        const FakeDisk disk = StampedDisk(*c.local);
        const ApplyPlan plan = PlanApply(inputs, KnownContents(&placed, c.local, nullptr), disk);
        EXPECT_FALSE(plan.endsAt) << c.name;
        const RecordSteps steps = PlanRecordSteps(plan, inputs, RecordStays(plan, *c.release, {}), c.release == c.local);
        EXPECT_EQ(steps.movesFiles, c.moves) << c.name;
        EXPECT_EQ(steps.writesJournal, c.journal) << c.name;
        EXPECT_EQ(steps.placedBeforeMoves.has_value(), c.placedBefore) << c.name;
        EXPECT_EQ(steps.placedAfterMoves, c.placedAfter) << c.name;
        EXPECT_EQ(steps.writesLocalManifest, c.localManifest) << c.name;
        EXPECT_EQ(steps.saves, c.moves || c.placedAfter || c.localManifest) << c.name;
        EXPECT_EQ(steps.endStatus, c.end) << c.name;
        if (c.placedBefore) {
            // Until the dropped files are gone, the record lists them and
            // every file the run may place.
            std::string text;
            ASSERT_TRUE(plan.known.WriteWhileMoving(*c.release, *steps.placedBeforeMoves, [&](std::string_view piece) {
                text += piece;
                return Result<void>();
            }));
            const auto before = ParsePlacedFiles(text);
            ASSERT_TRUE(before) << c.name;
            const std::vector<std::string> paths = PathsOf(*before);
            for (const auto* manifest : {c.local, c.updaterFilesOnly ? nullptr : c.release}) {
                if (!manifest) continue;
                for (const ManifestFile& file : manifest->files) {
                    EXPECT_NE(std::find(paths.begin(), paths.end(), file.path), paths.end())
                        << c.name << ": " << file.path.View();
                }
            }
        }
    }
    // A release for a newer updater whose own files are all in place ends
    // at once.
    const Manifest sameUpdater = PlanManifest(5, {FileEntry("VELUpdater.exe", 4, 700)});
    const FakeDisk disk = StampedDisk(sameUpdater);
    const PlacedFiles placed = RecordOf(sameUpdater, disk);
    EXPECT_EQ(PlanApply({&sameUpdater, &sameUpdater, nullptr, true}, KnownContents(&placed, &sameUpdater, nullptr), disk)
                  .endsAt,
              EngineStatus::UpdaterObsolete);
    // Only the updater's own files of each content are kept, and only the
    // contents left with any, each with its own files.
    const Manifest mixed = PlanManifest(6, {FileEntry("data/a.pak", 3, 100), FileEntry("VELUpdater.exe", 4, 700),
                                            FileEntry("data/b.pak", 4, 700), FileEntry("libs/comp.dll", 5, 300),
                                            FileEntry("libs/mscomctl.ocx", 5, 300)});
    const ApplyPlan updaterOnly = PlanApply({&mixed, nullptr, nullptr, true}, KnownContents(nullptr, nullptr, nullptr), FakeDisk());
    const std::vector<std::vector<std::string>> kept = {{"VELUpdater.exe"}, {"libs/comp.dll", "libs/mscomctl.ocx"}};
    EXPECT_EQ(PlannedPaths(updaterOnly.contents, mixed), kept);
    EXPECT_EQ(updaterOnly.contents[0].source, 1u);
}

}  // namespace
}  // namespace velmora::engine
