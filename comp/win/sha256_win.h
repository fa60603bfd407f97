#pragma once
// SHA-256 through CNG (bcrypt), of data given piece by piece and of whole
// files. A CNG failure is reported as the wrong file (-7): the content
// cannot be vouched for.
#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

#include "cancel_flag.h"
#include "core/engine_status.h"
#include "core/manifest.h"
#include "engine_handles_win.h"

namespace velmora::engine {

class Sha256 {
public:
    Sha256();
    Sha256(Sha256&&) noexcept = default;
    Sha256& operator=(Sha256&&) noexcept = default;

    Result<void> Update(std::span<const std::uint8_t> data);
    // The digest of everything given; the object is spent afterwards.
    Result<Sha256Digest> Finish();

private:
    UniqueAlgorithmProvider provider_;
    UniqueHashObject hash_;
    NTSTATUS failure_ = 0;  // of the set-up, reported by the first call
};

struct FileDigest {
    std::uint64_t size = 0;
    Sha256Digest sha256{};
};

// The size and SHA-256 of the file's content; the wrong file (-7) when it
// cannot be read, stopped when `cancel` is raised.
Result<FileDigest> DigestOfFile(const std::wstring& path, const CancelFlag& cancel);

}  // namespace velmora::engine
