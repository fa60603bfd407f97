#pragma once
// Shared by the engine's unit tests: manifests made to order and a
// temporary folder that removes itself.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "core/hex.h"
#include "core/manifest.h"
#include "core/manifest_parse.h"
#include "core/utc_time.h"

namespace velmora::engine::testing {

// A digest whose bytes all equal `fill`: distinct contents for tests that
// never hash anything.
inline Sha256Digest DigestOf(std::uint8_t fill) {
    Sha256Digest digest;
    digest.fill(fill);
    return digest;
}

// A consistent file line: plain object when storedSize equals size,
// compressed otherwise.
inline ManifestFile FileEntry(std::string path, std::uint8_t content, std::uint64_t size,
                              std::uint64_t storedSize) {
    const Sha256Digest sha = DigestOf(content);
    return {sha, size, ToHex(sha) + (storedSize == size ? "" : ".z"), storedSize, std::move(path)};
}

// For tests of what the parser reads, whatever the signature: the parse
// goes through ParseSignedManifest as the engine's does.
inline Result<SignedManifest> ParseAnySigned(std::string_view bytes) {
    return ParseSignedManifest(bytes, [](std::string_view, const ManifestSignature&) { return Result<void>(); });
}

inline Manifest ManifestWith(std::uint64_t version, std::vector<ManifestFile> files) {
    return {version, *ParseUtcTime("2030-01-01T00:00:00Z"), 1, std::move(files)};
}

class TemporaryFolder {
public:
    TemporaryFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-engine-test.XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    // Writes `content` to `relative`, creating its folders.
    std::filesystem::path Write(const std::string& relative, std::string_view content) const {
        const std::filesystem::path file = path_ / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary | std::ios::trunc).write(content.data(),
                                                                     static_cast<std::streamsize>(content.size()));
        return file;
    }

private:
    std::filesystem::path path_;
};

inline std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream input(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>());
}

}  // namespace velmora::engine::testing
