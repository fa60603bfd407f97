#include "object_check_win.h"

#include <vector>

#include "core/hex.h"
#include "file_ops_win.h"
#include "staging_win.h"
#include "system_text_win.h"

namespace velmora::engine {

ObjectCheck::ObjectCheck(const StagingFolder& staging, const ObjectToFetch& object, const CancelFlag& cancel)
    : staging_(staging),
      object_(object),
      cancel_(cancel),
      compressed_(object.object.ends_with(".z")),
      unpackPath_(staging.UnpackPath(object.object)) {}

Result<void> ObjectCheck::Start() {
    hash_.emplace();
    size_ = 0;
    inflate_.reset();
    if (!compressed_) return {};
    unpacked_.reset(::CreateFileW(unpackPath_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!unpacked_) return LocalFileError("cannot create", unpackPath_);
    inflate_ = std::make_unique<InflateStream>(object_.size, [this](std::span<const std::uint8_t> bytes) -> Result<void> {
        // A few compressed bytes can unpack to a lot: look at the flag for
        // every piece of output too.
        if (cancel_.Raised()) return Stopped();
        if (auto hashed = hash_->Update(bytes); !hashed) return hashed;
        size_ += bytes.size();
        DWORD written = 0;
        if (!::WriteFile(unpacked_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size())
            return LocalFileError("cannot write", unpackPath_);
        return {};
    });
    return {};
}

Result<void> ObjectCheck::Feed(std::span<const std::uint8_t> stored) {
    if (compressed_) return inflate_->Feed(stored);
    size_ += stored.size();
    return hash_->Update(stored);
}

Result<void> ObjectCheck::Finish() {
    if (compressed_)
        if (auto ended = inflate_->Finish(); !ended) return ended;
    auto digest = hash_->Finish();
    if (!digest) return digest.Error();
    const std::wstring& source = staging_.PartPath(object_.object);
    if (size_ != object_.size)
        return EngineError{EngineStatus::WrongFile, Utf8(source) + " holds " + std::to_string(size_) +
                                                        " bytes of content, the manifest says " +
                                                        std::to_string(object_.size)};
    if (digest.Value() != object_.sha256)
        return EngineError{EngineStatus::WrongFile, Utf8(source) + " has SHA-256 " + ToHex(digest.Value()) +
                                                        ", the manifest says " + ToHex(object_.sha256)};
    if (!compressed_) return {};
    if (!::FlushFileBuffers(unpacked_.get())) return LocalFileError("cannot flush", unpackPath_);
    unpacked_.reset();
    if (auto renamed = ReplaceWith(unpackPath_, staging_.ReadyPath(object_.object)); !renamed) return renamed;
    DeleteIfPresent(source);
    return {};
}

void ObjectCheck::Discard() {
    unpacked_.reset();
    DeleteIfPresent(unpackPath_);
    DeleteIfPresent(staging_.PartPath(object_.object));
}

Result<void> FeedFromFile(ObjectCheck& check, HANDLE file, std::uint64_t length, const std::wstring& path,
                          const CancelFlag& cancel) {
    std::vector<std::uint8_t> buffer(256 * 1024);
    while (length > 0) {
        if (cancel.Raised()) return Stopped();
        const DWORD want = static_cast<DWORD>(length < buffer.size() ? length : buffer.size());
        DWORD got = 0;
        if (!::ReadFile(file, buffer.data(), want, &got, nullptr)) return LocalFileError("cannot read", path);
        if (got == 0) return EngineError{EngineStatus::WrongFile, Utf8(path) + " is shorter than it was"};
        if (auto fed = check.Feed(std::span(buffer.data(), got)); !fed) return fed;
        length -= got;
    }
    return {};
}

}  // namespace velmora::engine
