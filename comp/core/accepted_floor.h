#pragma once
// The rollback floor: the highest manifest this install has gone to, kept in
// a record of its own (libs\gamedata.floor) beside the local manifest, so
// that it stays when the local manifest is lost or damaged. A manifest below
// it, or of the same version with other signed content (one version signed
// twice), is refused.
//
// The floor names what was signed, not the file that carried it: the digest
// covers the bytes before the signature line, so a copy whose signature was
// altered (ECDSA's (r, n - s)) cannot pin a floor the genuine manifest of that
// version then fails. And it names the key that signed it: a floor set by a
// key the engine no longer trusts (retired, perhaps because it leaked) does
// not bind, or a manifest signed with that key at a huge version would keep
// every later release of the new key out for ever.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/engine_status.h"
#include "core/manifest.h"
#include "core/trusted_keys.h"

namespace velmora::engine {

struct AcceptedFloor {
    std::uint64_t version = 0;
    // The SHA-256 of the signed part: every byte before the signature line.
    // Nothing for a record an earlier engine wrote: its digest covered the
    // signature line too, so it may be that of a copy with an altered
    // signature, and such a record binds its version alone.
    std::optional<Sha256Digest> signedDigest;
    // The trusted key whose signature set the floor (TrustedKey::name);
    // empty when unknown, for a record an earlier engine wrote.
    std::string key;

    bool operator==(const AcceptedFloor&) const = default;
};

// "version <n>\nsigned-sha256 <hex>\nkey <name>\n". The floor must have a
// digest and a key.
std::string FloorRecordText(const AcceptedFloor& floor);
// That form, or an earlier engine's "version <n>\nsha256 <hex>\n", read as a
// floor of its version alone (no digest, no key). Nothing for any other text.
std::optional<AcceptedFloor> ParseFloorRecord(std::string_view text);

// The record where it binds: nothing when the key that set it is not among
// `trusted`. A record that does not name its key binds (it cannot be told
// apart from one the trusted keys set).
std::optional<AcceptedFloor> BindingFloor(const std::optional<AcceptedFloor>& record,
                                          std::span<const TrustedKey> trusted);

// The higher of two floors. Of one version, the first, unless only the
// second has a digest (the one that says more).
std::optional<AcceptedFloor> HigherFloor(const std::optional<AcceptedFloor>& a, const std::optional<AcceptedFloor>& b);

// InvalidFormat (-9) when the remote manifest lies below the floor, or has
// its version with other signed content. `remote` has a digest.
Result<void> CheckAgainstFloor(const std::optional<AcceptedFloor>& floor, const AcceptedFloor& remote);

}  // namespace velmora::engine
