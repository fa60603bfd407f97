#pragma once
// libs\staging: objects being downloaded (<object>.part), and verified file
// contents waiting to be moved into place (<object>.ready). Both outlive a
// stopped run and are picked up by the next one. Nothing reaches a .ready
// name before its size and SHA-256 match the manifest, and a rename is the
// only way anything gets there, so a .ready is never half written.
#include <cstdint>
#include <string>
#include <string_view>

#include "cancel_flag.h"
#include "core/engine_status.h"
#include "core/update_plan.h"

namespace velmora::engine {

class StagingFolder {
public:
    explicit StagingFolder(std::wstring path) : path_(std::move(path)) {}

    const std::wstring& Path() const noexcept { return path_; }
    Result<void> Create() const;

    std::wstring PartPath(std::string_view object) const;
    std::wstring ReadyPath(std::string_view object) const;
    // Where a file's content is copied before it is renamed into place.
    std::wstring CopyPath(std::string_view object) const;
    // Where the local manifest is written before it replaces the old one.
    std::wstring ManifestPath() const;

    // Whether a .ready of the object's content size lies here already.
    bool HasReady(const ObjectToFetch& object) const;

    // Turns the complete .part into a .ready: unpacks a compressed object (at
    // most its file size), checks size and SHA-256, renames. -7 when they do
    // not match; the .part is deleted then, so the next run fetches it anew.
    Result<void> MakeReady(const ObjectToFetch& object, const CancelFlag& cancel) const;

    // Checks a .ready left by an earlier run before it is used; a .ready that
    // does not match is deleted and reported as -7.
    Result<void> CheckReady(const ObjectToFetch& object, const CancelFlag& cancel) const;

    // Deletes every file in the folder, then the folder: after a run that
    // completed, whatever lies here is a leftover.
    Result<void> RemoveLeftovers() const;

private:
    Result<void> Unpack(const ObjectToFetch& object, const CancelFlag& cancel) const;

    std::wstring path_;
};

}  // namespace velmora::engine
