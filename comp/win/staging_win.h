#pragma once
// libs\staging: objects being downloaded (<object>.part), and unpacked file
// contents waiting to be moved into place (<object>.ready). Both outlive a
// stopped run and are picked up by the next one, which checks them again.
// Nothing reaches a .ready name before its size and SHA-256 match the
// manifest, and a rename is the only way anything gets there, so a .ready is
// never half written. An object stored as is needs no .ready: once its .part
// checks out, the .part itself goes into place.
//
// The folder is listed once per run rather than asked name by name: under
// Wine every look-up of a name that is not there reads the whole folder,
// which with thousands of objects costs minutes.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "cancel_flag.h"
#include "core/engine_status.h"
#include "core/update_plan.h"

namespace velmora::engine {

class StagingFolder {
public:
    explicit StagingFolder(std::wstring path) : path_(std::move(path)) {}

    const std::wstring& Path() const noexcept { return path_; }
    // Creates the folder; -7 when it is a link to elsewhere.
    Result<void> Create() const;

    std::wstring PartName(std::string_view object) const;
    std::wstring ReadyName(std::string_view object) const;
    std::wstring PartPath(std::string_view object) const { return path_ + L"\\" + PartName(object); }
    std::wstring ReadyPath(std::string_view object) const { return path_ + L"\\" + ReadyName(object); }
    // Where a compressed object is unpacked before it is checked.
    std::wstring UnpackPath(std::string_view object) const;
    // Where a file's content is copied before it is renamed into place.
    std::wstring CopyPath(std::string_view object) const;
    // Where the local manifest is written before it replaces the old one.
    std::wstring ManifestPath() const;

    // The files in the folder by name, with their sizes.
    Result<std::unordered_map<std::wstring, std::uint64_t>> List() const;

    // The file that goes into place once verified: the .part of an object
    // stored as is, the .ready of a compressed one.
    std::wstring ContentPath(const ObjectToFetch& object) const;

    // Checks a complete .part (object_check_win.h): an object stored as is
    // must match size and SHA-256; a compressed one is unpacked (at most its
    // file size), checked and renamed to .ready, and its .part deleted. -7
    // when they do not match; the .part is deleted then, so the next run
    // fetches it anew.
    Result<void> MakeReady(const ObjectToFetch& object, const CancelFlag& cancel) const;

    // Checks a .ready left by an earlier run before it is used; a .ready that
    // does not match is deleted and reported as -7.
    Result<void> CheckReady(const ObjectToFetch& object, const CancelFlag& cancel) const;

    // Deletes every file in the folder, then the folder: after a run that
    // completed, whatever lies here is a leftover. Subfolders are not the
    // engine's and stay; a folder that is a link is refused (-7).
    Result<void> RemoveLeftovers() const;

private:
    std::wstring path_;
};

}  // namespace velmora::engine
