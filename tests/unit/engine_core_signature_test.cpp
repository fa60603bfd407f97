// Manifest signatures made and checked with the publishing tool's own code
// and keys, in the raw forms the engine uses: the public point X||Y compiled
// into it and the signature r||s on the last line of gamedata.vel.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/manifest_parse.h"
#include "core/manifest_write.h"
#include "core/signature_form.h"
#include "engine_core_test_support.h"
#include "key_header.h"
#include "keys/test-public.h"
#include "signature_check.h"
#include "signature_twin.h"
#include "signing_key.h"

namespace velmora::engine {
namespace {

using publish::PublicKeyBytes;
using publish::SignatureMatches;
using publish::SigningKey;
using testing::FileEntry;
using testing::ManifestWith;
using testing::SignatureTwin;

const std::string kKeys = VELMORA_ENGINE_TEST_KEYS;

PublicKeyBytes CompiledInTestKey() {
    PublicKeyBytes key;
    std::copy(std::begin(kManifestPublicKey), std::end(kManifestPublicKey), key.begin());
    return key;
}

std::string SignedText(const SigningKey& key) {
    const std::string body = ManifestBody(ManifestWith(
        3, {FileEntry("velmora.exe", 1, 5000, 5000), FileEntry("data/world.pak", 2, 100000, 40000)}));
    return WithSignature(body, key.Sign(body));
}

bool Accepted(const std::string& text, const PublicKeyBytes& key) {
    return ParseSignedManifest(text, [&](std::string_view signedPart, const ManifestSignature& signature) {
        return SignatureMatches(key, signedPart, signature) ? Result<void>() : InvalidFormat("signature");
    }).Ok();
}

TEST(ManifestSignature, TheTestHeaderHoldsThePublicHalfOfTheTestPrivateKey) {
    const SigningKey key = SigningKey::LoadPem(kKeys + "/test-private.pem");
    EXPECT_EQ(key.PublicKey(), CompiledInTestKey());
    EXPECT_EQ(publish::LoadPublicKeyFile(kKeys + "/test-public.h"), CompiledInTestKey());
}

TEST(ManifestSignature, AManifestSignedWithTheTestKeyChecksOut) {
    const SigningKey key = SigningKey::LoadPem(kKeys + "/test-private.pem");
    EXPECT_TRUE(Accepted(SignedText(key), CompiledInTestKey()));
}

TEST(ManifestSignature, EveryChangedByteIsCaught) {
    const SigningKey key = SigningKey::LoadPem(kKeys + "/test-private.pem");
    const std::string text = SignedText(key);
    // Each byte of the file in turn, signed part and signature alike: the
    // change makes it unparseable or the signature fails.
    int parsedButRefused = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::string tampered = text;
        tampered[i] = static_cast<char>(tampered[i] ^ 0x01);
        ASSERT_FALSE(Accepted(tampered, CompiledInTestKey())) << "byte " << i << " of\n" << tampered;
        if (testing::ParseAnySigned(tampered)) ++parsedButRefused;
    }
    // Many changes still parse (a digit of the version, a letter of a path):
    // those are the ones only the signature stops.
    EXPECT_GT(parsedButRefused, 100);
}

TEST(ManifestSignature, AnotherKeyDoesNotCheckOut) {
    const SigningKey other = SigningKey::Generate();
    EXPECT_NE(other.PublicKey(), CompiledInTestKey());
    EXPECT_FALSE(Accepted(SignedText(other), CompiledInTestKey()));
    EXPECT_TRUE(Accepted(SignedText(other), other.PublicKey()));
}

TEST(ManifestSignature, RawSignaturesOfManyMessagesCheckOutInTheLowSFormOnly) {
    // r and s are fixed-width: values with leading zero bytes or the top bit
    // set must survive the conversion from and to OpenSSL's DER. OpenSSL
    // gives s in either half; what the tool signs is always the lower, and
    // the twin (r, n - s), valid ECDSA too, is refused.
    const SigningKey key = SigningKey::Generate();
    for (int i = 0; i < 200; ++i) {
        const std::string message = "message " + std::to_string(i);
        const ManifestSignature signature = key.Sign(message);
        ASSERT_TRUE(HasLowS(signature)) << message;
        ASSERT_TRUE(SignatureMatches(key.PublicKey(), message, signature)) << message;
        ASSERT_FALSE(SignatureMatches(key.PublicKey(), message + ".", signature)) << message;
        const ManifestSignature twin = SignatureTwin(signature);
        ASSERT_FALSE(SignatureMatches(key.PublicKey(), message, twin)) << message;
        ASSERT_EQ(WithLowS(twin), signature) << message;
    }
}

// s around the middle and the end of its range, r kept as it is.
TEST(ManifestSignature, LowSFormIsTheLowerHalfOfTheGroupOrder) {
    const std::string r = std::string(62, '0') + "2a";
    const std::string half = "7fffffff800000007fffffffffffffffde737d56d38bcf4279dce5617e3192a8";  // (n - 1) / 2
    const std::string order = "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551";  // n
    const struct {
        std::string s;
        bool low;
        std::string lowForm;  // s of WithLowS
    } cases[] = {
        {std::string(64, '0'), true, std::string(64, '0')},
        {half, true, half},
        {"7fffffff800000007fffffffffffffffde737d56d38bcf4279dce5617e3192a9", false, half},
        {"ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632550", false, std::string(63, '0') + "1"},
        {"af76a7868dba5991da430556b0a5ac88a6b07ce139ef27f71efed1f7f2b87000", false,
         "508958787245a66f25bcfaa94f5a537716367dcc6d28768dd4baf8cb09aab551"},
        // Out of range: no signature, left as it is for the check to refuse.
        {order, false, order},
        {std::string(64, 'f'), false, std::string(64, 'f')},
    };
    for (const auto& c : cases) {
        ManifestSignature signature;
        ASSERT_TRUE(FromHex(r + c.s, signature)) << c.s;
        EXPECT_EQ(HasLowS(signature), c.low) << c.s;
        EXPECT_EQ(ToHex(WithLowS(signature)), r + c.lowForm) << c.s;
    }
}

TEST(ManifestSignature, DegenerateSignaturesAreRefused) {
    const SigningKey key = SigningKey::Generate();
    ManifestSignature zeros{};
    ManifestSignature ones;
    ones.fill(0xFF);  // r and s above the group order
    EXPECT_FALSE(SignatureMatches(key.PublicKey(), "x", zeros));
    EXPECT_FALSE(SignatureMatches(key.PublicKey(), "x", ones));
}

TEST(KeyHeader, ReadsBackWhatKeygenWrites) {
    const SigningKey key = SigningKey::Generate();
    const std::string header = publish::KeyHeaderText(key.PublicKey(), "A key.");
    EXPECT_EQ(publish::ParseKeyHeader(header), key.PublicKey());
    EXPECT_NE(header.find("inline constexpr unsigned char kManifestPublicKey[64]"), std::string::npos);

    std::string shortened = header;
    shortened.erase(shortened.rfind("0x"), 5);  // 63 bytes
    EXPECT_FALSE(publish::ParseKeyHeader(shortened));
    std::string longer = header;
    longer.insert(longer.rfind("0x"), "0x00, ");  // 65 bytes
    EXPECT_FALSE(publish::ParseKeyHeader(longer));
    std::string garbled = header;
    garbled[garbled.rfind("0x") + 2] = 'g';
    EXPECT_FALSE(publish::ParseKeyHeader(garbled));
}

}  // namespace
}  // namespace velmora::engine
