#include <gtest/gtest.h>

#include <string>

#include "core/hex.h"
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

Sha256Digest DigestFromHex(const std::string& hex) {
    Sha256Digest digest{};
    EXPECT_TRUE(FromHex(hex, digest)) << hex;
    return digest;
}

// A valid manifest as text, in the form docs/update-format.md gives.
std::string ValidText() {
    return "VELMANIFEST 1\n"
           "version 42\n"
           "expires 2027-01-31T00:00:00Z\n"
           "min-updater 1\n"
           "file " + kSha1 + " 1048576 " + kSha1 + ".z 400213 data/maps/world.pak\n"
           "file " + kSha2 + " 532 " + kSha2 + " 532 velmora.exe\n"
           "signature " + std::string(128, 'a') + "\n";
}

TEST(ManifestFormat, TheDocumentedExampleReadsAndWritesByteForByte) {
    const Manifest manifest = {42, 1801353600, 1,
                               {{DigestFromHex(kSha1), 1048576, kSha1 + ".z", 400213, "data/maps/world.pak"},
                                {DigestFromHex(kSha2), 532, kSha2, 532, "velmora.exe"}}};
    ManifestSignature signature;
    signature.fill(0xaa);
    EXPECT_EQ(WithSignature(ManifestBody(manifest), signature), ValidText());

    const auto parsed = testing::ParseAnySigned(ValidText());
    ASSERT_TRUE(parsed) << parsed.Error().reason;
    EXPECT_EQ(parsed.Value().manifest, manifest);
    EXPECT_EQ(parsed.Value().signature, signature);
    EXPECT_EQ(parsed.Value().signedLength, ValidText().find("signature "));
}

