#pragma once
// libs\staging: file contents being built from their chunks
// (<sha256>.build), and built contents waiting to be moved into place
// (<sha256>.ready). Both outlive a stopped run and are picked up by the
// next one, which checks them again: a .build chunk by chunk, a .ready
// whole. Nothing reaches a .ready name before every chunk written into it
// was checked, and a rename is the only way anything gets there, so a
// .ready is never half written.
//
// The files lie in subfolders named by the first two hex digits of their
// content's SHA-256, and the folder is listed once per run rather than
// asked name by name: under Wine every look-up of a name that is not there
// (each file created or renamed to) reads the whole folder, which with
// thousands of files in one folder costs minutes.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/cancel_flag.h"
#include "core/engine_status.h"
#include "core/manifest.h"

namespace velmora::engine {

// A content is named by a file of the manifest that holds it: its SHA-256
// and size.
class StagingFolder {
public:
    explicit StagingFolder(std::wstring path) : path_(std::move(path)) {}

    const std::wstring& Path() const noexcept { return path_; }
    // Creates the folder; -7 when it is a link to elsewhere.
    Result<void> Create() const;

    std::wstring BuildName(const Sha256Digest& content) const;
    std::wstring ReadyName(const Sha256Digest& content) const;
    std::wstring BuildPath(const Sha256Digest& content) const;
    std::wstring ReadyPath(const Sha256Digest& content) const;
    // Creates the content's .build at its size (and its subfolder).
    Result<void> CreateBuild(const ManifestFile& content) const;
    // Writes a content's checked bytes whole as its .ready, flushed.
    Result<void> WriteReady(const ManifestFile& content, std::span<const std::uint8_t> bytes) const;
    // Where a content is copied before it is renamed into place.
    std::wstring CopyPath(const Sha256Digest& content) const;
    // Where the local manifest is written before it replaces the old one.
    std::wstring ManifestPath() const;

    // The files in the folder and its subfolders by name, with their sizes.
    Result<std::unordered_map<std::wstring, std::uint64_t>> List() const;

    // Checks a .ready left by an earlier run before it is used; a .ready that
    // does not match is deleted and reported as -7.
    Result<void> CheckReady(const ManifestFile& content, const CancelFlag& cancel) const;
    // Checks a .build whole (size and SHA-256) once every chunk is in, before
    // it may become a .ready: checked chunks make the signed file only when
    // the manifest lists the right chunks in the right order. One that does
    // not match is deleted and reported as -7.
    Result<void> CheckBuilt(const ManifestFile& content, const CancelFlag& cancel) const;

    // Deletes every file in the folder, then the folder: after a run that
    // completed, whatever lies here is a leftover. Subfolders are not the
    // engine's and stay; a folder that is a link is refused (-7).
    Result<void> RemoveLeftovers() const;

private:
    std::wstring Subfolder(const Sha256Digest& content) const;
    Result<void> CheckWhole(const std::wstring& path, const ManifestFile& content, const CancelFlag& cancel) const;

    std::wstring path_;
};

}  // namespace velmora::engine
