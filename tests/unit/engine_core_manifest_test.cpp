#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <string>

#include "core/hex.h"
#include "core/manifest_head.h"
#include "core/manifest_parse.h"
#include "core/manifest_write.h"
#include "engine_core_test_support.h"

namespace velmora::engine {
namespace {

using testing::FileEntry;
using testing::ManifestWith;

ManifestSignature SomeSignature() {
    ManifestSignature signature;
    for (std::size_t i = 0; i < signature.size(); ++i) signature[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return signature;
}

const std::string kSha1 = std::string(64, '1');
const std::string kSha2 = "2c26b46b68ffc68ff99b453c1d30413413422d706483bfa0f98a5e886266e7ae";
const std::string kEmpty = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
const std::string kPack0 = std::string(64, 'e');
const std::string kPack1 = std::string(64, 'f');
const std::string kChunk1 = std::string(64, 'c');
const std::string kChunk2 = std::string(64, 'd');
// Alike in the first bytes a chunk key keeps, different after them.
const std::string kSha2Twin = kSha2.substr(0, 16) + std::string(48, '0');

Sha256Digest DigestFromHex(const std::string& hex) {
    Sha256Digest digest{};
    EXPECT_TRUE(FromHex(hex, digest)) << hex;
    return digest;
}

// A valid manifest as text, in the form docs/update-format.md gives.
std::string ValidText() {
    return "VELMANIFEST 3\n"
           "version 42\n"
           "expires 2027-01-31T00:00:00Z\n"
           "min-updater 1\n"
           "mirror https://mirror.example/velmora/\n"
           "pack " + kPack0 + " 33554291\n"
           "pack " + kPack1 + " 1048576\n"
           "file " + kSha1 + " 262144 data/maps/world.pak\n"
           "chunk 0 0 " + kChunk1 + " 131072 120034\n"
           "chunk 0 120034 " + kChunk2 + " 131072 131072\n"
           "file " + kSha2 + " 532 velmora.exe\n"
           "chunk 1 0 " + kSha2 + " 532 532\n"
           "signature " + std::string(128, 'a') + "\n";
}

TEST(ManifestFormat, TheDocumentedExampleReadsAndWritesByteForByte) {
    const Manifest manifest = {
        42,
        1801353600,
        1,
        {{DigestFromHex(kPack0), 33554291}, {DigestFromHex(kPack1), 1048576}},
        {{DigestFromHex(kSha1), 262144, "data/maps/world.pak", 0, 2},
         {DigestFromHex(kSha2), 532, "velmora.exe", 2, 1}},
        {{0, 0, DigestFromHex(kChunk1), 131072, 120034},
         {0, 120034, DigestFromHex(kChunk2), 131072, 131072},
         {1, 0, DigestFromHex(kSha2), 532, 532}},
        {"https://mirror.example/velmora/"}};
    ManifestSignature signature;
    signature.fill(0xaa);
    EXPECT_EQ(WithSignature(ManifestBody(manifest), signature), ValidText());

    const auto parsed = testing::ParseAnySigned(ValidText());
    ASSERT_TRUE(parsed) << parsed.Error().reason;
    EXPECT_EQ(parsed.Value().manifest, manifest);
    EXPECT_EQ(parsed.Value().signature, signature);
    EXPECT_EQ(parsed.Value().signedLength, ValidText().find("signature "));

    // The format before, without mirror lines, as players' local manifests
    // are written, still reads.
    std::string format2 = ValidText();
    format2.replace(format2.find("VELMANIFEST 3"), 13, "VELMANIFEST 2");
    format2.erase(format2.find("mirror "), std::string("mirror https://mirror.example/velmora/\n").size());
    const auto older = testing::ParseAnySigned(format2);
    ASSERT_TRUE(older) << older.Error().reason;
    Manifest withoutMirrors = manifest;
    withoutMirrors.mirrors.clear();
    withoutMirrors.format = 2;
    EXPECT_EQ(older.Value().manifest, withoutMirrors);
}

TEST(ManifestWrite, ParsingWhatWasWrittenGivesTheSameManifest) {
    // Files of several chunks, shared chunks, an empty file, the largest
    // numbers each field takes.
    Manifest far = ManifestWith(7, {FileEntry("Ünïcode/ñandú.dat", 3, 3 * kMaxChunkSize + 5, 99),
                                    FileEntry("same/as/first", 3, 3 * kMaxChunkSize + 5, 99),
                                    FileEntry("deep/er/er/er/file.bin", 4, 5, 5)});
    far.expires = 253402300799;
    far.minUpdater = 123456789;
    far.mirrors = {"https://cdn.example:8443/a/velmora/", "http://[::1]/"};
    far.packs.push_back({testing::DigestOf(0xfd), kMaxFileSize});
    const ManifestChunk last{1, kMaxFileSize - kMaxChunkSize, testing::DigestOf(6), kMaxChunkSize, kMaxChunkSize};
    far.AddFile({testing::DigestOf(5), kMaxChunkSize, "last"}, std::span(&last, 1));
    Manifest earlier = ManifestWith(3, {FileEntry("velmora.exe", 1, 10, 10)});
    earlier.format = 2;
    Manifest players = ManifestWith(4, {FileEntry("config/game.ini", 1, 10, 10), FileEntry("velmora.exe", 2, 5, 5)});
    players.files[0].playerFile = true;
    // Stored chunks apart, listed out of place order in each of several
    // packs, the packs taking turns.
    Manifest scattered = ManifestWith(5, {});
    for (std::uint8_t p = 0; p < 3; ++p) scattered.packs.push_back({testing::DigestOf(static_cast<std::uint8_t>(0xf0 + p)), 300});
    // Of each pack, the offsets of its lines in list order.
    const std::uint32_t offsets[3][3] = {{200, 100, 0}, {100, 0, 200}, {0, 200, 100}};
    std::uint32_t listed[3] = {};
    for (std::uint8_t f = 0; f < 3; ++f) {
        std::vector<ManifestChunk> chunks;
        for (std::uint8_t c = 0; c < 3; ++c) {
            const std::uint32_t pack = (c + f) % 3;
            chunks.push_back({pack, offsets[pack][listed[pack]++], testing::DigestOf(static_cast<std::uint8_t>(0x10 * (f + 1) + c)), 100, 100});
        }
        scattered.AddFile({testing::DigestOf(f + 1), 300, "f" + std::to_string(f)}, chunks);
    }
    const Manifest manifests[] = {
        ManifestWith(0, {}),
        scattered,
        earlier,
        players,
        ManifestWith(UINT64_MAX, {FileEntry("a b/c d.txt", 1, 10, 10), FileEntry("x", 2, 0, 0)}),
        far,
    };
    for (const Manifest& manifest : manifests) {
        const std::string body = ManifestBody(manifest);
        const std::string text = WithSignature(body, SomeSignature());
        const auto parsed = testing::ParseAnySigned(text);
        ASSERT_TRUE(parsed) << parsed.Error().reason << "\n" << text;
        EXPECT_EQ(parsed.Value().manifest, manifest) << text;
        EXPECT_EQ(parsed.Value().signedLength, body.size());
        EXPECT_EQ(parsed.Value().signature, SomeSignature());
    }
}

struct BadCase {
    const char* name;
    std::string from;  // replaced once in the valid text
    std::string to;
    std::string reason;  // part of the expected reason
};

// Each case's alteration of `valid` is refused by `parse` as invalid
// format, for the case's reason.
template <class Parse>
void ExpectEachRefused(const std::string& valid, std::span<const BadCase> cases, Parse parse) {
    for (const BadCase& c : cases) {
        std::string text = valid;
        const std::size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.name;
        text.replace(at, c.from.size(), c.to);
        const auto parsed = parse(text);
        ASSERT_FALSE(parsed) << c.name;
        EXPECT_EQ(parsed.Error().status, EngineStatus::InvalidFormat) << c.name;
        EXPECT_NE(parsed.Error().reason.find(c.reason), std::string::npos)
            << c.name << ": expected '" << c.reason << "' in '" << parsed.Error().reason << "'";
    }
}

TEST(ManifestParse, RefusesEveryKindOfBadManifest) {
    const std::string packLine1 = "pack " + kPack1 + " 1048576\n";
    const std::string fileLine1 = "file " + kSha1 + " 262144 data/maps/world.pak\n";
    const std::string fileLine2 = "file " + kSha2 + " 532 velmora.exe\n";
    const std::string chunkLine2 = "chunk 1 0 " + kSha2 + " 532 532\n";
    const std::string emptyFile = "file " + kEmpty + " 0 ";
    const std::string signature = "signature " + std::string(128, 'a') + "\n";
    const std::string untilFirstFile = ValidText().substr(0, ValidText().find("file "));
    // The same in format 2, which has no mirror lines.
    std::string format2UntilFirstFile = "VELMANIFEST 2" + untilFirstFile.substr(13);
    format2UntilFirstFile.erase(format2UntilFirstFile.find("mirror "),
                                format2UntilFirstFile.find("pack ") - format2UntilFirstFile.find("mirror "));
    const BadCase cases[] = {
        {"other magic", "VELMANIFEST 3", "VELMANIFESTO 3", "not a Velmora manifest"},
        {"no format", "VELMANIFEST 3", "VELMANIFEST", "not a Velmora manifest"},
        {"earlier format", "VELMANIFEST 3", "VELMANIFEST 1", "format 1 is not known"},
        {"later format", "VELMANIFEST 3", "VELMANIFEST 4", "format 4 is not known"},
        {"format with zero", "VELMANIFEST 3", "VELMANIFEST 03", "bad format version"},
        {"a player's file in format 2", untilFirstFile, format2UntilFirstFile + "player-",
         "unknown key 'player-file'"},
        {"the updater as a player's file", "file " + kSha2 + " 532 velmora.exe", "player-file " + kSha2 + " 532 VELUpdater.exe",
         "the updater's own files cannot be the player's"},
        {"player-file among the keys", "min-updater 1\n", "player-file " + kSha2 + " 532 x\n",
         "missing key 'min-updater'"},
        {"missing version", "version 42\n", "", "missing key 'version'"},
        {"missing expires", "expires 2027-01-31T00:00:00Z\n", "", "missing key 'expires'"},
        {"missing min-updater", "min-updater 1\n", "", "missing key 'min-updater'"},
        {"keys out of order", "version 42\nexpires 2027-01-31T00:00:00Z\n",
         "expires 2027-01-31T00:00:00Z\nversion 42\n", "missing key 'version'"},
        {"repeated key", "expires 2027", "version 42\nexpires 2027", "repeated key 'version'"},
        {"key after files", signature, "version 43\n" + signature, "repeated key 'version'"},
        {"key among packs", packLine1, packLine1 + "min-updater 1\n", "repeated key 'min-updater'"},
        {"unknown key", "min-updater 1\n", "min-updater 1\nmirrors http://x/\n", "unknown key 'mirrors'"},
        {"mirror in format 2", "VELMANIFEST 3", "VELMANIFEST 2", "unknown key 'mirror'"},
        {"mirror without fields", "min-updater 1\n", "min-updater 1\nmirror\n", "'mirror' without its fields"},
        {"mirror naming a file", "/velmora/\n", "/velmora/gamedata.vel\n", "bad mirror URL"},
        {"mirror of another scheme", "https://mirror", "ftp://mirror", "bad mirror URL"},
        {"mirror with a second field", "/velmora/\n", "/velmora/ http://b/\n", "bad mirror URL"},
        {"mirror twice", "min-updater 1\n", "min-updater 1\nmirror https://mirror.example/velmora/\n",
         "mirror listed twice"},
        {"mirror after a pack", packLine1, packLine1 + "mirror http://b/\n",
         "a mirror line after the first pack or file line"},
        {"unknown key among keys", "expires", "mirrors x\nexpires", "unknown key 'mirrors'"},
        {"mirror among keys", "expires", "mirror http://b/\nexpires", "missing key 'expires'"},
        {"key without value", "version 42", "version", "without a value"},
        {"negative version", "version 42", "version -1", "bad version"},
        {"fraction version", "version 42", "version 4.2", "bad version"},
        {"leading zero", "version 42", "version 042", "bad version"},
        {"blank after number", "version 42", "version 42 ", "bad version"},
        {"two blanks", "version 42", "version  42", "bad version"},
        {"version overflow", "version 42", "version 18446744073709551616", "bad version"},
        {"min-updater word", "min-updater 1", "min-updater one", "bad min-updater"},
        {"no such day", "2027-01-31T", "2027-02-29T", "bad expiry"},
        {"hour 24", "T00:00:00Z", "T24:00:00Z", "bad expiry"},
        {"leap second", "T00:00:00Z", "T23:59:60Z", "bad expiry"},
        {"time zone", "T00:00:00Z", "T00:00:00+01", "bad expiry"},
        {"blank for T", "2027-01-31T", "2027-01-31 ", "bad expiry"},
        {"before 1970", "2027-01-31T", "1969-12-31T", "bad expiry"},
        {"bad pack name", "pack " + kPack1, "pack " + kPack1.substr(2), "bad pack name"},
        {"bad pack size", kPack1 + " 1048576", kPack1 + " 1048576x", "bad pack size"},
        {"pack size above 1 TiB", kPack1 + " 1048576", kPack1 + " 1099511627777",
         "pack " + kPack1 + ": size above 1 TiB"},
        {"pack without fields", packLine1, "pack\n", "'pack' without its fields"},
        {"pack listed twice", packLine1, packLine1 + packLine1, "listed twice"},
        {"pack after a file", chunkLine2, chunkLine2 + packLine1, "a pack line after the first file line"},
        {"uppercase hex", "file " + kSha1.substr(0, 4), "file 1A11", "bad SHA-256"},
        {"short hash", "file " + kSha2, "file " + kSha2.substr(1), "bad SHA-256"},
        {"bad size", " 532 velmora", " 5x2 velmora", "bad size"},
        {"size above 1 TiB", " 532 velmora", " 1099511627777 velmora", "size above 1 TiB"},
        {"no path", " 532 velmora.exe\n", " 532 \n", "missing path"},
        {"path of a blank", " 532 velmora.exe\n", " 532  \n", "ends in a dot or a blank"},
        {"file without fields", fileLine2, "file\n", "'file' without its fields"},
        {"chunk without fields", chunkLine2, "chunk\n", "'chunk' without its fields"},
        {"chunk before any file", fileLine1, chunkLine2 + fileLine1, "a chunk line before the first file line"},
        {"bad pack number", "chunk 1 0", "chunk x 0", "bad pack number"},
        {"pack not listed", "chunk 1 0", "chunk 2 0", "a chunk names a pack not listed"},
        {"pack beyond any manifest's count", "chunk 1 0", "chunk 16777217 0", "a chunk names a pack not listed"},
        {"bad offset", "chunk 1 0", "chunk 1 -0", "bad offset"},
        {"bad stored size", kSha2 + " 532 532", kSha2 + " 532 -532", "bad stored size"},
        {"line end for a blank", chunkLine2, "chunk 1\n", "bad pack number"},
        {"chunk size beyond 32 bits", kSha2 + " 532 532", kSha2 + " 4294967828 532", "bad size"},
        {"digest with a digit more", "chunk 1 0 " + kSha2, "chunk 1 0 " + kSha2 + "0", "line 12: bad SHA-256"},
        {"chunk outside its pack", "chunk 1 0 ", "chunk 1 1048575 ", "a chunk lies outside its pack"},
        {"chunk past the end of its pack", "chunk 1 0 ", "chunk 1 1048577 ", "a chunk lies outside its pack"},
        {"chunk beyond any pack", "chunk 1 0 ", "chunk 1 1099511627776 ", "a chunk lies outside its pack"},
        {"chunks short of the file size", kSha2 + " 532 532", kSha2 + " 531 531",
         "its chunks do not add up to its size"},
        {"chunks past the file size", chunkLine2, chunkLine2 + chunkLine2, "its chunks do not add up to its size"},
        {"file of chunks without any", chunkLine2, "", "its chunks do not add up to its size"},
        {"empty chunk", kSha2 + " 532 532", kSha2 + " 0 0", "a chunk is empty or too large"},
        {"chunk larger than 512 KiB", "131072 131072\n", "524289 131072\n", "a chunk is empty or too large"},
        {"stored size above size", kSha2 + " 532 532", kSha2 + " 532 533",
         "a chunk's stored size is 0 or above its size"},
        {"stored size zero", kSha2 + " 532 532", kSha2 + " 532 0", "a chunk's stored size is 0 or above its size"},
        {"same chunk hash other size", "chunk 1 0 " + kSha2, "chunk 1 0 " + kChunk1,
         "same chunk SHA-256 as another but another size"},
        {"stored chunks overlap", "chunk 0 120034 ", "chunk 0 120033 ", "stored bytes overlap"},
        {"another chunk at the same place", "chunk 0 120034 " + kChunk2 + " 131072 131072",
         "chunk 0 0 " + kChunk2 + " 131072 120034", "stored bytes overlap"},
        {"one chunk at one offset stored two ways", chunkLine2,
         chunkLine2 + "file " + kChunk2 + " 131072 other.bin\nchunk 0 120034 " + kChunk2 + " 131072 1\n",
         "stored bytes overlap"},
        {"one stored chunk of two digests alike in their start", chunkLine2,
         chunkLine2 + "file " + kSha1.substr(0, 63) + "2 532 other.exe\nchunk 1 0 " + kSha2Twin + " 532 532\n",
         "stored bytes overlap"},
        {"same content, a chunk digest alike only in its start", chunkLine2,
         chunkLine2 + "file " + kSha2 + " 532 copy.exe\nchunk 1 0 " + kSha2Twin + " 532 532\n",
         "same SHA-256 as 'velmora.exe' but other chunks"},
        {"same content, its chunk stored twice", chunkLine2,
         chunkLine2 + "file " + kSha2 + " 532 copy.exe\nchunk 1 532 " + kSha2 + " 532 532\n",
         "same SHA-256 as 'velmora.exe' but other chunks"},
        {"chunks of two files overlap", "chunk 1 0 " + kSha2 + " 532 532", "chunk 0 130000 " + kSha2 + " 532 532",
         "stored bytes overlap"},
        // Pack 1's lines out of place order, among another pack's: the
        // overlap is between neighbours in place order only.
        {"stored chunks overlap out of list order", chunkLine2,
         chunkLine2 + "file " + std::string(64, '3') + " 1596 other.bin\nchunk 1 1000 " + std::string(64, '4') +
             " 532 532\nchunk 0 251106 " + std::string(64, '5') + " 532 532\nchunk 1 500 " + std::string(64, '6') +
             " 532 532\n",
         "(pack 1, offset 500, of 'velmora.exe')"},
        {"same content other chunk order", chunkLine2,
         chunkLine2 + "file " + kSha1 + " 262144 copy.pak\nchunk 0 120034 " + kChunk2 +
             " 131072 131072\nchunk 0 0 " + kChunk1 + " 131072 120034\n",
         "same SHA-256 as 'data/maps/world.pak' but other chunks"},
        {"unsafe path", "velmora.exe\n", "../velmora.exe\n", "'.' or '..'"},
        {"carriage return", "velmora.exe\n", "velmora.exe\r\n", "control character"},
        {"duplicate path", fileLine2, fileLine2 + chunkLine2 + fileLine2, "listed twice"},
        {"duplicate in other case", chunkLine2, chunkLine2 + emptyFile + "VELMORA.EXE\n", "listed twice"},
        {"duplicate in other case beyond ASCII", chunkLine2,
         chunkLine2 + emptyFile + "\xC3\x89.txt\n" + emptyFile + "\xC3\xA9.txt\n", "listed twice"},
        {"file is also a folder", chunkLine2, chunkLine2 + emptyFile + "velmora.exe/x\n", "both a file and a folder"},
        // "data/maps-x" sorts between the two; the folder is in another case.
        {"file is also a folder in other case", chunkLine2,
         chunkLine2 + emptyFile + "data/maps-x\n" + emptyFile + "DATA/MAPS/WORLD.PAK/\xC3\xA9\n",
         "both a file and a folder"},
        {"same content other size", chunkLine2, chunkLine2 + "file " + kSha2 + " 5 other\n",
         "same SHA-256 as another file but another size"},
        {"missing signature", signature, "", "missing signature line"},
        {"short signature", signature, "signature " + std::string(126, 'a') + "\n", "bad signature"},
        {"uppercase signature", signature, "signature " + std::string(128, 'A') + "\n", "bad signature"},
        {"signature without fields", signature, "signature\n", "'signature' without its fields"},
        {"text after signature", signature, signature + "\n", "text after the signature"},
        {"chunk after signature", chunkLine2 + signature, signature + chunkLine2, "text after the signature"},
        {"blank line", "min-updater 1\n", "min-updater 1\n\n", "unknown key ''"},
        {"no final line break", signature, signature.substr(0, signature.size() - 1), "line break"},
        {"crlf everywhere", "VELMANIFEST 3\n", "VELMANIFEST 3\r\n", "bad format version"},
    };
    ExpectEachRefused(ValidText(), cases, [](const std::string& text) { return testing::ParseAnySigned(text); });
}

// The check sees exactly the bytes before the last line; what it refuses is
// not parsed, however broken, and a broken last line reaches no check.
TEST(ManifestParse, TheSignatureIsCheckedBeforeTheRestIsRead) {
    ManifestSignature last;
    last.fill(0xaa);
    std::string seen;
    int calls = 0;
    const SignatureCheck refuse = [&](std::string_view signedPart, const ManifestSignature& signature) {
        seen = signedPart;
        ++calls;
        EXPECT_EQ(signature, last);
        return Result<void>(InvalidFormat("refused by the check"));
    };
    const std::string valid = ValidText();
    const std::string broken[] = {valid, "VELMANIFESTO 3\n" + valid.substr(valid.find("version")),
                                  valid.substr(0, valid.find("file")) + "file x\n" + valid.substr(valid.find("signature"))};
    for (const std::string& text : broken) {
        const auto parsed = ParseSignedManifest(text, refuse);
        ASSERT_FALSE(parsed);
        EXPECT_EQ(parsed.Error().reason, "refused by the check");
        EXPECT_EQ(seen, text.substr(0, text.find("signature ")));
    }
    EXPECT_EQ(calls, 3);
    for (const std::string& text : {valid + "x\n", valid.substr(0, valid.size() - 2) + "\n"})
        EXPECT_FALSE(ParseSignedManifest(text, refuse));
    EXPECT_EQ(calls, 3);
}

TEST(ManifestParse, RefusesEmptyAndOversizedInput) {
    EXPECT_FALSE(testing::ParseAnySigned(""));
    // Over the limit it is refused before any line is read, even though the
    // start is valid.
    std::string huge = ValidText();
    huge.resize(kMaxManifestBytes + 1, '\n');
    const auto parsed = testing::ParseAnySigned(huge);
    ASSERT_FALSE(parsed);
    EXPECT_NE(parsed.Error().reason.find("larger than the limit"), std::string::npos);
}

TEST(ManifestParse, TheSizeLimitLeavesRoomForAHundredGigabyteGame) {
    // A game of 100 GB lists about 800,000 chunks in 200,000 files: a
    // manifest of about 98 MiB.
    constexpr std::size_t kGame = 100u * 1024 * 1024;
    const struct {
        std::size_t bytes;
        bool accepted;
    } cases[] = {{kGame, true}, {kMaxManifestBytes, true}, {kMaxManifestBytes + 1, false}};
    // One text of the largest size; each case reads as much of its end.
    const std::size_t largest = std::max(kGame, kMaxManifestBytes + 1);
    const std::string signatureLine = "signature " + std::string(128, 'a') + "\n";
    std::string text;
    text.reserve(largest);
    text.append(largest - 1 - signatureLine.size(), 'x');
    text += '\n';
    text += signatureLine;
    for (const auto& c : cases) {
        const auto split = SplitSignatureLine(std::string_view(text).substr(text.size() - c.bytes));
        EXPECT_EQ(split.Ok(), c.accepted) << c.bytes;
        if (split) {
            EXPECT_EQ(split.Value().signedPart.size(), c.bytes - signatureLine.size());
        }
    }
}

// Read keys-only, a manifest is read again only where its keys cannot tell:
// to compare the whole digests of lines that must name one SHA-256, and
// whole where the answer or the reason takes the whole lines.
TEST(ManifestParse, KeysOnlyReadsTheTextAgainOnlyWhereTheKeysCannotTell) {
    const std::string sharedChunk = "chunk 1 0 " + kSha2 + " 532 532\n";
    const struct {
        const char* name;
        std::string text;
        bool accepted;
        int reads;
    } cases[] = {
        {"digests apart in their start", ValidText(), true, 1},
        {"a refused line", ValidText().replace(ValidText().find("chunk 1 0"), 9, "chunk x 0"), false, 1},
        {"one content in two files", ValidText().replace(ValidText().find("signature"), 0,
                                                           "file " + kSha2 + " 532 copy.exe\n" + sharedChunk),
         true, 2},
        {"digests alike in their start, sizes not",
         ValidText().replace(ValidText().find("signature"), 0,
                             "file " + kSha2Twin + " 531 other.exe\nchunk 1 532 " + kSha2Twin + " 531 531\n"),
         true, 2},
        {"a refused content", ValidText().replace(ValidText().find(" 532 532"), 8, " 532 533"), false, 2},
        {"a stored chunk of two digests alike in their start",
         ValidText().replace(ValidText().find("signature"), 0,
                             "file " + kSha2Twin + " 532 other.exe\nchunk 1 0 " + kSha2Twin + " 532 532\n"),
         false, 3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(testing::ParseAnySigned(c.text).Ok(), c.accepted) << c.name;
        int reads = 0;
        EXPECT_EQ(testing::ReadKeysInPieces(c.text, 7, reads).Ok(), c.accepted) << c.name;
        EXPECT_EQ(reads, c.reads) << c.name;
    }
}

TEST(ManifestParse, ReasonsNameTheLine) {
    std::string text = ValidText();
    text.replace(text.find(" 532 velmora") + 1, 3, "5z2");
    const auto parsed = testing::ParseAnySigned(text);
    ASSERT_FALSE(parsed);
    EXPECT_EQ(parsed.Error().reason, "line 11: bad size");
}

// The head, in the form docs/update-format.md gives, before its signature.
std::string HeadText() {
    return "VELHEAD 1\n"
           "version 42\n"
           "expires 2027-01-31T00:00:00Z\n"
           "min-updater 1\n"
           "manifest " + kSha2 + " 201733 98012\n";
}

TEST(ManifestHead, TheDocumentedHeadReadsAndWritesByteForByte) {
    const ManifestHead head{42, 1801353600, 1, DigestFromHex(kSha2), 201733, 98012};
    EXPECT_EQ(HeadBody(head), HeadText());
    const auto parsed = ParseHeadBody(HeadText());
    ASSERT_TRUE(parsed) << parsed.Error().reason;
    EXPECT_EQ(parsed.Value(), head);
    EXPECT_TRUE(IsHeadText(HeadText()));
    EXPECT_FALSE(IsHeadText(ValidText()));
    EXPECT_FALSE(IsHeadText("VELHEADX 1\n"));

    // The manifest it names must say what the head says.
    Manifest manifest = ManifestWith(42, {});
    manifest.expires = head.expires;
    manifest.minUpdater = head.minUpdater;
    EXPECT_TRUE(CheckHeadAgrees(head, manifest));
    Manifest otherVersion = manifest, otherExpiry = manifest, otherFloor = manifest;
    otherVersion.version = 41;
    otherExpiry.expires += 1;
    otherFloor.minUpdater = 2;
    for (const Manifest& other : {otherVersion, otherExpiry, otherFloor}) {
        const auto refused = CheckHeadAgrees(head, other);
        ASSERT_FALSE(refused);
        EXPECT_EQ(refused.Error().status, EngineStatus::InvalidFormat);
    }
}

TEST(ManifestHead, RefusesEveryKindOfBadHead) {
    const std::string manifestLine = "manifest " + kSha2 + " 201733 98012\n";
    const BadCase cases[] = {
        {"a manifest", "VELHEAD 1", "VELMANIFEST 2", "not a Velmora head"},
        {"later format", "VELHEAD 1", "VELHEAD 2", "head format 2 is not known"},
        {"format with zero", "VELHEAD 1", "VELHEAD 01", "bad format version"},
        {"missing version", "version 42\n", "", "expected the 'version' line"},
        {"keys out of order", "version 42\nexpires 2027-01-31T00:00:00Z\n",
         "expires 2027-01-31T00:00:00Z\nversion 42\n", "expected the 'version' line"},
        {"bad version", "version 42", "version -42", "bad version number"},
        {"bad expiry", "2027-01-31T00:00:00Z", "2027-01-31 00:00:00", "bad expiry time"},
        {"bad min-updater", "min-updater 1", "min-updater one", "bad min-updater number"},
        {"missing manifest line", manifestLine, "", "missing 'manifest' line"},
        {"a pack line instead", manifestLine, "pack " + kSha2 + " 1\n", "expected the 'manifest' line"},
        {"uppercase SHA-256", kSha2, "2C26" + kSha2.substr(4), "bad manifest SHA-256"},
        {"short SHA-256", kSha2, kSha2.substr(2), "bad manifest SHA-256"},
        {"empty manifest", " 201733 ", " 0 ", "bad manifest size"},
        {"manifest over the limit", " 201733 ", " " + std::to_string(kMaxManifestBytes + 1) + " ",
         "bad manifest size"},
        {"stored size zero", " 98012\n", " 0\n", "bad manifest stored size"},
        {"stored size over the bound", " 98012\n", " " + std::to_string(kMaxStoredManifestBytes + 1) + "\n",
         "bad manifest stored size"},
        {"no stored size", " 201733 98012\n", " 201733\n", "bad manifest size"},
        {"a field more", " 98012\n", " 98012 7\n", "bad manifest stored size"},
        {"two blanks", " 201733 ", " 201733  ", "bad manifest stored size"},
        {"a line more", manifestLine, manifestLine + "mirror http://x\n", "text after the manifest line"},
        {"no final line break", manifestLine, manifestLine.substr(0, manifestLine.size() - 1),
         "missing 'manifest' line"},
        {"crlf", "VELHEAD 1\n", "VELHEAD 1\r\n", "bad format version"},
    };
    ExpectEachRefused(HeadText(), cases, [](const std::string& text) { return ParseHeadBody(text); });
}

}  // namespace
}  // namespace velmora::engine
