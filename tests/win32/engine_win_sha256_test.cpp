// The engine's SHA-256: the SHA-extension code and the CNG fallback, each
// against published digests, and against each other on random data cut at
// random places.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <algorithm>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/hex.h"
#include "win/sha256_win.h"
#include "win/sha256_x86.h"

namespace velmora::engine {
namespace {

std::span<const std::uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

const char* Name(Sha256Method method) { return method == Sha256Method::Cng ? "CNG" : "fastest"; }

// Hashes `data` fed in the pieces whose ends are `cuts` (ascending),
// asking for the digest so far after each piece: that must leave the hash
// to go on, and give the digest at the end.
std::string DigestInPieces(Sha256Method method, std::span<const std::uint8_t> data,
                           const std::vector<std::size_t>& cuts) {
    Sha256 hash(method);
    std::size_t at = 0;
    for (std::size_t cut : cuts) {
        if (auto fed = hash.Update(data.subspan(at, cut - at)); !fed) return "update failed: " + fed.Error().reason;
        if (auto soFar = hash.DigestSoFar(); !soFar) return "digest so far failed: " + soFar.Error().reason;
        at = cut;
    }
    if (auto fed = hash.Update(data.subspan(at)); !fed) return "update failed: " + fed.Error().reason;
    const auto soFar = hash.DigestSoFar();
    auto digest = hash.Finish();
    if (!digest) return "finish failed: " + digest.Error().reason;
    if (!soFar || soFar.Value() != digest.Value()) return "the digest so far differs at the end";
    return ToHex(digest.Value());
}

std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

// The methods under test here: the SHA-extension code only runs on a
// processor that has them (Fastest falls back to CNG otherwise; see
// FastestTakesTheExtensionsExactlyWhenTheCpuHasThem).
const Sha256Method kMethods[] = {Sha256Method::Fastest, Sha256Method::Cng};

TEST(EngineWinSha256, KnownDigestsByEachMethod) {
    const std::string million(1000000, 'a');
    const struct {
        std::string text;
        std::size_t pieces;  // fed in about this many equal parts
        const char* digest;
    } texts[] = {
        {"", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", 1, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abc", 3, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1,
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrst"
         "nopqrstu",
         5, "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {million, 1, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {million, 999, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    // Lengths around the places where the padding needs one or two blocks,
    // of bytes (7i + 3) mod 256; digests from Python's hashlib.
    const struct {
        std::size_t size;
        const char* digest;
    } patterns[] = {
        {55, "e7313d333c272e639f790978283f9eb392e843d0f29b7016828bb1daa4aac70b"},
        {56, "4324d65f3c103567f5589c710bc08f8523f929a9272e3af36fc968e52abc6c27"},
        {57, "35df609437dcfea3279283ab79fd554e2bf78f8f7ae2de532d8ee300b09e8f73"},
        {63, "81c80242132f230c3bd41b3e63bbcff16107339549214a99614ff26664625055"},
        {64, "39e3d7b6b5d075d37d053ad89b24b41bef4f3c29760c84447cab3f3be1882241"},
        {65, "aacca6ff74fdbb296d165a45cecfa04e5127bc008770fbbdd48006f2d2fae95e"},
        {119, "9ce7368e4daf32341631b492e80359dc9f594b48453cd0dd5bf0b19279cc177e"},
        {120, "7836b787757e95e58b3ca5aec90b1b004e8deba1e50e9675af9cabf1a13a04b5"},
        {127, "a8d23e75d936f303d248888d9b165ee543f4cbafcad3c9dd2a79bd84faa11d07"},
        {128, "d2742f1f4ac6bb7ca2b239ee18402ba8b3f9f8e652d2a72973c2b9ba11c08cf6"},
    };
    for (Sha256Method method : kMethods) {
        for (const auto& c : texts) {
            const auto data = Bytes(c.text);
            std::vector<std::size_t> cuts;
            const std::size_t step = c.text.size() / c.pieces + 1;
            for (std::size_t at = step; at < c.text.size(); at += step) cuts.push_back(at);
            EXPECT_EQ(DigestInPieces(method, data, cuts), c.digest)
                << Name(method) << ", " << c.text.size() << " bytes in " << cuts.size() + 1 << " pieces";
        }
        for (const auto& c : patterns) {
            const auto data = Pattern(c.size);
            EXPECT_EQ(DigestInPieces(method, data, {}), c.digest) << Name(method) << ", " << c.size << " bytes";
            // One byte at a time: every byte goes through the unfinished block.
            std::vector<std::size_t> everyByte;
            for (std::size_t at = 1; at < c.size; ++at) everyByte.push_back(at);
            EXPECT_EQ(DigestInPieces(method, data, everyByte), c.digest)
                << Name(method) << ", " << c.size << " bytes one at a time";
        }
    }
}

// Every length from 0 to a few blocks and some long odd ones, each whole and
// cut at random places (unaligned pieces, empty pieces, pieces that end
// inside, at and across block bounds): the fastest method must agree with
// CNG.
TEST(EngineWinSha256, FastestAgreesWithCngOnRandomDataCutAnywhere) {
    std::mt19937 random(20261208);
    std::vector<std::size_t> sizes;
    for (std::size_t size = 0; size <= 300; ++size) sizes.push_back(size);
    for (std::size_t size : {1000u, 4095u, 4096u, 4097u, 65599u, 262144u, 1048589u}) sizes.push_back(size);
    int compared = 0;
    for (std::size_t size : sizes) {
        std::vector<std::uint8_t> data(size);
        for (auto& byte : data) byte = static_cast<std::uint8_t>(random());
        const std::string expected = DigestInPieces(Sha256Method::Cng, data, {});
        ASSERT_EQ(expected.size(), 64u) << expected;
        for (int round = 0; round < 4; ++round) {
            std::vector<std::size_t> cuts;
            if (round > 0 && size > 0) {
                std::uniform_int_distribution<std::size_t> at(0, size);
                const int count = round == 1 ? 1 : round == 2 ? 5 : 40;
                for (int i = 0; i < count; ++i) cuts.push_back(at(random));
                std::sort(cuts.begin(), cuts.end());
            }
            const std::string fastest = DigestInPieces(Sha256Method::Fastest, data, cuts);
            EXPECT_EQ(fastest, expected) << size << " bytes in " << cuts.size() + 1 << " pieces";
            if (fastest != expected) return;  // one report is enough
            ++compared;
        }
    }
    EXPECT_EQ(compared, static_cast<int>(sizes.size()) * 4);
}

// Linux's own account of the processor, read through Wine's Z: drive:
// whether its flags include sha_ni, ssse3 and sse4_1. Empty when unreadable
// (not under Wine).
std::optional<bool> LinuxSaysShaExtensions() {
    std::ifstream cpuinfo("Z:\\proc\\cpuinfo");
    if (!cpuinfo) return std::nullopt;
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (!line.starts_with("flags")) continue;
        std::istringstream words(line);
        std::string word;
        bool sha = false, ssse3 = false, sse41 = false;
        while (words >> word) {
            sha |= word == "sha_ni";
            ssse3 |= word == "ssse3";
            sse41 |= word == "sse4_1";
        }
        return sha && ssse3 && sse41;
    }
    return std::nullopt;
}

TEST(EngineWinSha256, FastestTakesTheExtensionsExactlyWhenTheCpuHasThem) {
    const std::optional<bool> fromLinux = LinuxSaysShaExtensions();
    if (fromLinux) {
        EXPECT_EQ(CpuHasShaExtensions(), *fromLinux) << "CPUID and /proc/cpuinfo disagree";
    }
    EXPECT_EQ(Sha256(Sha256Method::Fastest).UsesShaExtensions(), CpuHasShaExtensions());
    EXPECT_FALSE(Sha256(Sha256Method::Cng).UsesShaExtensions());
    EXPECT_EQ(Sha256().UsesShaExtensions(), CpuHasShaExtensions()) << "the default is the fastest method";
    if (!CpuHasShaExtensions()) GTEST_SKIP() << "no SHA extensions here: only the CNG path was tested";
}

// Moving a hash half-way keeps what it has taken in, for both methods.
TEST(EngineWinSha256, MovedHashCarriesOn) {
    for (Sha256Method method : kMethods) {
        Sha256 first(method);
        ASSERT_TRUE(first.Update(Bytes("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmn")));
        Sha256 second(std::move(first));
        ASSERT_TRUE(second.Update(Bytes("omnopnopq")));
        auto digest = second.Finish();
        ASSERT_TRUE(digest) << Name(method) << ": " << digest.Error().reason;
        EXPECT_EQ(ToHex(digest.Value()), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1")
            << Name(method);
    }
}

TEST(EngineWinSha256, SpentHashRefusesMore) {
    for (Sha256Method method : kMethods) {
        Sha256 hash(method);
        ASSERT_TRUE(hash.Update(Bytes("abc")));
        ASSERT_TRUE(hash.Finish()) << Name(method);
        const Result<void> more = hash.Update(Bytes("d"));
        ASSERT_FALSE(more) << Name(method);
        EXPECT_EQ(more.Error().status, EngineStatus::WrongFile) << Name(method);
        const auto again = hash.Finish();
        ASSERT_FALSE(again) << Name(method);
        EXPECT_EQ(again.Error().status, EngineStatus::WrongFile) << Name(method);
    }
}

}  // namespace
}  // namespace velmora::engine
