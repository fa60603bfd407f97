// velmora-publish run as the studio runs it, on temporary folders.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include "chunk_codec.h"
#include "command_line.h"
#include "core/hex.h"
#include "core/manifest_parse.h"
#include "core/manifest_write.h"
#include "core/utc_time.h"
#include "engine_core_test_support.h"
#include "file_digest.h"
#include "manifest_delta_writer.h"
#include "pack_numbers.h"
#include "pack_writer.h"
#include "player_files.h"
#include "publish_error.h"
#include "publish_progress.h"
#include "server_folder.h"
#include "signature_check.h"
#include "signature_twin.h"
#include "signing_key.h"

namespace velmora::engine {
namespace {

namespace fs = std::filesystem;
using testing::ParseAnySigned;
using testing::ReadFile;
using testing::TemporaryFolder;

const std::string kKeys = VELMORA_ENGINE_TEST_KEYS;
constexpr std::int64_t kDay = 24 * 60 * 60;
// An expiry the tool takes without --allow-far-expiry: a month from now.
const std::string kExpires = FormatUtcTime(static_cast<std::int64_t>(std::time(nullptr)) + 30 * kDay);

struct ToolRun {
    int exitCode;
    std::string out, err;
};

std::string Quoted(const std::string& argument) {
    std::string quoted = "'";
    for (const char c : argument) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

class PublishTool : public ::testing::Test {
protected:
    ToolRun Tool(const std::vector<std::string>& arguments) const {
        std::string command = Quoted(VELMORA_PUBLISH_TOOL);
        for (const auto& argument : arguments) command += " " + Quoted(argument);
        const fs::path out = folder.Path() / "stdout.txt", err = folder.Path() / "stderr.txt";
        command += " >" + Quoted(out.string()) + " 2>" + Quoted(err.string());
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
    }

    ToolRun Publish(const std::string& version, std::vector<std::string> extra = {}) const {
        std::vector<std::string> arguments = {"publish", "--key", kKeys + "/test-private.pem", "--release",
                                              Release().string(), "--out", Server().string(), "--version",
                                              version, "--expires", kExpires};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return Tool(arguments);
    }

    fs::path Release() const { return folder.Path() / "release"; }
    fs::path Server() const { return folder.Path() / "server"; }

    // The manifest the server folder's head names, its signature and the
    // head's checked with the test key.
    publish::ServerManifest ServerManifestOf(const fs::path& server) const {
        auto read = publish::ReadServerManifest(server, publish::LoadPublicKeyFile(kKeys + "/test-public.h"));
        EXPECT_TRUE(read && read->head) << server;
        return std::move(read).value();
    }
    SignedManifest ServerManifest(const fs::path& server) const { return ServerManifestOf(server).parsed; }

    // Entries of the folder holding the server folder, other than ours.
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder.Path())) {
            const std::string name = entry.path().filename().string();
            if (name != "release" && !name.starts_with("server") && name != "stdout.txt" && name != "stderr.txt")
                names.push_back(name);
        }
        return names;
    }

    std::string RandomBytes(std::size_t count, unsigned seed) const {
        std::mt19937_64 random(seed);
        std::string bytes(count, '\0');
        for (std::size_t i = 0; i < count; i += 8) {
            const std::uint64_t word = random();
            std::memcpy(bytes.data() + i, &word, std::min<std::size_t>(8, count - i));
        }
        return bytes;
    }

    static fs::path PackPath(const fs::path& server, const ManifestPack& pack) {
        return server / "packs" / ToHex(pack.name);
    }

    // The chunk's content as the engine gets it: its stored bytes at its
    // place in its pack, unpacked.
    static std::string ChunkAt(const fs::path& server, const Manifest& manifest, const ManifestChunk& chunk) {
        std::ifstream pack(PackPath(server, manifest.packs[chunk.Pack()]), std::ios::binary);
        pack.seekg(static_cast<std::streamoff>(chunk.Offset()));
        std::string stored(chunk.storedSize, '\0');
        pack.read(stored.data(), static_cast<std::streamsize>(stored.size()));
        const auto content = publish::ChunkContent(
            std::span(reinterpret_cast<const std::uint8_t*>(stored.data()), stored.size()), chunk.size);
        EXPECT_TRUE(content) << ToHex(chunk.sha256);
        return content ? std::string(content->begin(), content->end()) : std::string();
    }

    // The names of the packs in a server folder.
    static std::set<std::string> PacksIn(const fs::path& server) {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(server / "packs")) names.insert(entry.path().filename());
        return names;
    }

    // "from version 1: 249.0 KiB in 2 chunks (254948 bytes)": the bytes.
    static std::uint64_t DownloadBytes(const std::string& out, const std::string& from) {
        const std::size_t line = out.find(from + ": ");
        EXPECT_NE(line, std::string::npos) << out;
        if (line == std::string::npos) return UINT64_MAX;
        const std::size_t open = out.find('(', line);
        return std::stoull(out.substr(open + 1));
    }

    ToolRun Verify(const fs::path& server) const {
        return Tool({"verify", "--public", kKeys + "/test-public.h", server.string()});
    }

    TemporaryFolder folder;
};

