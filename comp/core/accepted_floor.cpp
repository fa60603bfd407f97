#include "core/accepted_floor.h"

#include "core/decimal.h"
#include "core/hex.h"

namespace velmora::engine {

std::string FloorRecordText(const AcceptedFloor& floor) {
    return "version " + std::to_string(floor.version) + "\nsha256 " + ToHex(floor.digest) + "\n";
}

std::optional<AcceptedFloor> ParseFloorRecord(std::string_view text) {
    constexpr std::string_view kVersion = "version ";
    constexpr std::string_view kDigest = "\nsha256 ";
    if (!text.starts_with(kVersion)) return std::nullopt;
    const std::size_t versionEnd = text.find(kDigest);
    if (versionEnd == std::string_view::npos) return std::nullopt;
    AcceptedFloor floor;
    const std::optional<std::uint64_t> version = ParseDecimal(text.substr(kVersion.size(), versionEnd - kVersion.size()));
    const std::string_view digest = text.substr(versionEnd + kDigest.size());
    if (!version || digest.size() != 65 || digest.back() != '\n' || !FromHex(digest.substr(0, 64), floor.digest))
        return std::nullopt;
    floor.version = *version;
    return floor;
}

std::optional<AcceptedFloor> HigherFloor(const std::optional<AcceptedFloor>& a, const std::optional<AcceptedFloor>& b) {
    if (!a) return b;
    if (!b) return a;
    return b->version > a->version ? b : a;
}

Result<void> CheckAgainstFloor(const std::optional<AcceptedFloor>& floor, const AcceptedFloor& remote) {
    if (!floor) return {};
    if (remote.version < floor->version)
        return InvalidFormat("version " + std::to_string(remote.version) + " is below " +
                             std::to_string(floor->version) + ", the highest this install has gone to");
    if (remote.version == floor->version && remote.digest != floor->digest)
        return InvalidFormat("version " + std::to_string(remote.version) +
                             " differs from the manifest of that version this install has gone to");
    return {};
}

}  // namespace velmora::engine
