#include <gtest/gtest.h>

#include <ctime>
#include <ostream>
#include <random>

#include "core/accepted_floor.h"
#include "core/engine_version.h"
#include "core/hex.h"
#include "core/manifest_acceptance.h"
#include "core/release_choice.h"
#include "core/utc_time.h"
#include "engine_core_test_support.h"

namespace velmora::engine {

// Failures print the floor as its record says it.
void PrintTo(const AcceptedFloor& floor, std::ostream* out) {
    *out << "version " << floor.version << ", signed-sha256 "
         << (floor.signedDigest ? ToHex(*floor.signedDigest) : std::string("none")) << ", key '" << floor.key << "'";
}

namespace {

constexpr std::int64_t kExpires = 1801353600;  // 2027-01-31T00:00:00Z

TEST(ManifestAcceptance, RollbackRefusesOnlyOlderVersions) {
    const struct {
        std::optional<std::uint64_t> local;
        std::uint64_t remote;
        bool accepted;
    } cases[] = {
        {std::nullopt, 0, true}, {std::nullopt, 7, true}, {5, 6, true}, {5, 5, true},
        {5, 4, false},           {UINT64_MAX, 0, false},  {0, UINT64_MAX, true},
    };
    for (const auto& c : cases) {
        const auto result = CheckNotRolledBack(c.local, c.remote);
        EXPECT_EQ(result.Ok(), c.accepted) << "local " << c.local.value_or(0) << " remote " << c.remote;
        if (!result) {
            EXPECT_EQ(result.Error().status, EngineStatus::InvalidFormat);
        }
    }
}

// The floor: below it, or at its version with other signed content, is
// refused. It names the signed content, not the file: an earlier engine's
// record, whose digest covered the signature line, binds its version alone.
TEST(ManifestAcceptance, FloorRefusesLowerVersionsAndTheSameVersionWithOtherSignedContent) {
    const Sha256Digest mine{1, 2, 3};
    const Sha256Digest other{9};
    const AcceptedFloor signedFloor{5, mine, "test"};
    const AcceptedFloor earlierEngines{5, std::nullopt, ""};
    const struct {
        std::optional<AcceptedFloor> floor;
        AcceptedFloor remote;
        bool accepted;
    } cases[] = {
        {std::nullopt, {3, other, "test"}, true},
        {signedFloor, {6, other, "test"}, true},
        {signedFloor, {5, mine, "test"}, true},
        {signedFloor, {5, mine, "test-next"}, true},  // one content signed by both keys of a rotation
        {signedFloor, {5, other, "test"}, false},
        {signedFloor, {4, mine, "test"}, false},
        {earlierEngines, {5, other, "test"}, true},
        {earlierEngines, {4, other, "test"}, false},
    };
    for (const auto& c : cases) {
        const auto result = CheckAgainstFloor(c.floor, c.remote);
        EXPECT_EQ(result.Ok(), c.accepted) << "remote " << c.remote.version << ", floor "
                                           << (c.floor ? ::testing::PrintToString(*c.floor) : "none");
        if (!result) {
            EXPECT_EQ(result.Error().status, EngineStatus::InvalidFormat);
        }
    }
    EXPECT_EQ(HigherFloor(AcceptedFloor{2, mine, "test"}, AcceptedFloor{3, other, "test"})->version, 3u);
    EXPECT_EQ(HigherFloor(std::nullopt, AcceptedFloor{1, other, "test"})->version, 1u);
    EXPECT_EQ(HigherFloor(earlierEngines, signedFloor), signedFloor) << "of one version, the one with a digest";
    EXPECT_EQ(HigherFloor(signedFloor, AcceptedFloor{5, other, "test"}), signedFloor);
}

// The record reads back only in its own form or an earlier engine's.
TEST(ManifestAcceptance, FloorRecordReadsBackWithItsKeyAndEarlierRecordsAsTheirVersion) {
    const AcceptedFloor floor{18446744073709551615u, Sha256Digest{0xAB, 0xCD}, "studio 2026"};
    const std::string text = FloorRecordText(floor);
    EXPECT_EQ(text,
              "version 18446744073709551615\nsigned-sha256 abcd" + std::string(60, '0') + "\nkey studio 2026\n");
    EXPECT_EQ(ParseFloorRecord(text), floor);
    const std::string earlier = "version 7\nsha256 " + std::string(64, 'e') + "\n";
    EXPECT_EQ(ParseFloorRecord(earlier), (AcceptedFloor{7, std::nullopt, ""}));
    for (const std::string& broken : std::vector<std::string>{
             text.substr(0, text.size() - 1), text + "x", "version 1\n", text.substr(0, text.find("key ")),
             text.substr(0, text.find("key ")) + "key \n", earlier + "key test\n",
             earlier.substr(0, earlier.size() - 1),
             "version x\nsha256 " + std::string(64, '0') + "\n", std::string()}) {
        EXPECT_EQ(ParseFloorRecord(broken), std::nullopt) << broken;
    }
}

// A floor set by a key the engine no longer trusts binds nothing; one that
// does not say its key (an earlier engine's) binds.
TEST(ManifestAcceptance, FloorOfARetiredKeyDoesNotBind) {
    const TrustedKey trusted[] = {{"test-next", {}}, {"studio", {}}};
    const AcceptedFloor retired{1000, Sha256Digest{1}, "test"};
    const AcceptedFloor current{1000, Sha256Digest{1}, "test-next"};
    const AcceptedFloor earlierEngines{1000, std::nullopt, ""};
    EXPECT_EQ(BindingFloor(retired, trusted), std::nullopt);
    EXPECT_EQ(BindingFloor(current, trusted), current);
    EXPECT_EQ(BindingFloor(earlierEngines, trusted), earlierEngines);
    EXPECT_EQ(BindingFloor(std::nullopt, trusted), std::nullopt);
    EXPECT_EQ(BindingFloor(AcceptedFloor{1000, Sha256Digest{1}, "test-nex"}, trusted), std::nullopt)
        << "whole names only";
    EXPECT_TRUE(CheckAgainstFloor(BindingFloor(retired, trusted), {6, Sha256Digest{2}, "test-next"}));
}

TEST(ManifestAcceptance, ExpiryRefusesFromTheExpiryTimeOn) {
    const struct {
        std::int64_t now;
        bool accepted;
    } cases[] = {{0, true}, {kExpires - 1, true}, {kExpires, false}, {kExpires + 1, false}, {INT64_MAX, false}};
    for (const auto& c : cases) {
        const auto result = CheckNotExpired(kExpires, c.now);
        EXPECT_EQ(result.Ok(), c.accepted) << "now " << c.now;
        if (!result) {
            EXPECT_EQ(result.Error().status, EngineStatus::InvalidFormat);
            EXPECT_NE(result.Error().reason.find("2027-01-31T00:00:00Z"), std::string::npos);
        }
    }
}

TEST(ManifestAcceptance, MinUpdaterRefusesOlderEngines) {
    const struct {
        std::uint64_t minUpdater, engine;
        bool accepted;
    } cases[] = {{0, 1, true}, {1, 1, true}, {1, 2, true}, {2, 1, false}, {UINT64_MAX, 1, false}};
    for (const auto& c : cases) {
        const auto result = CheckUpdaterVersion(c.minUpdater, c.engine);
        EXPECT_EQ(result.Ok(), c.accepted) << c.minUpdater << " vs " << c.engine;
        if (!result) {
            EXPECT_EQ(result.Error().status, EngineStatus::UpdaterObsolete);
        }
    }
}

TEST(ManifestAcceptance, CombinedChecksReportRollbackThenExpiryThenEngine) {
    using testing::ManifestWith;
    const auto manifest = [](std::uint64_t version, std::uint64_t minUpdater) {
        Manifest m = ManifestWith(version, {});
        m.expires = kExpires;
        m.minUpdater = minUpdater;
        return m;
    };
    const Manifest local = manifest(10, 1);
    const struct {
        const char* name;
        Manifest remote;
        bool withLocal;
        std::int64_t now;
        std::int16_t status;  // 0: accepted
        const char* reason;
    } cases[] = {
        {"fresh install", manifest(1, 1), false, kExpires - 1, 0, ""},
        {"newer", manifest(11, 1), true, kExpires - 1, 0, ""},
        {"rolled back and expired", manifest(9, 9), true, kExpires, -9, "older"},
        {"expired, needs newer engine", manifest(11, 9), true, kExpires, -9, "expired"},
        {"needs newer engine", manifest(11, kEngineVersion + 1), true, kExpires - 1, -8, "requires updater"},
        {"the local manifest's own expiry does not matter", manifest(10, 1), true, kExpires - 1, 0, ""},
    };
    for (const auto& c : cases) {
        const auto result = CheckRemoteManifest(c.remote, c.withLocal ? &local : nullptr, c.now, kEngineVersion);
        if (c.status == 0) {
            EXPECT_TRUE(result) << c.name << ": " << result.Error().reason;
            continue;
        }
        ASSERT_FALSE(result) << c.name;
        EXPECT_EQ(StatusCode(result.Error().status), c.status) << c.name;
        EXPECT_NE(result.Error().reason.find(c.reason), std::string::npos) << c.name << ": " << result.Error().reason;
    }
}

TEST(UtcTime, KnownInstants) {
    const struct {
        const char* text;
        std::int64_t seconds;
    } cases[] = {
        {"1970-01-01T00:00:00Z", 0},          {"1970-01-01T00:00:01Z", 1},
        {"2000-02-29T12:34:56Z", 951827696},  {"2024-12-31T23:59:59Z", 1735689599},
        {"2038-01-19T03:14:08Z", 2147483648}, {"2100-03-01T00:00:00Z", 4107542400},
        {"9999-12-31T23:59:59Z", 253402300799},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseUtcTime(c.text), c.seconds) << c.text;
        EXPECT_EQ(FormatUtcTime(c.seconds), c.text);
    }
    for (const char* bad : {"2100-02-29T00:00:00Z", "2023-04-31T00:00:00Z", "2023-00-10T00:00:00Z",
                            "2023-13-10T00:00:00Z", "2023-01-00T00:00:00Z", "2023-01-01T00:60:00Z",
                            "2023-01-01t00:00:00Z", "2023-01-01T00:00:00z", "+023-01-01T00:00:00Z",
                            "2023-1-01T00:00:00Z", "2023-01-01T00:00:00.5Z", ""})
        EXPECT_FALSE(ParseUtcTime(bad)) << bad;
}

// The C library's own calendar as an independent reference.
TEST(UtcTime, AgreesWithTheCLibraryOnRandomInstants) {
    std::mt19937_64 random(20270131);
    std::uniform_int_distribution<std::int64_t> instant(0, 253402300799);
    for (int i = 0; i < 2000; ++i) {
        const std::int64_t t = instant(random);
        const std::time_t asTime = static_cast<std::time_t>(t);
        std::tm parts{};
        ASSERT_NE(gmtime_r(&asTime, &parts), nullptr);
        char expected[32];
        std::strftime(expected, sizeof expected, "%Y-%m-%dT%H:%M:%SZ", &parts);
        ASSERT_EQ(FormatUtcTime(t), expected) << t;
        ASSERT_EQ(ParseUtcTime(expected), t) << expected;
    }
}

// The release a run goes to, from the floor, the server's manifest and an
// interrupted apply's journal: a cache serving an older release never
// installs it, and never stops a complete install either.
TEST(ReleaseChoice, OlderServedManifestsKeepOrFinishNeverInstall) {
    const Sha256Digest mine = testing::DigestOf(1), other = testing::DigestOf(2);
    const auto manifest = [](std::uint64_t version, std::int64_t expires, std::uint64_t minUpdater) {
        Manifest m;
        m.version = version;
        m.expires = expires;
        m.minUpdater = minUpdater;
        return m;
    };
    const std::int64_t now = kExpires - 100;
    const Manifest v2 = manifest(2, kExpires, 1), v3 = manifest(3, kExpires, 1), v3other = manifest(3, kExpires, 1);
    const Manifest v2expired = manifest(2, now - 1, 1), v4newer = manifest(4, kExpires, 99);
    const Manifest v3journalNewer = manifest(3, kExpires, 99);
    const AcceptedFloor floor3{3, mine, "test"};
    const struct {
        const char* name;
        const Manifest* served;
        Sha256Digest servedDigest;
        bool installed;
        const Manifest* journal;  // at the floor's version and content
        std::optional<ReleaseToApply> release;  // nothing: refused, -9
        bool needsNewerUpdater;
    } cases[] = {
        {"the floor's own manifest", &v3, mine, true, nullptr, ReleaseToApply::Served, false},
        {"the floor's version, other content", &v3other, other, true, nullptr, std::nullopt, false},
        {"a newer one for a newer updater", &v4newer, other, true, nullptr, ReleaseToApply::Served, true},
        {"older, a complete install", &v2, other, true, nullptr, ReleaseToApply::KeepInstall, false},
        {"older and expired", &v2expired, other, true, nullptr, std::nullopt, false},
        {"older, no local manifest", &v2, other, false, nullptr, std::nullopt, false},
        {"older, an interrupted apply", &v2, other, true, &v3, ReleaseToApply::FinishJournal, false},
        {"older, a journal for a newer updater", &v2, other, true, &v3journalNewer, std::nullopt, false},
    };
    for (const auto& c : cases) {
        std::optional<ManifestCandidate> journal;
        if (c.journal) journal = ManifestCandidate{c.journal, floor3};
        const auto choice = ChooseRelease(floor3, {c.served, {c.served->version, c.servedDigest, "test"}},
                                          c.installed, journal, now, 1);
        if (!c.release) {
            ASSERT_FALSE(choice) << c.name;
            EXPECT_EQ(choice.Error().status, EngineStatus::InvalidFormat) << c.name;
            continue;
        }
        ASSERT_TRUE(choice) << c.name << ": " << choice.Error().reason;
        EXPECT_EQ(choice.Value().release, *c.release) << c.name;
        EXPECT_EQ(choice.Value().needsNewerUpdater.has_value(), c.needsNewerUpdater) << c.name;
        EXPECT_EQ(choice.Value().refusalWithoutPacks.has_value(), c.release == ReleaseToApply::FinishJournal)
            << c.name;
    }
}

}  // namespace
}  // namespace velmora::engine