TEST_F(PublishTool, PublishesASignedServerFolderWithEachChunkOnce) {
    // More than a pack holds, so a second pack opens; it sorts first.
    const std::string big = RandomBytes(publish::kPackCloseSize + 1000000, 4);
    const std::string program = RandomBytes(3000, 1);  // does not compress
    const std::string zeros(100000, '\0');               // compresses well
    folder.Write("release/data/big.pak", big);
    folder.Write("release/velmora.exe", program);
    folder.Write("release/data/world.pak", zeros);
    folder.Write("release/data/world-copy.pak", zeros);
    folder.Write("release/notes/read me.txt", "hello");
    folder.Write("release/empty", "");

    const std::vector<std::string> mirrors = {"https://cdn.example/velmora/", "http://[::1]:8080/m/"};
    const ToolRun run = Publish("1", {"--mirror", mirrors[0], "--mirror", mirrors[1]});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("6 added, 0 changed, 0 removed"), std::string::npos) << run.out;

    const Manifest manifest = ServerManifest(Server()).manifest;
    EXPECT_EQ(manifest.mirrors, mirrors);
    EXPECT_EQ(manifest.version, 1u);
    EXPECT_EQ(manifest.expires, *ParseUtcTime(kExpires));
    EXPECT_EQ(manifest.minUpdater, 1u);
    const struct {
        const char* path;
        const std::string& content;
        bool compressed;
    } expected[] = {{"data/big.pak", big, false},       {"data/world-copy.pak", zeros, true},
                    {"data/world.pak", zeros, true},    {"empty", "", false},
                    {"notes/read me.txt", "hello", false}, {"velmora.exe", program, false}};
    ASSERT_EQ(manifest.files.size(), std::size(expected));
    // New chunks go into the packs in the order of the files: each chunk
    // not seen before lies right after the one before it.
    std::set<Sha256Digest> seen;
    std::pair<std::uint32_t, std::uint64_t> next{0, 0};
    std::uint64_t distinctStored = 0;
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const auto& e = expected[i];
        const ManifestFile& file = manifest.files[i];
        EXPECT_EQ(file.path, e.path);
        EXPECT_EQ(file.sha256, publish::Sha256Of(e.content)) << e.path;
        EXPECT_EQ(file.size, e.content.size()) << e.path;
        std::string content;
        for (const ManifestChunk& chunk : manifest.ChunksOf(file)) {
            EXPECT_EQ(chunk.IsCompressed(), e.compressed) << e.path;
            content += ChunkAt(Server(), manifest, chunk);
            if (!seen.insert(chunk.sha256).second) continue;
            distinctStored += chunk.storedSize;
            if (next.second >= publish::kPackCloseSize) next = {next.first + 1, 0};  // closed
            EXPECT_EQ(std::make_pair(chunk.Pack(), chunk.Offset()), next) << e.path;
            next.second = chunk.Offset() + chunk.storedSize;
        }
        EXPECT_EQ(content, e.content) << e.path;
    }
    EXPECT_GT(manifest.files[0].chunkCount, 400u);  // about 70 KiB each
    EXPECT_LT(manifest.ChunksOf(manifest.files[2])[0].storedSize, 1000u);
    EXPECT_TRUE(std::ranges::equal(manifest.ChunksOf(manifest.files[1]),
                                   manifest.ChunksOf(manifest.files[2])));  // the copy is stored once

    // Two packs, the first closed once it held kPackCloseSize, each named
    // by its bytes, holding the distinct chunks once and nothing else.
    ASSERT_EQ(manifest.packs.size(), 2u);
    EXPECT_GE(manifest.packs[0].size, publish::kPackCloseSize);
    EXPECT_LT(manifest.packs[0].size, publish::kPackCloseSize + kMaxChunkSize);
    std::set<std::string> listed;
    for (const ManifestPack& pack : manifest.packs) {
        EXPECT_EQ(publish::Sha256Of(ReadFile(PackPath(Server(), pack))), pack.name);
        EXPECT_EQ(fs::file_size(PackPath(Server(), pack)), pack.size);
        listed.insert(ToHex(pack.name));
    }
    EXPECT_EQ(manifest.packs[0].size + manifest.packs[1].size, distinctStored);
    EXPECT_EQ(PacksIn(Server()), listed);
    EXPECT_FALSE(fs::exists(Server() / "history"));
    EXPECT_TRUE(Leftovers().empty());

    // The data URL's file is the small signed head; the manifest it names
    // lies compressed under the SHA-256 of its text.
    const std::string head = ReadFile(Server() / "gamedata.vel");
    EXPECT_TRUE(head.starts_with("VELHEAD 1\n")) << head;
    EXPECT_LT(head.size(), 400u);
    const publish::ServerManifest served = ServerManifestOf(Server());
    EXPECT_EQ(publish::Sha256Of(served.text), served.head->manifestSha256);
    EXPECT_EQ(served.text.size(), served.head->manifestSize);
    EXPECT_EQ(fs::file_size(Server() / "manifests" / ToHex(served.head->manifestSha256)), served.head->storedSize);
    EXPECT_LT(served.head->storedSize, served.text.size() * 3 / 4);

    const ToolRun verify = Verify(Server());
    EXPECT_EQ(verify.exitCode, 0) << verify.err;
    EXPECT_NE(verify.out.find("ok: version 1"), std::string::npos) << verify.out;
    EXPECT_NE(verify.out.find("\nmirror " + mirrors[0] + "\nmirror " + mirrors[1] + "\n"), std::string::npos)
        << verify.out;
}

