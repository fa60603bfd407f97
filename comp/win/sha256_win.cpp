#include "sha256_win.h"

#include <cstring>
#include <vector>

#include "sha256_x86.h"
#include "error_text_win.h"

namespace velmora::engine {
namespace {

EngineError CngError(const char* what, NTSTATUS status) {
    return {EngineStatus::WrongFile, std::string("CNG ") + what + " failed: " + HexCode(static_cast<std::uint32_t>(status))};
}

EngineError SpentError() { return {EngineStatus::WrongFile, "SHA-256 used after its digest was taken"}; }

constexpr std::array<std::uint32_t, 8> kInitialState = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                         0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

// Finishes a hash of `length` bytes whose chaining state is `state` and
// whose unfinished block holds `pendingSize` bytes: padding 0x80, zeros up
// to 56 bytes into a block, the length in bits as a big-endian 64-bit
// number. Takes copies, so that the hash may go on.
Sha256Digest PaddedDigest(std::array<std::uint32_t, 8> state, std::array<std::uint8_t, 64> pending,
                          std::size_t pendingSize, std::uint64_t length) {
    const std::uint64_t bits = length * 8;
    pending[pendingSize++] = 0x80;
    if (pendingSize > 56) {
        std::memset(pending.data() + pendingSize, 0, 64 - pendingSize);
        Sha256CompressShaExtensions(state.data(), pending.data(), 1);
        pendingSize = 0;
    }
    std::memset(pending.data() + pendingSize, 0, 56 - pendingSize);
    for (int i = 0; i < 8; ++i) pending[56 + i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
    Sha256CompressShaExtensions(state.data(), pending.data(), 1);
    Sha256Digest digest{};
    for (std::size_t i = 0; i < 8; ++i)
        for (std::size_t b = 0; b < 4; ++b) digest[4 * i + b] = static_cast<std::uint8_t>(state[i] >> (24 - 8 * b));
    return digest;
}

Result<Sha256Digest> FinishCng(BCRYPT_HASH_HANDLE hash) {
    Sha256Digest digest{};
    const NTSTATUS status = cng::BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0);
    if (!BCRYPT_SUCCESS(status)) return CngError("finishing the hash", status);
    return digest;
}

}  // namespace

Sha256::Sha256(Sha256Method method) {
    if (method == Sha256Method::Fastest && CpuHasShaExtensions()) {
        extensions_ = true;
        state_ = kInitialState;
        return;
    }
    failure_ = cng::BCryptOpenAlgorithmProvider(provider_.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    if (!BCRYPT_SUCCESS(failure_)) return;
    failure_ = cng::BCryptCreateHash(provider_.get(), hash_.put(), nullptr, 0, nullptr, 0, 0);
}

Result<void> Sha256::Update(std::span<const std::uint8_t> data) {
    if (extensions_) {
        if (spent_) return SpentError();
        if (data.empty()) return {};
        length_ += data.size();
        if (pendingSize_ > 0) {
            const std::size_t take = data.size() < 64 - pendingSize_ ? data.size() : 64 - pendingSize_;
            std::memcpy(pending_.data() + pendingSize_, data.data(), take);
            pendingSize_ += take;
            data = data.subspan(take);
            if (pendingSize_ < 64) return {};
            Sha256CompressShaExtensions(state_.data(), pending_.data(), 1);
            pendingSize_ = 0;
        }
        const std::size_t blocks = data.size() / 64;
        if (blocks > 0) Sha256CompressShaExtensions(state_.data(), data.data(), blocks);
        data = data.subspan(blocks * 64);
        if (!data.empty()) std::memcpy(pending_.data(), data.data(), data.size());
        pendingSize_ = data.size();
        return {};
    }
    if (!hash_) return CngError("SHA-256 set-up", failure_);
    // BCryptHashData takes a ULONG length: hand over large data in pieces.
    while (!data.empty()) {
        const std::size_t piece = data.size() < (std::size_t{1} << 30) ? data.size() : (std::size_t{1} << 30);
        const NTSTATUS status = cng::BCryptHashData(hash_.get(), const_cast<PUCHAR>(data.data()),
                                                 static_cast<ULONG>(piece), 0);
        if (!BCRYPT_SUCCESS(status)) return CngError("hashing", status);
        data = data.subspan(piece);
    }
    return {};
}

Result<Sha256Digest> Sha256::Finish() {
    if (extensions_) {
        if (spent_) return SpentError();
        spent_ = true;
        return PaddedDigest(state_, pending_, pendingSize_, length_);
    }
    if (!hash_) return CngError("SHA-256 set-up", failure_);
    auto digest = FinishCng(hash_.get());
    hash_.reset();
    return digest;
}

Result<Sha256Digest> Sha256::DigestSoFar() const {
    if (extensions_) {
        if (spent_) return SpentError();
        return PaddedDigest(state_, pending_, pendingSize_, length_);
    }
    if (!hash_) return CngError("SHA-256 set-up", failure_);
    UniqueHashObject copy;
    if (const NTSTATUS status = cng::BCryptDuplicateHash(hash_.get(), copy.put(), nullptr, 0, 0);
        !BCRYPT_SUCCESS(status))
        return CngError("copying the hash", status);
    return FinishCng(copy.get());
}

Result<FileDigest> DigestOfFile(const std::wstring& path, const CancelFlag& cancel) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return EngineError{EngineStatus::WrongFile, "cannot open " + Utf8(path) + ": " + LastErrorText(), true};
    Sha256 hash;
    FileDigest digest;
    std::vector<std::uint8_t> buffer(256 * 1024);
    for (;;) {
        if (cancel.Raised()) return Stopped();
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
            return EngineError{EngineStatus::WrongFile, "cannot read " + Utf8(path) + ": " + LastErrorText(), true};
        if (got == 0) break;
        digest.size += got;
        if (auto hashed = hash.Update(std::span(buffer.data(), got)); !hashed) return hashed.Error();
    }
    auto sha256 = hash.Finish();
    if (!sha256) return sha256.Error();
    digest.sha256 = sha256.Value();
    return digest;
}

}  // namespace velmora::engine
