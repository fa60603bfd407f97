#pragma once
// A manifest's text written to a file as it is made (unpacked from the
// server's stored manifest, or made from a delta), hashed on the way, so
// that it is never whole in memory.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/engine_status.h"
#include "core/manifest.h"
#include "sha256_win.h"
#include "winsupport/owners_win.h"

namespace velmora::engine {

class ManifestFileWriter {
public:
    // A new (or emptied) file at `path`.
    static Result<ManifestFileWriter> Create(const std::wstring& path);

    Result<void> Write(std::string_view bytes);
    Result<void> Write(std::span<const std::uint8_t> bytes);
    // Flushes the file; the SHA-256 of everything written.
    Result<Sha256Digest> Finish();

private:
    ManifestFileWriter(std::wstring path, UniqueFileHandle file) : path_(std::move(path)), file_(std::move(file)) {}

    std::wstring path_;
    UniqueFileHandle file_;
    Sha256 hash_;
    std::uint64_t written_ = 0;
};

}  // namespace velmora::engine