TEST_F(PublishTool, ASecondPublicationReportsItsChangesAndReplacesTheFirst) {
    folder.Write("release/velmora.exe", RandomBytes(3000, 1));
    folder.Write("release/data/world.pak", std::string(100000, 'w'));
    folder.Write("release/old.txt", "old");
    ASSERT_EQ(Publish("1").exitCode, 0);

    const std::string program2 = RandomBytes(3100, 2);
    folder.Write("release/velmora.exe", program2);
    folder.Write("release/new.txt", "new");
    fs::remove(Release() / "old.txt");
    const ToolRun run = Publish("2");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("changes against version 1"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("added   new.txt\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("changed velmora.exe\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("removed old.txt\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("world.pak"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("1 added, 1 changed, 1 removed\n"), std::string::npos) << run.out;
    // The new program (stored as is) and the three bytes of new.txt.
    EXPECT_NE(run.out.find("from version 1: 3.0 KiB in 2 chunks (3103 bytes)\n"), std::string::npos) << run.out;
    EXPECT_EQ(ServerManifest(Server()).manifest.version, 2u);
    const std::string version1 = ReadFile(Server() / "history" / "1.vel");
    EXPECT_EQ(ParseAnySigned(version1).Value().manifest.version, 1u);
    // A cache may serve the first head a while longer: its manifest stays.
    EXPECT_TRUE(fs::exists(Server() / "manifests" / ToHex(publish::Sha256Of(version1))));
    EXPECT_TRUE(Leftovers().empty());

    // Against an explicit earlier publication, into another folder, with
    // a far expiry: refused until --allow-far-expiry is given. new.txt
    // becomes a folder, data a file.
    const fs::path elsewhere = folder.Path() / "server-3";
    fs::remove(Release() / "new.txt");
    folder.Write("release/new.txt/part.txt", "newer");
    fs::remove_all(Release() / "data");
    folder.Write("release/data", "d");
    std::vector<std::string> arguments = {"publish", "--key", kKeys + "/test-private.pem", "--release",
                                          Release().string(), "--out", elsewhere.string(), "--version", "3",
                                          "--expires", "2099-01-01T00:00:00Z", "--previous", Server().string(),
                                          "--min-updater", "7"};
    const ToolRun far = Tool(arguments);
    EXPECT_EQ(far.exitCode, 2);
    EXPECT_NE(far.err.find("--allow-far-expiry"), std::string::npos) << far.err;
    EXPECT_FALSE(fs::exists(elsewhere));
    arguments.push_back("--allow-far-expiry");
    const ToolRun third = Tool(arguments);
    ASSERT_EQ(third.exitCode, 0) << third.err;
    EXPECT_NE(third.out.find("now a folder new.txt\n"), std::string::npos) << third.out;
    EXPECT_NE(third.out.find("now a file data\n"), std::string::npos) << third.out;
    EXPECT_NE(third.out.find("2 added, 0 changed, 2 removed\n"), std::string::npos) << third.out;
    // Against each earlier release, newest first: "newer" and "d", and
    // from version 1 the program as well.
    EXPECT_NE(third.out.find("from version 2: 6 bytes in 2 chunks (6 bytes)\n"
                             "from version 1: 3.0 KiB in 3 chunks (3106 bytes)\n"
                             "fresh install: 3.0 KiB in 3 chunks (3106 bytes)\n"),
              std::string::npos)
        << third.out;
    EXPECT_EQ(ReadFile(elsewhere / "history" / "2.vel"), ServerManifestOf(Server()).text);
    EXPECT_EQ(ReadFile(elsewhere / "history" / "1.vel"), version1);
    EXPECT_EQ(Verify(elsewhere).exitCode, 0) << Verify(elsewhere).err;  // complete on its own
    EXPECT_EQ(ServerManifest(elsewhere).manifest.minUpdater, 7u);
    EXPECT_EQ(ServerManifest(elsewhere).manifest.expires, *ParseUtcTime("2099-01-01T00:00:00Z"));
}

// Content-defined chunks: an insertion in the middle of a large file
// changes only the chunks around it, and the next release stores only
// those, pointing into the earlier packs for the rest.
TEST_F(PublishTool, AReleaseStoresOnlyTheChunksEarlierReleasesLack) {
    const std::string big = RandomBytes(4 << 20, 5);
    folder.Write("release/data/world.pak", big);
    folder.Write("release/notes.txt", "one");
    ASSERT_EQ(Publish("1").exitCode, 0);
    const std::string edited = big.substr(0, 2 << 20) + RandomBytes(100 << 10, 6) + big.substr(2 << 20);
    folder.Write("release/data/world.pak", edited);
    const fs::path second = folder.Path() / "server-2";
    const auto publishTo = [&](const fs::path& out, const std::string& version, std::vector<std::string> extra) {
        std::vector<std::string> arguments = {"publish", "--key", kKeys + "/test-private.pem", "--release",
                                              Release().string(), "--out", out.string(), "--version", version,
                                              "--expires", kExpires};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return Tool(arguments);
    };
    const ToolRun run = publishTo(second, "2", {"--previous", Server().string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const std::set<std::string> firstPacks = PacksIn(Server());
    std::uint64_t newBytes = 0;
    for (const std::string& name : PacksIn(second))
        if (!firstPacks.contains(name)) newBytes += fs::file_size(second / "packs" / name);
    EXPECT_GT(newBytes, 100u << 10);
    EXPECT_LT(newBytes, 1u << 20) << run.out;
    EXPECT_LT(DownloadBytes(run.out, "from version 1"), 1u << 20) << run.out;
    EXPECT_EQ(DownloadBytes(run.out, "fresh install"), edited.size() + 3) << run.out;
    const Manifest manifest = ServerManifest(second).manifest;
    std::string content;
    for (const ManifestChunk& chunk : manifest.ChunksOf(manifest.files[0])) content += ChunkAt(second, manifest, chunk);
    EXPECT_EQ(content, edited);
    EXPECT_EQ(Verify(second).exitCode, 0);
    // The delta from the first manifest gives the second's text, in a
    // fraction of the stored manifest's bytes.
    const publish::ServerManifest first = ServerManifestOf(Server()), next = ServerManifestOf(second);
    const fs::path delta = publish::ManifestDeltaFile(second, next.head->manifestSha256, publish::Sha256Of(first.text));
    EXPECT_NE(run.out.find("history keeps 1 manifest, 1 with a delta to this one\n"), std::string::npos) << run.out;
    std::string problem;
    EXPECT_TRUE(publish::AppliedManifestDelta(ReadFile(delta), first.text, next.text.size(), problem) == next.text)
        << problem;
    EXPECT_LT(fs::file_size(delta), next.head->storedSize / 2);
    const ToolRun verified = Verify(second);
    EXPECT_NE(verified.out.find("; 1 manifest deltas to it from history/\n"), std::string::npos) << verified.out;
    std::string stored = ReadFile(delta);
    stored[stored.size() / 2] ^= 0x01;
    folder.Write(fs::relative(delta, folder.Path()).string(), stored);
    const ToolRun damagedDelta = Verify(second);
    EXPECT_NE(damagedDelta.exitCode, 0);
    EXPECT_NE(damagedDelta.err.find("manifest delta " + delta.string() + " does not give the manifest"),
              std::string::npos)
        << damagedDelta.err;
    stored[stored.size() / 2] ^= 0x01;
    folder.Write(fs::relative(delta, folder.Path()).string(), stored);

    // One byte changed inside a pack, in a chunk both releases use: verify
    // names it, and a publication that would reuse the chunk refuses and
    // leaves nothing behind. (The pack is the first folder's too: the
    // second links to it.)
    const fs::path pack = second / "packs" / *firstPacks.begin();
    std::string bytes = ReadFile(pack);
    bytes[1000] ^= 0x20;
    folder.Write("server-2/packs/" + pack.filename().string(), bytes);
    const ToolRun damaged = Verify(second);
    EXPECT_NE(damaged.exitCode, 0);
    EXPECT_NE(damaged.err.find("pack " + pack.filename().string() + " does not hold chunk"), std::string::npos)
        << damaged.err;
    const ToolRun refused = publishTo(folder.Path() / "server-3", "3", {"--previous", second.string()});
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_NE(refused.err.find("is damaged: pack " + pack.filename().string()), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(folder.Path() / "server-3"));
    bytes[1000] ^= 0x20;
    folder.Write("server-2/packs/" + pack.filename().string(), bytes);

    // Releases published in place keep one earlier manifest: the packs only
    // versions 1 and 2 used go once no kept manifest names them.
    fs::remove(Release() / "data" / "world.pak");
    for (const std::string version : {"3", "4"}) {
        folder.Write("release/notes.txt", "notes of " + version);
        const ToolRun next = publishTo(second, version, {"--keep-releases", "1"});
        ASSERT_EQ(next.exitCode, 0) << next.err;
    }
    EXPECT_EQ(PacksIn(second).size(), 2u);  // versions 3 and 4 stored one each
    std::vector<std::string> history;
    for (const auto& entry : fs::directory_iterator(second / "history")) history.push_back(entry.path().filename());
    EXPECT_EQ(history, std::vector<std::string>{"3.vel"});
    // Deltas only from the manifests history keeps: version 3's.
    std::vector<fs::path> deltas;
    for (const auto& entry : fs::recursive_directory_iterator(second / "deltas"))
        if (entry.is_regular_file()) deltas.push_back(entry.path());
    EXPECT_EQ(deltas, std::vector<fs::path>{publish::ManifestDeltaFile(
                          second, ServerManifestOf(second).head->manifestSha256,
                          publish::Sha256Of(ReadFile(second / "history" / "3.vel")))});
    EXPECT_EQ(Verify(second).exitCode, 0);
    EXPECT_TRUE(Leftovers().empty());
}

// Chunks are hashed and compressed on worker threads, which end in any
// order; the packs and the manifest must not show it. The signature differs
// between any two runs (ECDSA takes a fresh random number each time).
TEST_F(PublishTool, PublishesTheSameBytesWithOneWorkerOrFour) {
    // Files whose chunks take long to compress (text of random words) next
    // to ones whose chunks are quickly found incompressible (noise), so that
    // later chunks are ready before earlier ones; a content twice.
    std::mt19937 random(9);
    const char* const words[] = {"grass ", "stone ", "water ", "sand ", "road ", "tree ", "wall ", "roof "};
    for (int i = 0; i < 6; ++i) {
        std::string text;
        while (text.size() < (400u << 10)) text += words[random() % 8] + std::to_string(random() % 100) + "\n";
        folder.Write("release/data/" + std::to_string(i) + "-map.txt", text);
        folder.Write("release/data/" + std::to_string(i) + "-noise.pak", RandomBytes(600 << 10, 20 + i));
    }
    folder.Write("release/data/copy.pak", ReadFile(Release() / "data" / "0-noise.pak"));
    for (int i = 0; i < 10; ++i) folder.Write("release/small/" + std::to_string(i), RandomBytes(5000 + i, 10 + i));
    const auto publishWith = [&](const std::string& workers) {
        const fs::path out = folder.Path() / ("server-" + workers);
        const ToolRun run = Tool({"publish", "--key", kKeys + "/test-private.pem", "--release", Release().string(),
                                  "--out", out.string(), "--version", "1", "--expires", kExpires, "--workers",
                                  workers});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");  // not a terminal: no progress
        const std::string manifest = ServerManifestOf(out).text;
        return manifest.substr(0, manifest.rfind("signature "));
    };
    const std::string one = publishWith("1"), four = publishWith("4");
    EXPECT_NE(one.find("file "), std::string::npos);
    EXPECT_EQ(one, four);
    const std::set<std::string> packs = PacksIn(folder.Path() / "server-1");
    ASSERT_EQ(packs, PacksIn(folder.Path() / "server-4"));
    for (const std::string& pack : packs)
        EXPECT_EQ(ReadFile(folder.Path() / "server-1" / "packs" / pack),
                  ReadFile(folder.Path() / "server-4" / "packs" / pack));
    EXPECT_EQ(Verify(folder.Path() / "server-4").exitCode, 0);
}

TEST_F(PublishTool, HelpPrintsTheUsageAndSucceeds) {
    const std::vector<std::vector<std::string>> asked = {
        {"--help"}, {"help"}, {"publish", "--help"}, {"verify", "--public", "key.h", "-h"}};
    for (const auto& arguments : asked) {
        const ToolRun run = Tool(arguments);
        EXPECT_EQ(run.exitCode, 0) << arguments.back();
        EXPECT_TRUE(run.out.starts_with("usage:\n")) << run.out;
        EXPECT_NE(run.out.find("--workers"), std::string::npos) << run.out;
        EXPECT_EQ(run.err, "") << arguments.back();
    }
}

TEST_F(PublishTool, RefusesAVersionNotHigherThanThePreviousOne) {
    folder.Write("release/velmora.exe", "program");
    ASSERT_EQ(Publish("5").exitCode, 0);
    const std::string before = ReadFile(Server() / "gamedata.vel");
    folder.Write("release/velmora.exe", "program 2");
    for (const char* version : {"5", "4"}) {
        const ToolRun run = Publish(version);
        EXPECT_NE(run.exitCode, 0) << version;
        EXPECT_NE(run.err.find("not higher than the previous publication's version 5"), std::string::npos) << run.err;
    }
    EXPECT_EQ(ReadFile(Server() / "gamedata.vel"), before);
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(PublishTool, AFailedPublicationLeavesNothingBehind) {
    folder.Write("release/velmora.exe", "program");
    ASSERT_EQ(Publish("1").exitCode, 0);
    const std::string before = ReadFile(Server() / "gamedata.vel");

    // Two names Windows sees as one file, found by the release folder scan.
    folder.Write("release/Data.pak", "one");
    folder.Write("release/data.pak", "two");
    const ToolRun run = Publish("2");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.err.find("one file on Windows"), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;  // one message
    EXPECT_TRUE(Leftovers().empty()) << Leftovers()[0];
    EXPECT_EQ(ReadFile(Server() / "gamedata.vel"), before);
}

TEST_F(PublishTool, RefusesReleasePathsTheEngineWouldRefuse) {
    const struct {
        const char* file;
        const char* reason;
        const char* other = nullptr;  // a second file the first collides with
    } cases[] = {{"con.txt", "device name"},
                 {"libs/gamedata.vel", "libs folder"},
                 {"trailing.", "ends in a dot"},
                 {"a:b", "colon"},
                 {"\xC3\x89.txt", "one file on Windows", "\xC3\xA9.txt"},
                 {"\xD0\x96", "also a folder", "\xD0\xB6/x"},
                 {"\xE1\xBC\x80.txt", "one file on Windows", "\xE1\xBC\x88.txt"},  // Greek Extended
                 {"\xE1\x83\x90", "also a folder", "\xE1\xB2\x90/x"}};        // Georgian
    for (const auto& c : cases) {
        fs::remove_all(Release());
        folder.Write("release/velmora.exe", "program");
        folder.Write(std::string("release/") + c.file, "x");
        if (c.other) folder.Write(std::string("release/") + c.other, "y");
        const ToolRun run = Publish("1");
        EXPECT_NE(run.exitCode, 0) << c.file;
        EXPECT_NE(run.err.find(c.file), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(Server())) << c.file;
        EXPECT_TRUE(Leftovers().empty()) << c.file;
    }
}

// --player-file marks the files the player edits; a pattern that matches
// nothing, an updater file or has '**' inside a segment publishes nothing.
TEST_F(PublishTool, MarksTheFilesThePlayerEdits) {
    folder.Write("release/velmora.exe", "program");
    folder.Write("release/VELUpdater.exe", "updater");
    folder.Write("release/Config/game.ini", "volume=5");
    folder.Write("release/config/keys/pad.ini", "a=jump");
    folder.Write("release/config/readme.txt", "settings");
    const struct {
        std::vector<std::string> patterns;
        const char* refusal;  // nullptr: published
    } cases[] = {
        {{"config/nothing.ini"}, "matches no file"},
        {{"*.exe"}, "updater's own files"},
        {{"config/a**/*.ini"}, "whole segment"},
        {{"CONFIG/**/*.INI", "config/readme.txt"}, nullptr},
    };
    for (const auto& c : cases) {
        std::vector<std::string> extra;
        for (const std::string& pattern : c.patterns) extra.insert(extra.end(), {"--player-file", pattern});
        const ToolRun run = Publish("1", extra);
        if (c.refusal) {
            EXPECT_NE(run.exitCode, 0) << c.refusal;
            EXPECT_NE(run.err.find(c.refusal), std::string::npos) << run.err;
            EXPECT_FALSE(fs::exists(Server())) << c.refusal;
            continue;
        }
        ASSERT_EQ(run.exitCode, 0) << run.err;
        std::vector<std::string> players;
        for (const ManifestFile& file : ServerManifest(Server()).manifest.files)
            if (file.playerFile) players.emplace_back(file.path);
        EXPECT_EQ(players, (std::vector<std::string>{"Config/game.ini", "config/keys/pad.ini", "config/readme.txt"}));
        EXPECT_EQ(Verify(Server()).exitCode, 0);
    }
}

// Packs the release before listed keep its numbers, whatever order the
// files first use them in, so the chunk lines a release keeps are the same
// bytes; every chunk follows its pack.
TEST(PackNumbers, EarlierPacksKeepTheirNumbersAndChunksFollow) {
    const ManifestPack a{testing::DigestOf(0xa1), 10}, b{testing::DigestOf(0xb2), 20},
        fresh{testing::DigestOf(0xc3), 30}, older{testing::DigestOf(0xd4), 40};
    Manifest earlier;
    earlier.packs = {a, b};
    publish::PackedRelease release;
    release.packs = {fresh, b, older, a};
    for (std::uint32_t pack = 0; pack < 4; ++pack) release.chunks.emplace_back(pack, pack, testing::DigestOf(2), 1, 1);
    publish::KeepEarlierPackNumbers(release, earlier);
    EXPECT_EQ(release.packs, (std::vector<ManifestPack>{a, b, fresh, older}));
    std::vector<std::uint64_t> packs;
    for (const ManifestChunk& chunk : release.chunks) packs.push_back(release.packs[chunk.Pack()].size);
    EXPECT_EQ(packs, (std::vector<std::uint64_t>{30, 20, 40, 10})) << "each chunk still in the pack it was in";
}

// The patterns' rules: '*' within a segment, '**' across segments, names
// compared as Windows compares them.
TEST(PlayerFilePattern, StarsStayInTheirSegmentsAndDoubleStarsCrossThem) {
    const struct {
        const char* pattern;
        const char* path;
        bool matches;
    } cases[] = {
        {"config/*.ini", "config/game.ini", true},
        {"config/*.ini", "config/keys/pad.ini", false},
        {"config/**/*.ini", "config/game.ini", true},
        {"config/**/*.ini", "config/keys/deep/pad.ini", true},
        {"**", "any/path/at/all", true},
        {"**/save*", "slot/save1.dat", true},
        {"*", "a/b", false},
        {"config/*", "config", false},
        {"Config/GAME.INI", "config/game.ini", true},
        {"\xC3\x89*.ini", "\xC3\xA9t\xC3\xA9.ini", true},  // É and é are one name
        {"ß.ini", "SS.ini", false},
        {"a*b*c", "axxbyyc", true},
        {"a*b*c", "axxbyy", false},
        {"*.ini", ".ini", true},
    };
    for (const auto& c : cases) EXPECT_EQ(publish::MatchesPattern(c.pattern, c.path), c.matches) << c.pattern << " " << c.path;
}

TEST_F(PublishTool, RefusesToReplaceAFolderThatIsNoServerFolder) {
    folder.Write("release/velmora.exe", "program");
    folder.Write("server/precious.txt", "keep me");
    const ToolRun run = Publish("1");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.err.find("not a server folder"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(Server() / "precious.txt"), "keep me");
}

TEST_F(PublishTool, VerifyFindsDamageAndWrongKeys) {
    folder.Write("release/velmora.exe", RandomBytes(2000, 3));
    folder.Write("release/data/world.pak", std::string(50000, 'w'));
    ASSERT_EQ(Publish("1").exitCode, 0);
    const Manifest manifest = ServerManifest(Server()).manifest;
    const fs::path manifestFile = Server() / "gamedata.vel";
    const std::string original = ReadFile(manifestFile);
    const std::string otherPrivate = (folder.Path() / "other.pem").string();
    const std::string otherHeader = (folder.Path() / "other.h").string();
    ASSERT_EQ(Tool({"keygen", otherPrivate, otherHeader}).exitCode, 0);

    // verify --public key1 --public key2 ... server
    const auto verify = [&](const auto&... keys) {
        std::vector<std::string> arguments = {"verify"};
        ((arguments.push_back("--public"), arguments.push_back(keys)), ...);
        arguments.push_back(Server().string());
        return Tool(arguments);
    };
    const ToolRun byHeader = verify(kKeys + "/test-public.h");
    EXPECT_EQ(byHeader.exitCode, 0) << byHeader.err;
    EXPECT_NE(byHeader.out.find("signed with key test (" + kKeys + "/test-public.h)\n"), std::string::npos)
        << byHeader.out;
    EXPECT_EQ(verify(kKeys + "/test-private.pem").exitCode, 0);  // a PEM key serves too

    const ToolRun wrongKeys = verify(otherHeader, kKeys + "/test-next-public.h");
    EXPECT_NE(wrongKeys.exitCode, 0);
    EXPECT_NE(wrongKeys.err.find("does not match any of the keys given: other (" + otherHeader + "), test-next ("),
              std::string::npos)
        << wrongKeys.err;

    // Changed so that it still parses, and so that it does not: either way
    // the signature refuses it before its lines are read.
    for (const char changed : {'9', 'x'}) {
        std::string tampered = original;
        tampered[tampered.find("version 1") + 8] = changed;
        folder.Write("server/gamedata.vel", tampered);
        const ToolRun run = verify(kKeys + "/test-public.h");
        EXPECT_NE(run.exitCode, 0) << changed;
        EXPECT_NE(run.err.find("does not match any of the keys given"), std::string::npos) << run.err;
    }

    // The signature's twin (r, n - s), which anyone can make from the
    // published one: valid ECDSA, refused as the engines refuse it.
    const std::size_t signatureAt = original.rfind("signature ") + std::string_view("signature ").size();
    ManifestSignature published;
    ASSERT_TRUE(FromHex(original.substr(signatureAt, 128), published));
    folder.Write("server/gamedata.vel",
                 original.substr(0, signatureAt) + ToHex(testing::SignatureTwin(published)) + "\n");
    const ToolRun twin = verify(kKeys + "/test-public.h");
    EXPECT_NE(twin.exitCode, 0);
    EXPECT_NE(twin.err.find("engines accept only the low-s form"), std::string::npos) << twin.err;
    folder.Write("server/gamedata.vel", original);

    // Damaged packs: one cut short, one with the right size but other
    // bytes, one missing.
    for (const ManifestPack& pack : manifest.packs) {
        const fs::path file = PackPath(Server(), pack);
        const std::string relative = "server/packs/" + file.filename().string();
        const std::string content = ReadFile(file);
        const std::string damaged[] = {content.substr(0, content.size() - 1), std::string(content.size(), 'x')};
        for (const std::string& bytes : damaged) {
            folder.Write(relative, bytes);
            const ToolRun run = verify(kKeys + "/test-public.h");
            EXPECT_NE(run.exitCode, 0);
            EXPECT_NE(run.err.find("damaged"), std::string::npos) << run.err;
        }
        fs::remove(file);
        const ToolRun missing = verify(kKeys + "/test-public.h");
        EXPECT_NE(missing.err.find("missing pack " + file.filename().string()), std::string::npos) << missing.err;
        folder.Write(relative, content);
    }
    EXPECT_EQ(verify(kKeys + "/test-public.h").exitCode, 0);

    // The stored manifest the head names: missing, or other bytes of its
    // size.
    const std::string storedName = "server/manifests/" + ToHex(ServerManifestOf(Server()).head->manifestSha256);
    const std::string stored = ReadFile(folder.Path() / storedName);
    fs::remove(folder.Path() / storedName);
    EXPECT_NE(verify(kKeys + "/test-public.h").err.find("missing manifest"), std::string::npos);
    folder.Write(storedName, std::string(stored.size(), 'x'));
    EXPECT_NE(verify(kKeys + "/test-public.h").err.find("does not unpack"), std::string::npos);
    folder.Write(storedName, stored);
    EXPECT_EQ(verify(kKeys + "/test-public.h").exitCode, 0);

    // The next publication signed with another key, as a studio does once
    // its players' engines trust it: verify names that key among the two.
    const ToolRun next = Tool({"publish", "--key", kKeys + "/test-next-private.pem", "--release", Release().string(),
                               "--out", Server().string(), "--version", "2", "--expires", kExpires});
    ASSERT_EQ(next.exitCode, 0) << next.err;
    EXPECT_NE(next.out.find("signed with key test-next\n"), std::string::npos) << next.out;
    const ToolRun rotated = verify(kKeys + "/test-public.h", kKeys + "/test-next-public.h");
    EXPECT_EQ(rotated.exitCode, 0) << rotated.err;
    EXPECT_NE(rotated.out.find("signed with key test-next ("), std::string::npos) << rotated.out;
}

// A publisher's bug signed: one file of a shared content lists its chunks in
// another order. Each chunk is where the manifest says, so only reading
// that file's chunks in order shows that they do not make its content.
TEST_F(PublishTool, VerifyRefusesAnyFileWhoseChunksDoNotMakeItsContent) {
    const std::string shared = RandomBytes(600000, 8);
    folder.Write("release/a.bin", shared);
    folder.Write("release/b.bin", shared);
    ASSERT_EQ(Publish("1").exitCode, 0);
    const Manifest published = ServerManifest(Server()).manifest;
    ASSERT_EQ(published.files.size(), 2u);
    ASSERT_GE(published.files[0].chunkCount, 2u);
    const publish::SigningKey key = publish::SigningKey::LoadPem(kKeys + "/test-private.pem");
    for (const std::size_t broken : {0u, 1u}) {
        const std::string path(published.files[broken].path);
        Manifest manifest = published;
        const std::size_t first = manifest.files[broken].firstChunk;
        std::swap(manifest.chunks[first], manifest.chunks[first + 1]);
        const std::string body = ManifestBody(manifest);
        folder.Write("server/gamedata.vel", WithSignature(body, key.Sign(body)));
        const ToolRun run = Verify(Server());
        EXPECT_NE(run.exitCode, 0) << path;
        EXPECT_NE(run.err.find(path), std::string::npos) << run.err;
    }
}

TEST_F(PublishTool, KeygenWritesAPrivateKeyOnlyItsOwnerReadsAndNeverOverwrites) {
    const std::string privateKey = (folder.Path() / "studio.pem").string();
    const std::string header = (folder.Path() / "studio.h").string();
    const ToolRun run = Tool({"keygen", privateKey, header});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    struct stat info {};
    ASSERT_EQ(::stat(privateKey.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(publish::LoadPublicKeyFile(header), publish::LoadPublicKeyFile(privateKey));

    const std::string keyBefore = ReadFile(privateKey);
    const ToolRun again = Tool({"keygen", privateKey, (folder.Path() / "other.h").string()});
    EXPECT_NE(again.exitCode, 0);
    EXPECT_NE(again.err.find("already exists"), std::string::npos) << again.err;
    EXPECT_EQ(ReadFile(privateKey), keyBefore);
    EXPECT_FALSE(fs::exists(folder.Path() / "other.h"));
}

TEST(PublishCommandLine, RefusesIncompleteOrMalformedCommands) {
    // 2030-01-01 is 214 days after this "now"; the limit is 400 days.
    const std::int64_t now = *ParseUtcTime("2029-06-01T00:00:00Z");
    const std::string limit = FormatUtcTime(now + 400 * kDay), pastLimit = FormatUtcTime(now + 400 * kDay + 1);
    const std::vector<std::vector<std::string_view>> bad = {
        {},
        {"sign"},
        {"keygen", "only-one"},
        {"keygen", "a", "b", "c"},
        {"publish", "--release", "r", "--out", "o", "--version", "1", "--expires", "2030-01-01T00:00:00Z"},
        {"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "1.5", "--expires",
         "2030-01-01T00:00:00Z"},
        {"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "1", "--expires", "2030-01-01"},
        {"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "1", "--expires",
         "2030-01-01T00:00:00Z", "--min-updater", "-1"},
        {"publish", "--key", "k", "--key", "k", "--release", "r", "--out", "o", "--version", "1", "--expires",
         "2030-01-01T00:00:00Z"},
        {"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "1", "--expires",
         "2030-01-01T00:00:00Z", "--colour", "red"},
        {"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "1", "--expires",
         "2030-01-01T00:00:00Z", "--keep-releases", "all"},
        {"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "1", "--expires"},
        {"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "1", "--expires",
         "2030-01-01T00:00:00Z", "--workers", "0"},
        {"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "1", "--expires",
         "2030-01-01T00:00:00Z", "--workers", "many"},
        {"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "1", "--expires",
         "2030-01-01T00:00:00Z", "--compression-level", "0"},
        {"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "1", "--expires",
         "2030-01-01T00:00:00Z", "--compression-level", "13"},
        {"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "1", "--expires", pastLimit},
        {"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "1", "--expires",
         "2099-12-31T00:00:00Z"},
        {"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "1", "--expires",
         "2099-12-31T00:00:00Z", "--allow-far-expiry", "--allow-far-expiry"},
        {"keygen", "a", "b", "--allow-far-expiry"},
        {"verify", "server"},
        {"verify", "--public", "k.h"},
        {"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "1", "--expires", limit, "--mirror",
         "https://cdn.example/velmora/gamedata.vel"},
        {"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "1", "--expires", limit, "--mirror",
         "ftp://cdn.example/velmora/"},
        {"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "1", "--expires", limit, "--mirror",
         "http://a/", "--mirror", "http://b/", "--mirror", "http://a/"},
        {"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "1", "--expires", limit, "--mirror"},
    };
    for (const auto& arguments : bad)
        EXPECT_THROW(publish::ParseCommandLine(arguments, now), publish::PublishError)
            << ::testing::PrintToString(arguments);

    const struct {
        std::vector<std::string_view> arguments;
        std::string expires;
    } good[] = {
        {{"publish", "--expires", "2030-01-01T00:00:00Z", "--out", "o", "--version", "12", "--key", "k",
          "--release", "r"},
         "2030-01-01T00:00:00Z"},
        {{"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "12", "--expires", limit}, limit},
        {{"publish", "--key", "k", "--release", "r", "--out", "o", "--allow-far-expiry", "--version", "12",
          "--expires", "2099-12-31T00:00:00Z"},
         "2099-12-31T00:00:00Z"},
        // An expiry already past is no far expiry (the tool warns about it).
        {{"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "12", "--expires",
          "2001-01-01T00:00:00Z"},
         "2001-01-01T00:00:00Z"},
    };
    for (const auto& g : good) {
        const auto options = std::get<publish::PublishOptions>(publish::ParseCommandLine(g.arguments, now));
        EXPECT_EQ(options.version, 12u) << g.expires;
        EXPECT_EQ(options.minUpdater, 1u) << g.expires;
        EXPECT_FALSE(options.previous) << g.expires;
        EXPECT_EQ(options.keepReleases, 3u) << g.expires;
        EXPECT_EQ(options.expires, *ParseUtcTime(g.expires)) << g.expires;
    }

    const std::vector<std::string_view> keepNone = {"publish", "--key", "k", "--release", "r", "--out", "o",
                                                    "--version", "12", "--expires", limit, "--keep-releases", "0"};
    EXPECT_EQ(std::get<publish::PublishOptions>(publish::ParseCommandLine(keepNone, now)).keepReleases, 0u);
    const std::vector<std::string_view> mirrored = {"publish", "--mirror", "http://b/v/", "--key", "k", "--release",
                                                    "r", "--out", "o", "--version", "12", "--expires", limit,
                                                    "--mirror", "https://a.example/"};
    EXPECT_EQ(std::get<publish::PublishOptions>(publish::ParseCommandLine(mirrored, now)).mirrors,
              (std::vector<std::string>{"http://b/v/", "https://a.example/"}));
    std::vector<std::string_view> twoWorkers = keepNone;
    twoWorkers.insert(twoWorkers.end(), {"--workers", "2"});
    EXPECT_EQ(std::get<publish::PublishOptions>(publish::ParseCommandLine(twoWorkers, now)).workers, 2u);
    EXPECT_EQ(std::get<publish::PublishOptions>(publish::ParseCommandLine(keepNone, now)).compressionLevel,
              publish::kDefaultCompressionLevel);
    twoWorkers.insert(twoWorkers.end(), {"--compression-level", "12"});
    EXPECT_EQ(std::get<publish::PublishOptions>(publish::ParseCommandLine(twoWorkers, now)).compressionLevel, 12);

    const std::vector<std::string_view> verify = {"verify", "--public", "a.h", "server", "--public", "b.pem"};
    const auto options = std::get<publish::VerifyOptions>(publish::ParseCommandLine(verify, now));
    EXPECT_EQ(options.publicKeys, (std::vector<fs::path>{"a.h", "b.pem"}));
    EXPECT_EQ(options.serverFolder, "server");
}

// The quick look at a few slices must not cost a chunk its compression:
// repetition far apart, or only in part of the chunk, still counts.
TEST(ChunkCodec, CompressesWhatPaysAndStoresTheRestAsItIs) {
    std::mt19937_64 random(12);
    const auto noise = [&](std::size_t count) {
        std::vector<std::uint8_t> bytes(count);
        for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
        return bytes;
    };
    const auto joined = [](std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    std::vector<std::uint8_t> repeated;
    const std::vector<std::uint8_t> block = noise(4096);
    for (int i = 0; i < 32; ++i) repeated = joined(std::move(repeated), block);
    std::string lines;
    for (int i = 0; lines.size() < 200000; ++i) lines += "tile " + std::to_string(i % 977) + " grass\n";
    const struct {
        const char* name;
        std::vector<std::uint8_t> content;
        bool compressed;
    } cases[] = {
        {"noise", noise(128 << 10), false},
        {"small noise", noise(3000), false},
        {"text", std::vector<std::uint8_t>(lines.begin(), lines.end()), true},
        {"one noise block repeated", repeated, true},
        {"noise, then zeros", joined(noise(64 << 10), std::vector<std::uint8_t>(64 << 10)), true},
        {"zeros, then noise saving a little over a tenth", joined(std::vector<std::uint8_t>(20 << 10), noise(108 << 10)),
         true},
    };
    for (const auto& c : cases) {
        for (const int level : {publish::kQuickestCompressionLevel, publish::kDefaultCompressionLevel,
                                publish::kSmallestCompressionLevel}) {
            const auto compressed = publish::CompressedIfItPays(c.content, level);
            ASSERT_EQ(compressed.has_value(), c.compressed) << c.name << " at " << level;
            if (compressed) {
                EXPECT_EQ(publish::ChunkContent(*compressed, static_cast<std::uint32_t>(c.content.size())), c.content)
                    << c.name << " at " << level;
            }
        }
    }
}

TEST(PublishProgressLine, ShowsRateAndTimeLeftOnceTheyMeanSomething) {
    constexpr std::uint64_t kGiB = 1u << 30;
    const struct {
        publish::ProgressState state;
        const char* line;
    } cases[] = {
        {{0, 3, 0, kGiB, 0}, "0/3 files, 0 bytes of 1.0 GiB"},
        {{0, 3, 1 << 20, kGiB, 0.5}, "0/3 files, 1.0 MiB of 1.0 GiB"},
        {{1, 3, kGiB / 2, kGiB, 10}, "1/3 files, 512.0 MiB of 1.0 GiB, 51.2 MiB/s, 10 s left"},
        {{2, 40, 5 * kGiB, 50 * kGiB, 60}, "2/40 files, 5.0 GiB of 50.0 GiB, 85.3 MiB/s, 9 min 0 s left"},
        {{2, 40, kGiB, 50 * kGiB, 60}, "2/40 files, 1.0 GiB of 50.0 GiB, 17.1 MiB/s, 49 min 0 s left"},
        {{2, 40, kGiB, 500 * kGiB, 60}, "2/40 files, 1.0 GiB of 500.0 GiB, 17.1 MiB/s, 8 h 19 min left"},
        {{3, 3, kGiB, kGiB, 20}, "3/3 files, 1.0 GiB of 1.0 GiB, 51.2 MiB/s, 0 s left"},
    };
    for (const auto& c : cases) EXPECT_EQ(publish::ProgressLine(c.state), c.line);
}

TEST(ChunkCodec, CompressionPaysFromATenthSaved) {
    const struct {
        std::uint64_t size, compressed;
        bool pays;
    } cases[] = {{100, 90, true}, {100, 91, false}, {1000, 900, true}, {1000, 901, false},
                 {0, 0, false},   {10, 0, true},    {1, 1, false}};
    for (const auto& c : cases)
        EXPECT_EQ(publish::CompressionPays(c.size, c.compressed), c.pays) << c.size << " -> " << c.compressed;
}

}  // namespace
}  // namespace velmora::engine
