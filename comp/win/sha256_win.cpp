#include "sha256_win.h"

#include <vector>

#include "system_text_win.h"

namespace velmora::engine {
namespace {

EngineError CngError(const char* what, NTSTATUS status) {
    return {EngineStatus::WrongFile, std::string("CNG ") + what + " failed: " + HexCode(static_cast<std::uint32_t>(status))};
}

}  // namespace

Sha256::Sha256() {
    BCRYPT_ALG_HANDLE provider = nullptr;
    failure_ = ::BCryptOpenAlgorithmProvider(&provider, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    if (!BCRYPT_SUCCESS(failure_)) return;
    provider_.reset(provider);
    BCRYPT_HASH_HANDLE hash = nullptr;
    failure_ = ::BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0);
    if (BCRYPT_SUCCESS(failure_)) hash_.reset(hash);
}

Result<void> Sha256::Update(std::span<const std::uint8_t> data) {
    if (!hash_) return CngError("SHA-256 set-up", failure_);
    // BCryptHashData takes a ULONG length: hand over large data in pieces.
    while (!data.empty()) {
        const std::size_t piece = data.size() < (std::size_t{1} << 30) ? data.size() : (std::size_t{1} << 30);
        const NTSTATUS status = ::BCryptHashData(hash_.get(), const_cast<PUCHAR>(data.data()),
                                                 static_cast<ULONG>(piece), 0);
        if (!BCRYPT_SUCCESS(status)) return CngError("hashing", status);
        data = data.subspan(piece);
    }
    return {};
}

Result<Sha256Digest> Sha256::Finish() {
    if (!hash_) return CngError("SHA-256 set-up", failure_);
    Sha256Digest digest{};
    const NTSTATUS status = ::BCryptFinishHash(hash_.get(), digest.data(), static_cast<ULONG>(digest.size()), 0);
    hash_.reset();
    if (!BCRYPT_SUCCESS(status)) return CngError("finishing the hash", status);
    return digest;
}

Result<FileDigest> DigestOfFile(const std::wstring& path, const CancelFlag& cancel) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return EngineError{EngineStatus::WrongFile, "cannot open " + Utf8(path) + ": " + LastErrorText()};
    Sha256 hash;
    FileDigest digest;
    std::vector<std::uint8_t> buffer(256 * 1024);
    for (;;) {
        if (cancel.Raised()) return Stopped();
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
            return EngineError{EngineStatus::WrongFile, "cannot read " + Utf8(path) + ": " + LastErrorText()};
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
