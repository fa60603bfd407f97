// SHA-256 and the manifest's signature through CNG, as the engine runs them
// under Windows (and Wine).
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <string>

#include "core/cancel_flag.h"
#include "core/hex.h"
#include "core/manifest_parse.h"
#include "core/trusted_keys.h"
#include "win/sha256_win.h"
#include "win/signature_win.h"
#include "support/test_folder.h"

namespace velmora::engine {
namespace {

using velmora::testing::TestFolder;
using velmora::testing::WriteTextFile;

std::span<const std::uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Published with `velmora-publish publish` from a release folder holding
// hello.txt ("hello\n"), signed with comp/keys/test-private.pem.
// The signature's s is the low-s form; the other form, (r, n - s), is
// kUpperHalfS.
constexpr std::string_view kSignedManifest =
    "VELMANIFEST 2\n"
    "version 7\n"
    "expires 2099-01-01T00:00:00Z\n"
    "min-updater 1\n"
    "pack 5891b5b522d5df086d0ff0b110fbd9d21bb4fc7163af34d08286a2e846f6be03 6\n"
    "file 5891b5b522d5df086d0ff0b110fbd9d21bb4fc7163af34d08286a2e846f6be03 6 hello.txt\n"
    "chunk 0 0 5891b5b522d5df086d0ff0b110fbd9d21bb4fc7163af34d08286a2e846f6be03 6 6\n"
    "signature ae64a14b9d9c17ae5366f64203a2bafe3b071aba9653444ab70d7d60b40f31aa"
    "508958787245a66f25bcfaa94f5a537716367dcc6d28768dd4baf8cb09aab551\n";

constexpr std::string_view kUpperHalfS = "af76a7868dba5991da430556b0a5ac88a6b07ce139ef27f71efed1f7f2b87000";

TEST(EngineWinCrypto, Sha256OfKnownTexts) {
    const struct {
        std::string text;
        std::size_t pieces;  // fed in this many parts
        const char* digest;
    } cases[] = {
        {"", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", 1, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 7,
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), 1000, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        Sha256 hash;
        const std::size_t step = c.text.size() / c.pieces + 1;
        for (std::size_t at = 0; at < c.text.size(); at += step)
            ASSERT_TRUE(hash.Update(Bytes(std::string_view(c.text).substr(at, step))));
        auto digest = hash.Finish();
        ASSERT_TRUE(digest) << digest.Error().reason;
        EXPECT_EQ(ToHex(digest.Value()), c.digest) << c.text.size() << " bytes";
    }
}

TEST(EngineWinCrypto, DigestOfFileGivesSizeAndHashOrWrongFile) {
    TestFolder folder;
    WriteTextFile(folder / L"abc.txt", "abc");
    CancelFlag cancel;
    auto digest = DigestOfFile(folder / L"abc.txt", cancel);
    ASSERT_TRUE(digest) << digest.Error().reason;
    EXPECT_EQ(digest.Value().size, 3u);
    EXPECT_EQ(ToHex(digest.Value().sha256), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

    auto missing = DigestOfFile(folder / L"missing.txt", cancel);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.Error().status, EngineStatus::WrongFile);

    cancel.Raise();
    auto stopped = DigestOfFile(folder / L"abc.txt", cancel);
    ASSERT_FALSE(stopped);
    EXPECT_TRUE(IsStop(stopped.Error()));
}

// Each case changes one thing of a manifest the publishing tool signed.
TEST(EngineWinCrypto, ManifestSignatureChecksOutOnlyAsSigned) {
    auto parsed = ParseSignedManifest(kSignedManifest, VerifyManifestSignature);
    ASSERT_TRUE(parsed) << parsed.Error().reason;
    const SignedManifest& manifest = parsed.Value();
    const std::span<const std::uint8_t> body = Bytes(kSignedManifest.substr(0, manifest.signedLength));
    // These tests are built trusting the test key alone.
    const PublicKeyBytes testKey(TrustedKeys().front().point);
    std::array<std::uint8_t, 64> otherKey = TrustedKeys().front().point;
    otherKey[63] ^= 1;  // no longer a point of the curve

    const std::string changedBody = [&] {
        std::string text(kSignedManifest.substr(0, manifest.signedLength));
        text[text.find("version 7")] = 'V';
        return text;
    }();
    ManifestSignature flipped = manifest.signature;
    flipped[40] ^= 0x10;
    ManifestSignature upperHalf = manifest.signature;
    ASSERT_TRUE(FromHex(kUpperHalfS, std::span(upperHalf).subspan(32)));
    ManifestSignature zero{};

    const struct {
        const char* name;
        std::span<const std::uint8_t> body;
        const ManifestSignature* signature;
        PublicKeyBytes key;
        bool valid;
    } cases[] = {
        {"as signed", body, &manifest.signature, testKey, true},
        {"one byte of the text changed", Bytes(changedBody), &manifest.signature, testKey, false},
        {"one bit of s changed", body, &flipped, testKey, false},
        {"s in the upper half (n - s, valid ECDSA)", body, &upperHalf, testKey, false},
        {"r and s zero", body, &zero, testKey, false},
        {"text cut short", body.first(body.size() - 1), &manifest.signature, testKey, false},
        {"another key", body, &manifest.signature, PublicKeyBytes(otherKey), false},
    };
    for (const auto& c : cases) {
        const Result<void> verdict = VerifySignature(c.body, *c.signature, c.key);
        EXPECT_EQ(verdict.Ok(), c.valid) << c.name;
        if (!verdict) {
            EXPECT_EQ(verdict.Error().status, EngineStatus::InvalidFormat) << c.name;
        }
    }
    EXPECT_FALSE(ParseSignedManifest(changedBody + std::string(kSignedManifest.substr(manifest.signedLength)),
                                     VerifyManifestSignature));

    // The key that made it, and the digest of what it signed.
    const auto signer = CheckManifestSignature(kSignedManifest.substr(0, manifest.signedLength), manifest.signature);
    ASSERT_TRUE(signer) << signer.Error().reason;
    EXPECT_EQ(signer.Value().key, "test");
    Sha256 hash;
    ASSERT_TRUE(hash.Update(body));
    EXPECT_EQ(signer.Value().signedDigest, hash.Finish().Value());
    const auto refused = CheckManifestSignature(kSignedManifest.substr(0, manifest.signedLength), upperHalf);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.Error().reason.find("upper half"), std::string::npos) << refused.Error().reason;
}

}  // namespace
}  // namespace velmora::engine
