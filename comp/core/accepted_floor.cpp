#include "core/accepted_floor.h"

#include <algorithm>

#include "core/decimal.h"
#include "core/hex.h"

namespace velmora::engine {
namespace {

constexpr std::string_view kVersionLine = "version ";
constexpr std::string_view kSignedDigestLine = "signed-sha256 ";
constexpr std::string_view kKeyLine = "key ";
// The digest of the whole file, signature included, as earlier engines
// wrote it.
constexpr std::string_view kWholeDigestLine = "sha256 ";

// Takes "<prefix><field>\n" off the front of `text`: the field, or nothing
// when the text does not start so.
std::optional<std::string_view> TakeLine(std::string_view& text, std::string_view prefix) {
    if (!text.starts_with(prefix)) return std::nullopt;
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view field = text.substr(prefix.size(), end - prefix.size());
    text.remove_prefix(end + 1);
    return field;
}

}  // namespace

std::string FloorRecordText(const AcceptedFloor& floor) {
    return std::string(kVersionLine) + std::to_string(floor.version) + "\n" + std::string(kSignedDigestLine) +
           ToHex(floor.signedDigest.value_or(Sha256Digest{})) + "\n" + std::string(kKeyLine) + floor.key + "\n";
}

std::optional<AcceptedFloor> ParseFloorRecord(std::string_view text) {
    const std::optional<std::string_view> versionText = TakeLine(text, kVersionLine);
    if (!versionText) return std::nullopt;
    const std::optional<std::uint64_t> version = ParseDecimal(*versionText);
    if (!version) return std::nullopt;
    AcceptedFloor floor{*version, std::nullopt, {}};
    Sha256Digest digest{};
    if (const auto whole = TakeLine(text, kWholeDigestLine)) {
        if (!text.empty() || !FromHex(*whole, digest)) return std::nullopt;
        return floor;
    }
    const std::optional<std::string_view> signedDigest = TakeLine(text, kSignedDigestLine);
    if (!signedDigest || !FromHex(*signedDigest, digest)) return std::nullopt;
    floor.signedDigest = digest;
    // The key's name is the rest of the record less its final line break,
    // whatever it holds.
    if (!text.starts_with(kKeyLine) || !text.ends_with('\n') || text.size() == kKeyLine.size() + 1)
        return std::nullopt;
    floor.key = std::string(text.substr(kKeyLine.size(), text.size() - kKeyLine.size() - 1));
    return floor;
}

std::optional<AcceptedFloor> BindingFloor(const std::optional<AcceptedFloor>& record,
                                          std::span<const TrustedKey> trusted) {
    if (!record || record->key.empty()) return record;
    const bool keyTrusted =
        std::any_of(trusted.begin(), trusted.end(), [&](const TrustedKey& key) { return key.name == record->key; });
    return keyTrusted ? record : std::nullopt;
}

std::optional<AcceptedFloor> HigherFloor(const std::optional<AcceptedFloor>& a, const std::optional<AcceptedFloor>& b) {
    if (!a) return b;
    if (!b) return a;
    if (b->version != a->version) return b->version > a->version ? b : a;
    return !a->signedDigest && b->signedDigest ? b : a;
}

Result<void> CheckAgainstFloor(const std::optional<AcceptedFloor>& floor, const AcceptedFloor& remote) {
    if (!floor) return {};
    if (remote.version < floor->version)
        return InvalidFormat("version " + std::to_string(remote.version) + " is below " +
                             std::to_string(floor->version) + ", the highest this install has gone to");
    if (remote.version == floor->version && floor->signedDigest && remote.signedDigest != floor->signedDigest)
        return InvalidFormat("version " + std::to_string(remote.version) +
                             " differs from the manifest of that version this install has gone to");
    return {};
}

}  // namespace velmora::engine
