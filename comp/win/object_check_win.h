#pragma once
// Follows an object's stored bytes in order, as they arrive from the server
// or are read back from a .part, and checks them against the manifest: an
// object stored as is is hashed; a compressed one is unpacked (at most its
// file size) into staging\<object>.unpack and its output hashed. Hashing
// while downloading lets the network and the checking run side by side.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "cancel_flag.h"
#include "winsupport/owners_win.h"
#include "core/engine_status.h"
#include "core/update_plan.h"
#include "core/inflate_stream.h"
#include "sha256_win.h"

namespace velmora::engine {

class StagingFolder;

class ObjectCheck {
public:
    ObjectCheck(const StagingFolder& staging, const ObjectToFetch& object, const CancelFlag& cancel);
    ObjectCheck(const ObjectCheck&) = delete;
    ObjectCheck& operator=(const ObjectCheck&) = delete;

    // (Re)starts from the object's first byte.
    Result<void> Start();
    // The next stored bytes; -7 as soon as they cannot be the object.
    Result<void> Feed(std::span<const std::uint8_t> stored);
    // After the last byte: size and SHA-256 must match (-7). A compressed
    // object's content is flushed and renamed to its .ready, and its .part
    // deleted. The .part must be closed by then.
    Result<void> Finish();
    // After a mismatch: deletes the .part and the .unpack, so that the next
    // run fetches the object anew.
    void Discard();

private:
    const StagingFolder& staging_;
    const ObjectToFetch& object_;
    const CancelFlag& cancel_;
    bool compressed_ = false;
    std::wstring unpackPath_;
    std::optional<Sha256> hash_;
    std::unique_ptr<InflateStream> inflate_;
    UniqueFileHandle unpacked_;
    std::uint64_t size_ = 0;  // of the content so far
};

// Feeds the first `length` bytes of an open file to `check`.
Result<void> FeedFromFile(ObjectCheck& check, HANDLE file, std::uint64_t length, const std::wstring& path,
                          const CancelFlag& cancel);

}  // namespace velmora::engine