TEST(ManifestWrite, ParsingWhatWasWrittenGivesTheSameManifest) {
    const Manifest manifests[] = {
        ManifestWith(0, {}),
        ManifestWith(UINT64_MAX, {FileEntry("a b/c d.txt", 1, 10, 10), FileEntry("x", 2, 0, 0)}),
        {7, 253402300799, 123456789,
         {FileEntry("Ünïcode/ñandú.dat", 3, kMaxFileSize, 99), FileEntry("same/as/first", 3, kMaxFileSize, 99),
          FileEntry("deep/er/er/er/file.bin", 4, 5, 5)}},
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
    std::string from;  // replaced once in ValidText()
    std::string to;
    const char* reason;  // part of the expected reason
};

TEST(ManifestParse, RefusesEveryKindOfBadManifest) {
    const std::string fileLine1 = "file " + kSha1 + " 1048576 " + kSha1 + ".z 400213 data/maps/world.pak\n";
    const std::string fileLine2 = "file " + kSha2 + " 532 " + kSha2 + " 532 velmora.exe\n";
    const std::string signature = "signature " + std::string(128, 'a') + "\n";
    const BadCase cases[] = {
        {"other magic", "VELMANIFEST 1", "VELMANIFESTO 1", "not a Velmora manifest"},
        {"no format", "VELMANIFEST 1", "VELMANIFEST", "not a Velmora manifest"},
        {"unknown format", "VELMANIFEST 1", "VELMANIFEST 2", "format 2 is not known"},
        {"format with zero", "VELMANIFEST 1", "VELMANIFEST 01", "bad format version"},
        {"missing version", "version 42\n", "", "missing key 'version'"},
        {"missing expires", "expires 2027-01-31T00:00:00Z\n", "", "missing key 'expires'"},
        {"missing min-updater", "min-updater 1\n", "", "missing key 'min-updater'"},
        {"keys out of order", "version 42\nexpires 2027-01-31T00:00:00Z\n",
         "expires 2027-01-31T00:00:00Z\nversion 42\n", "missing key 'version'"},
        {"repeated key", "expires 2027", "version 42\nexpires 2027", "repeated key 'version'"},
        {"key after files", signature, "version 43\n" + signature, "repeated key 'version'"},
        {"unknown key", "min-updater 1\n", "min-updater 1\nmirror http://x\n", "unknown key 'mirror'"},
        {"unknown key among keys", "expires", "mirror x\nexpires", "unknown key 'mirror'"},
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
        {"uppercase hex", "file " + kSha1.substr(0, 4), "file 1A11", "bad SHA-256"},
        {"short hash", "file " + kSha2, "file " + kSha2.substr(1), "bad SHA-256"},
        {"bad size", " 532 " + kSha2, " 5x2 " + kSha2, "bad size"},
        {"size above 1 TiB", " 532 " + kSha2 + " 532", " 1099511627777 " + kSha2 + " 1099511627777",
         "size above 1 TiB"},
        {"bad stored size", kSha2 + " 532 velmora", kSha2 + " -532 velmora", "bad stored size"},
        {"no path", " 532 velmora.exe", " 532", "missing path"},
        {"empty path", " 532 velmora.exe", " 532 ", "empty path"},
        {"file without fields", fileLine2, "file\n", "'file' without its fields"},
        {"object of other content", kSha2 + " 532 " + kSha2, kSha2 + " 532 " + kSha1, "not named after"},
        {"object with other suffix", kSha2 + " 532 " + kSha2, kSha2 + " 532 " + kSha2 + ".gz",
         "not named after"},
        {"plain object of other size", kSha2 + " 532", kSha2 + " 533", "stored size other than"},
        {"unsafe path", "velmora.exe\n", "../velmora.exe\n", "'.' or '..'"},
        {"carriage return", "velmora.exe\n", "velmora.exe\r\n", "control character"},
        {"duplicate path", fileLine2, fileLine2 + fileLine2, "listed twice"},
        {"duplicate in other case", fileLine2,
         fileLine2 + "file " + kSha1 + " 1 " + kSha1 + " 1 VELMORA.EXE\n", "listed twice"},
        {"duplicate in other case beyond ASCII", "velmora.exe\n",
         "\xC3\x89.txt\n" + fileLine1.substr(0, fileLine1.rfind(' ')) + " \xC3\xA9.txt\n", "listed twice"},
        {"file is also a folder", fileLine2,
         fileLine2 + "file " + kSha1 + " 1048576 " + kSha1 + ".z 400213 velmora.exe/x\n", "both a file and a folder"},
        // "data/maps-x" sorts between the two; the folder is in another case.
        {"file is also a folder in other case", fileLine2,
         fileLine2 + "file " + kSha2 + " 532 " + kSha2 + " 532 data/maps-x\nfile " + kSha2 + " 532 " + kSha2 +
             " 532 DATA/MAPS/WORLD.PAK/\xC3\xA9\n",
         "both a file and a folder"},
        {"same content other size", fileLine2, fileLine2 + "file " + kSha1 + " 5 " + kSha1 + " 5 other\n",
         "same SHA-256 as another file but another size"},
        {"same object other stored size", fileLine2,
         fileLine2 + "file " + kSha1 + " 1048576 " + kSha1 + ".z 400214 other\n", "another stored size"},
        {"missing signature", signature, "", "missing signature line"},
        {"short signature", signature, "signature " + std::string(126, 'a') + "\n", "bad signature"},
        {"uppercase signature", signature, "signature " + std::string(128, 'A') + "\n", "bad signature"},
        {"signature without fields", signature, "signature\n", "'signature' without its fields"},
        {"text after signature", signature, signature + "\n", "text after the signature"},
        {"file after signature", fileLine2 + signature, signature + fileLine2, "text after the signature"},
        {"blank line", "min-updater 1\n", "min-updater 1\n\n", "unknown key ''"},
        {"no final line break", signature, signature.substr(0, signature.size() - 1), "line break"},
        {"crlf everywhere", "VELMANIFEST 1\n", "VELMANIFEST 1\r\n", "bad format version"},
    };
    for (const BadCase& c : cases) {
        std::string text = ValidText();
        const std::size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.name;
        text.replace(at, c.from.size(), c.to);
        const auto parsed = testing::ParseAnySigned(text);
        ASSERT_FALSE(parsed) << c.name;
        EXPECT_EQ(parsed.Error().status, EngineStatus::InvalidFormat) << c.name;
        EXPECT_NE(parsed.Error().reason.find(c.reason), std::string::npos)
            << c.name << ": expected '" << c.reason << "' in '" << parsed.Error().reason << "'";
    }
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
    const std::string broken[] = {valid, "VELMANIFESTO 1\n" + valid.substr(valid.find("version")),
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

TEST(ManifestParse, ReasonsNameTheLine) {
    std::string text = ValidText();
    text.replace(text.find(" 532 " + kSha2) + 1, 3, "5z2");
    const auto parsed = testing::ParseAnySigned(text);
    ASSERT_FALSE(parsed);
    EXPECT_EQ(parsed.Error().reason, "line 6: bad size");
}

}  // namespace
}  // namespace velmora::engine
