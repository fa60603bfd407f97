// The engine's file work under Windows: chunks made into checked content
// (with the unpacking cap), putting files in place (old or new, never half),
// the local manifest, and the folder lock.
#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <string>
#include <thread>

#include "core/hex.h"
#include "core/manifest_parse.h"
#include "core/manifest_write.h"
#include "win/chunk_check_win.h"
#include "win/chunk_digests_win.h"
#include "win/engine_records_win.h"
#include "win/file_ops_win.h"
#include "win/folder_lock_win.h"
#include "win/game_folder_win.h"
#include "win/local_manifest_win.h"
#include "win/local_reading_win.h"
#include "win/sha256_win.h"
#include "win/updater_switch_win.h"
#include "support/test_folder.h"
#include "../unit/zlib_compress.h"

namespace velmora::engine {
namespace {

using velmora::testing::ReadTextFile;
using velmora::testing::TestFolder;
using velmora::testing::WriteTextFile;

Sha256Digest DigestOf(const std::string& content) {
    Sha256 hash;
    EXPECT_TRUE(hash.Update({reinterpret_cast<const std::uint8_t*>(content.data()), content.size()}));
    return hash.Finish().Value();
}

using testing::Compressed;

std::string ReadShared(const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(cannot open)";
    std::string content;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
    ::CloseHandle(file);
    return content;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A chunk's stored bytes, as a pack holds them, become its content only
// when they are (or unpack to) exactly the signed chunk.
TEST(EngineWinFiles, StoredChunkBecomesContentOnlyWhenItIsTheSignedChunk) {
    const std::string content = std::string(100000, 'v') + "elmora";
    const std::string packed = Compressed(content);
    const struct {
        const char* name;
        std::string stored;
        bool compressed;
        bool taken;
    } cases[] = {
        {"stored as is", content, false, true},
        {"compressed", packed, true, true},
        {"stored, one byte changed", std::string(content).replace(5, 1, "w"), false, false},
        {"unpacks to one byte more than the chunk", Compressed(content + "x"), true, false},
        {"unpacks to one byte less", Compressed(content.substr(1)), true, false},  // the other cases: unit tests
    };
    for (const auto& c : cases) {
        const auto size = static_cast<std::uint32_t>(content.size());
        const ManifestChunk chunk{0, 0, DigestOf(content), size,
                                  c.compressed ? static_cast<std::uint32_t>(packed.size()) : size};
        const auto made = ChunkContent(chunk, std::vector<std::uint8_t>(c.stored.begin(), c.stored.end()));
        ASSERT_EQ(made.Ok(), c.taken) << c.name;
        if (c.taken)
            EXPECT_EQ(std::string(made.Value().begin(), made.Value().end()), content) << c.name;
        else
            EXPECT_EQ(made.Error().status, EngineStatus::WrongFile) << c.name;
    }
}

TEST(EngineWinFiles, PutInPlaceReplacesCreatesFoldersAndRefusesAFolder) {
    TestFolder game;
    const GameFolder folder(game.Path());
    const auto put = [&](const std::string& content, const std::string& path) {
        WriteTextFile(game / L"verified", content);
        return folder.PutInPlace(game / L"verified", path);
    };

    ASSERT_TRUE(put("new", "data/maps/deep/world.pak"));
    EXPECT_EQ(ReadTextFile(game / L"data\\maps\\deep\\world.pak"), "new");
    EXPECT_FALSE(Exists(game / L"verified"));

    WriteTextFile(game / L"readme.txt", "old");
    ::SetFileAttributesW((game / L"readme.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(put("newer", "readme.txt"));
    EXPECT_EQ(ReadTextFile(game / L"readme.txt"), "newer");

    ASSERT_TRUE(::CreateDirectoryW((game / L"taken").c_str(), nullptr));
    const Result<void> blocked = put("x", "taken");
    ASSERT_FALSE(blocked);
    EXPECT_EQ(blocked.Error().status, EngineStatus::WrongFile);
    EXPECT_EQ(folder.FileSize("data/maps/deep/world.pak"), 3u);
    EXPECT_EQ(folder.FileSize("taken"), std::nullopt);
}

// A reader that opens the file over and over while it is replaced sees the
// old content or the new one, whole, every time. (It shares delete access,
// as a reader must for a file to be replaced under it on Windows.) The
// system refuses to replace a file while any handle to it is open, so the
// reader pauses between reads as a game would; one that never let go would
// block the replacement for as long as it read, on any machine.
TEST(EngineWinFiles, ReaderSeesOldOrNewNeverHalf) {
    TestFolder game;
    const GameFolder folder(game.Path());
    const std::string versions[2] = {std::string(200000, 'a'), std::string(300000, 'b')};
    WriteTextFile(game / L"game.pak", versions[0]);
    std::atomic<bool> writing{true};
    std::atomic<int> reads{0};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (writing) {
            const std::string seen = ReadShared(game / L"game.pak");
            if (seen != versions[0] && seen != versions[1]) ++torn;
            ++reads;
            ::Sleep(1);
        }
    });
    // The replacements begin once the reader reads, or they could all be
    // over before its first look.
    while (reads == 0) ::Sleep(1);
    int replaced = 0;
    for (int i = 1; i <= 10; ++i) {
        WriteTextFile(game / L"staged", versions[i % 2]);
        if (!folder.PutInPlace(game / L"staged", "game.pak")) break;
        ++replaced;
    }
    writing = false;
    reader.join();
    EXPECT_EQ(replaced, 10);
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(torn.load(), 0);
}

// Holds a file open as a virus scanner might: without sharing delete
// access, so that nothing can rename it while it is held.
class HeldFile {
public:
    explicit HeldFile(const std::wstring& path)
        : handle_(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~HeldFile() {
        if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// An updater file is switched in two renames (the old one set aside, the
// new one in). Switched, it can be switched back; when the second rename
// fails, the old file is back at its name and the new one still staged.
TEST(EngineWinFiles, UpdaterFileSwitchedInTwoRenamesIsNeverLeftMissing) {
    TestFolder game;
    const GameFolder folder(game.Path());
    const std::wstring program = game / L"VELUpdater.exe";
    const std::wstring staged = game / L"staged";
    const struct {
        const char* name;
        bool oldExists;
        bool newHeld;
    } cases[] = {
        {"replaces the old file", true, false},
        {"the new file is held", true, true},
        {"no old file, the new one held", false, true},
        {"no old file", false, false},
    };
    for (const auto& c : cases) {
        ::DeleteFileW(program.c_str());
        ::DeleteFileW(SetAsidePath(program).c_str());
        if (c.oldExists) WriteTextFile(program, "old program");
        WriteTextFile(staged, "new program");
        const std::string before = c.oldExists ? "old program" : "(cannot open)";
        {
            const HeldFile scanner(c.newHeld ? staged : game / L"nothing");
            ASSERT_EQ(scanner.Held(), c.newHeld) << c.name;
            const auto switched = folder.PutUpdaterFileInPlace(staged, "VELUpdater.exe");
            ASSERT_EQ(switched.Ok(), !c.newHeld) << c.name;
            if (!switched.Ok()) {
                EXPECT_EQ(switched.Error().status, EngineStatus::WrongFile) << c.name;
                EXPECT_TRUE(switched.Error().local) << c.name;
                EXPECT_EQ(ReadShared(program), before) << c.name << ": the old file is back at its name";
                EXPECT_FALSE(Exists(SetAsidePath(program))) << c.name;
                EXPECT_EQ(ReadShared(staged), "new program") << c.name;
                continue;
            }
            EXPECT_EQ(ReadShared(program), "new program") << c.name;
            EXPECT_EQ(ReadShared(SetAsidePath(program)), c.oldExists ? "old program" : "(cannot open)") << c.name;
            EXPECT_FALSE(Exists(staged)) << c.name;
            ASSERT_TRUE(folder.SwitchBack(switched.Value())) << c.name;
        }
        EXPECT_EQ(ReadShared(program), before) << c.name << ": switched back";
        EXPECT_FALSE(Exists(SetAsidePath(program))) << c.name;
        EXPECT_EQ(ReadShared(staged), "new program") << c.name << ": the new file is staged again";
    }
}

// The updater's files switch as a set: when one cannot be switched, the
// ones already switched are switched back, and the updater is the old set.
TEST(EngineWinFiles, UpdaterFilesThatCannotAllSwitchAreLeftTheOldSet) {
    TestFolder game;
    ASSERT_TRUE(::CreateDirectoryW((game / L"libs").c_str(), nullptr));
    const GameFolder folder(game.Path());
    const std::wstring files[] = {game / L"libs\\comp.dll", game / L"libs\\mscomctl.ocx", game / L"VELUpdater.exe"};
    const char* paths[] = {"libs/comp.dll", "libs/mscomctl.ocx", "VELUpdater.exe"};
    for (int i = 0; i < 3; ++i) {
        WriteTextFile(files[i], "old " + std::string(paths[i]));
        WriteTextFile(game / (L"staged" + std::to_wstring(i)), "new " + std::string(paths[i]));
    }
    UpdaterSwitch updaterSwitch(folder);
    ASSERT_TRUE(updaterSwitch.Put(game / L"staged0", paths[0]));
    ASSERT_TRUE(updaterSwitch.Put(game / L"staged1", paths[1]));
    {
        const HeldFile scanner(game / L"staged2");
        ASSERT_TRUE(scanner.Held());
        EXPECT_FALSE(updaterSwitch.Put(game / L"staged2", paths[2]));
    }
    ASSERT_TRUE(updaterSwitch.PutBack());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ReadShared(files[i]), "old " + std::string(paths[i])) << paths[i];
        EXPECT_FALSE(Exists(SetAsidePath(files[i]))) << paths[i];
        EXPECT_EQ(ReadShared(game / (L"staged" + std::to_wstring(i))), "new " + std::string(paths[i])) << paths[i];
    }
}

TEST(EngineWinFiles, LocalManifestIsWrittenInOneStepAndReadBackOnlyWhenSigned) {
    // Published with velmora-publish and the test key (see the crypto test).
    const std::string signedManifest =
        "VELMANIFEST 2\nversion 7\nexpires 2099-01-01T00:00:00Z\nmin-updater 1\n"
        "pack 5891b5b522d5df086d0ff0b110fbd9d21bb4fc7163af34d08286a2e846f6be03 6\n"
        "file 5891b5b522d5df086d0ff0b110fbd9d21bb4fc7163af34d08286a2e846f6be03 6 hello.txt\n"
        "chunk 0 0 5891b5b522d5df086d0ff0b110fbd9d21bb4fc7163af34d08286a2e846f6be03 6 6\n"
        "signature ae64a14b9d9c17ae5366f64203a2bafe3b071aba9653444ab70d7d60b40f31aa"
        "508958787245a66f25bcfaa94f5a537716367dcc6d28768dd4baf8cb09aab551\n";
    TestFolder libs;
    const std::wstring path = libs / L"gamedata.vel";
    WriteTextFile(path, "VELMANIFEST 2\nthe old one\n");
    WriteTextFile(libs / L"gamedata.fetched", signedManifest);
    const auto fetched = ReadTrustedManifest(libs / L"gamedata.fetched");
    ASSERT_TRUE(fetched);
    const EngineRecords records(libs.Path(), path, libs / L"gamedata.vel.new");
    ASSERT_TRUE(records.WriteLocalManifest(fetched.Value()));
    EXPECT_FALSE(Exists(libs / L"gamedata.vel.new"));

    const std::optional<ManifestText> read = ReadLocalManifest(path);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(ReadTextFile(path), signedManifest);
    EXPECT_TRUE(read->SameTextAs(fetched.Value()));
    EXPECT_EQ(read->size, signedManifest.size());
    const CancelFlag notCancelled;
    const auto digest = DigestOfFile(path, notCancelled);
    ASSERT_TRUE(digest);
    EXPECT_EQ(read->sha256, digest.Value().sha256);
    EXPECT_EQ(read->parsed.manifest.version, 7u);
    {
        // A run's reading: checked up to the first lines at once, the rest
        // beside, the chunk lines as keys; nobody may write in between.
        LocalReading reading(records);
        ASSERT_TRUE(reading.Checked().has_value());
        EXPECT_TRUE(reading.Checked()->SameTextAs(fetched.Value()));
        EXPECT_EQ(reading.Checked()->parsed.manifest.version, 7u);
        EXPECT_TRUE(reading.Checked()->parsed.manifest.files.empty());
        const LocalReading::Read whole = reading.Finish();
        ASSERT_TRUE(whole.local.has_value());
        Manifest keysOfWhole = read->parsed.manifest;
        keysOfWhole.KeepOnlyChunkKeys();
        EXPECT_FALSE(whole.local->parsed.manifest.HoldsChunks());
        EXPECT_EQ(whole.local->parsed.manifest, keysOfWhole);
        EXPECT_TRUE(whole.local->SameTextAs(fetched.Value()));
        EXPECT_TRUE(whole.placed.empty());

        auto checked = CheckedManifestFile::Open(path);
        ASSERT_TRUE(checked);
        EXPECT_EQ(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
                  INVALID_HANDLE_VALUE);
        const auto body = std::move(checked).Value().ReadBody(ChunkLinesKept::Whole);
        ASSERT_TRUE(body);
        EXPECT_EQ(body.Value().parsed.manifest, read->parsed.manifest);
    }
    {
        // Nor may anybody write while it is read the first time.
        const UniqueFileHandle writer(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(writer);
        EXPECT_FALSE(ReadLocalManifest(path).has_value());
        EXPECT_FALSE(LocalReading(records).Checked().has_value());
    }

    std::string forged = signedManifest;
    forged[forged.find("version 7") + 8] = '8';
    WriteTextFile(path, forged);
    EXPECT_FALSE(ReadLocalManifest(path).has_value()) << "a local manifest that does not check out counts as absent";
    EXPECT_FALSE(ReadLocalManifest(libs / L"missing.vel").has_value());
}

// A release read with its chunk lines' places gives each line's digest
// again from its text, held with writers shut out, in whatever order they
// are asked for, lines far apart and close together; a text changed since
// it was read, or a line start that is not a chunk line's, is refused.
TEST(EngineWinFiles, ChunkDigestsAreReadAgainFromTheHeldText) {
    TestFolder folder;
    const std::wstring path = folder / L"gamedata.vel";
    Manifest release{1, 4102444800, 1, {}, {}, {}, {}};
    std::uint64_t stored = 0;
    for (std::uint32_t f = 0; f < 3000; ++f) {
        Sha256Digest content{};
        content[0] = static_cast<std::uint8_t>(f);
        content[1] = static_cast<std::uint8_t>(f >> 8);
        content[2] = 0xF0;
        std::vector<ManifestChunk> chunks;
        for (std::uint32_t c = 0; c < 2; ++c) {
            Sha256Digest digest = content;
            digest[2] = static_cast<std::uint8_t>(c);
            chunks.emplace_back(0, stored, digest, 100, 100);
            stored += 100;
        }
        release.AddFile({content, 200, "data/file" + std::to_string(f) + ".pak"}, chunks);
    }
    release.packs.push_back({Sha256Digest{}, stored});
    const std::string body = ManifestBody(release);
    WriteTextFile(path, body);
    ManifestBodyReader reader(0, 0, ChunkLinesKept::KeysAndPlaces);
    ASSERT_TRUE(reader.Feed(body));
    auto lean = reader.FinishKeysOnly();
    ASSERT_TRUE(lean) << lean.Error().reason;
    const std::vector<std::uint32_t>& starts = lean.Value().manifest.chunkLineStarts;
    ASSERT_EQ(starts.size(), release.chunks.size());
    ASSERT_GT(body.size(), 4u * 64 * 1024);

    std::vector<std::uint32_t> lines(release.chunks.size());
    for (std::uint32_t i = 0; i < lines.size(); ++i) lines[i] = i;
    std::shuffle(lines.begin(), lines.end(), std::mt19937(7));
    lines.resize(2000);
    lines.push_back(lines.front());
    lines.push_back(static_cast<std::uint32_t>(release.chunks.size() - 1));
    Sha256 hash;
    ASSERT_TRUE(hash.Update(body));
    const ManifestText text{path, body.size(), hash.Finish().Value(), {lean.Value().manifest, 0, {}}, {}};
    {
        const auto digests = ChunkDigests::Open(text);
        ASSERT_TRUE(digests) << digests.Error().reason;
        const auto read = digests.Value().Of(lines);
        ASSERT_TRUE(read) << read.Error().reason;
        ASSERT_EQ(read.Value().size(), lines.size());
        for (std::size_t k = 0; k < lines.size(); ++k)
            EXPECT_EQ(read.Value()[k], release.chunks[lines[k]].sha256) << k;
        // Nobody may write to the text while it is held.
        EXPECT_FALSE(OpenForWriting(path));
    }
    // A text that changed since it was read is not read again.
    std::string changed = body;
    changed[changed.size() / 2] ^= 1;
    WriteTextFile(path, changed);
    const auto stale = ChunkDigests::Open(text);
    ASSERT_FALSE(stale);
    EXPECT_EQ(stale.Error().status, EngineStatus::InvalidFormat);
    WriteTextFile(path, body);

    std::vector<std::uint32_t> misplaced = starts;
    misplaced[5] = 0;
    auto again = OpenForReadingAlone(path);
    ASSERT_TRUE(again);
    const std::uint32_t fifth[] = {4, 5};
    const auto refused = ChunkDigests(std::move(again).Value(), path, misplaced).Of(fifth);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.Error().status, EngineStatus::InvalidFormat);
}

// The record of placed files is written in pieces of 64 KiB and read in
// pieces of 1 MiB: one of 20,000 files reads back the same; one cut short,
// or none, is no record.
TEST(EngineWinFiles, RecordOfPlacedFilesIsReadBackWholeOrNotAtAll) {
    TestFolder libs;
    const std::wstring path = libs / L"gamedata.placed";
    const EngineRecords records(libs.Path(), libs / L"gamedata.vel", libs / L"gamedata.placed.new");
    EXPECT_TRUE(records.Placed().empty()) << "no record yet";
    PlacedFiles placed;
    for (std::uint32_t i = 0; i < 20000; ++i) {
        Sha256Digest sha{};
        sha[0] = static_cast<std::uint8_t>(i);
        sha[1] = static_cast<std::uint8_t>(i >> 8);
        const std::string file = "data/set" + std::to_string(i % 9) + "/file" + std::to_string(i) + ".pak";
        placed.Add({file, i % 7 == 0, sha, {1000u + i, 133700000000000000u + i}});
    }
    ASSERT_TRUE(records.WritePlaced([&](const TextPieces& take) { return WritePlacedFiles(placed, take); }));
    EXPECT_FALSE(Exists(libs / L"gamedata.placed.new"));
    const std::string text = ReadTextFile(path);
    EXPECT_GT(text.size(), std::size_t{1} << 20);
    EXPECT_EQ(text, PlacedFilesText(placed));
    EXPECT_TRUE(records.Placed() == placed);
    WriteTextFile(path, text.substr(0, text.size() - 1));
    EXPECT_TRUE(records.Placed().empty()) << "a record cut short is no record";
}

TEST(EngineWinFiles, SecondLockOnTheFolderIsRefusedUntilTheFirstGoes) {
    TestFolder libs;
    const std::wstring path = libs / L"gamedata.lock";
    {
        auto first = FolderLock::Acquire(path);
        ASSERT_TRUE(first) << first.Error().reason;
        auto second = FolderLock::Acquire(path);
        ASSERT_FALSE(second);
        EXPECT_EQ(second.Error().status, EngineStatus::ServerError);
    }
    EXPECT_FALSE(Exists(path)) << "the lock file goes with the lock";
    EXPECT_TRUE(FolderLock::Acquire(path));
}

}  // namespace
}  // namespace velmora::engine
