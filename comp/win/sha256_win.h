#pragma once
// SHA-256 of data given piece by piece and of whole files: with the
// processor's SHA extensions where it has them (sha256_x86.h), else through
// CNG (bcrypt). A CNG failure is reported as the wrong file (-7): the content
// cannot be vouched for.
#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/cancel_flag.h"
#include "core/engine_status.h"
#include "core/manifest.h"
#include "engine_handles_win.h"

namespace velmora::engine {

// Which code computes the hash. Fastest takes the SHA extensions when the
// processor has them and CNG otherwise; Cng forces CNG (tests compare the two).
enum class Sha256Method { Fastest, Cng };

class Sha256 {
public:
    explicit Sha256(Sha256Method method = Sha256Method::Fastest);
    Sha256(Sha256&&) noexcept = default;
    Sha256& operator=(Sha256&&) noexcept = default;

    Result<void> Update(std::span<const std::uint8_t> data);
    Result<void> Update(std::string_view text) {
        return Update({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    }
    // The digest of everything given; the object is spent afterwards.
    Result<Sha256Digest> Finish();
    // The digest of everything given so far; more may be given afterwards.
    Result<Sha256Digest> DigestSoFar() const;
    // True when this object hashes with the SHA extensions, false with CNG.
    bool UsesShaExtensions() const { return extensions_; }

private:
    bool extensions_ = false;
    // With the SHA extensions: the chaining state, the bytes of an unfinished
    // block, and the length so far.
    std::array<std::uint32_t, 8> state_{};
    std::array<std::uint8_t, 64> pending_{};
    std::size_t pendingSize_ = 0;
    std::uint64_t length_ = 0;
    bool spent_ = false;
    // With CNG.
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
