// velmora-publish run as the studio runs it, on temporary folders.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <ctime>
#include <map>
#include <random>
#include <set>

#include "command_line.h"
#include "core/hex.h"
#include "core/manifest_parse.h"
#include "core/utc_time.h"
#include "engine_core_test_support.h"
#include "file_digest.h"
#include "object_store.h"
#include "publish_error.h"
#include "signature_check.h"

namespace velmora::engine {
namespace {

namespace fs = std::filesystem;
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

    SignedManifest ServerManifest(const fs::path& server) const {
        const std::string text = ReadFile(server / "gamedata.vel");
        const auto key = publish::LoadPublicKeyFile(kKeys + "/test-public.h");
        auto parsed = ParseSignedManifest(text, [&](std::string_view signedPart, const ManifestSignature& signature) {
            return publish::SignatureMatches(key, signedPart, signature) ? Result<void>() : InvalidFormat("signature");
        });
        EXPECT_TRUE(parsed) << parsed.Error().reason;
        return std::move(parsed).Value();
    }

    // Entries of the folder holding the server folder, other than ours.
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder.Path())) {
            const std::string name = entry.path().filename().string();
            if (name != "release" && name != "server" && name != "stdout.txt" && name != "stderr.txt")
                names.push_back(name);
        }
        return names;
    }

    std::string RandomBytes(std::size_t count, unsigned seed) const {
        std::mt19937 random(seed);
        std::string bytes(count, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        return bytes;
    }

    TemporaryFolder folder;
};

TEST_F(PublishTool, PublishesASignedServerFolderWithEachContentOnce) {
    const std::string program = RandomBytes(3000, 1);  // does not compress
    const std::string zeros(100000, '\0');               // compresses well
    folder.Write("release/velmora.exe", program);
    folder.Write("release/data/world.pak", zeros);
    folder.Write("release/data/world-copy.pak", zeros);
    folder.Write("release/notes/read me.txt", "hello");

    const ToolRun run = Publish("1");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("4 added, 0 changed, 0 removed"), std::string::npos) << run.out;

    const Manifest manifest = ServerManifest(Server()).manifest;
    EXPECT_EQ(manifest.version, 1u);
    EXPECT_EQ(manifest.expires, *ParseUtcTime(kExpires));
    EXPECT_EQ(manifest.minUpdater, 1u);
    ASSERT_EQ(manifest.files.size(), 4u);
    std::map<std::string, const ManifestFile*> byPath;
    for (const auto& file : manifest.files) byPath[file.path] = &file;
    const struct {
        const char* path;
        const std::string& content;
        bool compressed;
    } expected[] = {{"velmora.exe", program, false},
                    {"data/world.pak", zeros, true},
                    {"data/world-copy.pak", zeros, true},
                    {"notes/read me.txt", "hello", false}};
    std::set<std::string> objectsNamed;
    for (const auto& e : expected) {
        ASSERT_TRUE(byPath.contains(e.path)) << e.path;
        const ManifestFile& file = *byPath[e.path];
        EXPECT_EQ(file.sha256, publish::Sha256Of(e.content)) << e.path;
        EXPECT_EQ(file.size, e.content.size()) << e.path;
        EXPECT_EQ(file.IsCompressed(), e.compressed) << e.path;
        const fs::path object = Server() / "objects" / file.object;
        ASSERT_TRUE(fs::exists(object)) << e.path;
        EXPECT_EQ(fs::file_size(object), file.storedSize) << e.path;
        if (!e.compressed) {
            EXPECT_EQ(ReadFile(object), e.content) << e.path;
        }
        const publish::ObjectContent unpacked = publish::ReadObjectContent(object, file.IsCompressed());
        EXPECT_EQ(unpacked.sha256, file.sha256) << e.path;
        objectsNamed.insert(file.object);
    }
    EXPECT_LT(byPath["data/world.pak"]->storedSize, 1000u);
    std::set<std::string> objectsStored;
    for (const auto& entry : fs::directory_iterator(Server() / "objects"))
        objectsStored.insert(entry.path().filename().string());
    EXPECT_EQ(objectsStored, objectsNamed);  // three objects, nothing else
    EXPECT_EQ(objectsStored.size(), 3u);
    EXPECT_TRUE(Leftovers().empty());

    const ToolRun verify = Tool({"verify", "--public", kKeys + "/test-public.h", Server().string()});
    EXPECT_EQ(verify.exitCode, 0) << verify.err;
    EXPECT_NE(verify.out.find("ok: version 1"), std::string::npos) << verify.out;
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
    // The new program (stored as is) and the three bytes of new.txt.
    EXPECT_NE(run.out.find("1 added, 1 changed, 1 removed; 3103 bytes to download"), std::string::npos) << run.out;
    EXPECT_EQ(ServerManifest(Server()).manifest.version, 2u);
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
    EXPECT_NE(third.out.find("2 added, 0 changed, 2 removed; 6 bytes to download"), std::string::npos) << third.out;
    EXPECT_EQ(ServerManifest(elsewhere).manifest.minUpdater, 7u);
    EXPECT_EQ(ServerManifest(elsewhere).manifest.expires, *ParseUtcTime("2099-01-01T00:00:00Z"));
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
                 {"\xD0\x96", "also a folder", "\xD0\xB6/x"}};
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
    folder.Write("server/gamedata.vel", original);

    // Damaged objects: one cut short, one with the right size but other
    // bytes, one missing.
    for (const auto& file : manifest.files) {
        const fs::path object = Server() / "objects" / file.object;
        const std::string content = ReadFile(object);
        const std::string damaged[] = {content.substr(0, content.size() - 1),
                                       std::string(content.size(), 'x')};
        for (const std::string& bytes : damaged) {
            folder.Write("server/objects/" + file.object, bytes);
            const ToolRun run = verify(kKeys + "/test-public.h");
            EXPECT_NE(run.exitCode, 0) << file.path;
            EXPECT_NE(run.err.find("damaged"), std::string::npos) << run.err;
        }
        fs::remove(object);
        const ToolRun missing = verify(kKeys + "/test-public.h");
        EXPECT_NE(missing.err.find("missing object " + file.object), std::string::npos) << missing.err;
        folder.Write("server/objects/" + file.object, content);
    }
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
        {"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "1", "--expires"},
        {"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "1", "--expires", pastLimit},
        {"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "1", "--expires",
         "2099-12-31T00:00:00Z"},
        {"publish", "--key", "k", "--release", "r", "--out", "o", "--version", "1", "--expires",
         "2099-12-31T00:00:00Z", "--allow-far-expiry", "--allow-far-expiry"},
        {"keygen", "a", "b", "--allow-far-expiry"},
        {"verify", "server"},
        {"verify", "--public", "k.h"},
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
        EXPECT_EQ(options.expires, *ParseUtcTime(g.expires)) << g.expires;
    }

    const std::vector<std::string_view> verify = {"verify", "--public", "a.h", "server", "--public", "b.pem"};
    const auto options = std::get<publish::VerifyOptions>(publish::ParseCommandLine(verify, now));
    EXPECT_EQ(options.publicKeys, (std::vector<fs::path>{"a.h", "b.pem"}));
    EXPECT_EQ(options.serverFolder, "server");
}

TEST(ObjectStore, CompressionPaysFromATenthSaved) {
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
