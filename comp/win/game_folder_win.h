#pragma once
// The game folder as the engine sees it: where each manifest path lies,
// what the disk says of it (for the plan), and putting a verified file in
// its place in one step.
#include <string>
#include <string_view>
#include <vector>

#include "core/engine_status.h"
#include "core/update_plan.h"

namespace velmora::engine {

// Where an updater file is set aside while a new one takes its place.
std::wstring SetAsidePath(const std::wstring& path);

// An updater file put in place by PutUpdaterFileInPlace, with what it takes
// to switch it back.
struct SwitchedUpdaterFile {
    std::wstring path;      // its place, which holds the new file
    std::wstring setAside;  // where the old file went; empty when there was none
    std::wstring cameFrom;  // where the new file was before
};

class GameFolder final : public InstalledFiles {
public:
    explicit GameFolder(std::wstring path) : path_(std::move(path)) {}

    const std::wstring& Path() const noexcept { return path_; }

    // The full path of a safe manifest path; nothing when it is not UTF-8.
    std::optional<std::wstring> FullPath(std::string_view manifestPath) const;

    std::optional<std::uint64_t> FileSize(std::string_view manifestPath) const override;
    std::optional<FileStamp> Stamp(std::string_view manifestPath) const override;

    // Renames `verified` (a file in the staging folder, on the same volume)
    // to the manifest path, replacing the old file in one step and creating
    // the folders it needs. The file is either old or new at every moment.
    Result<void> PutInPlace(const std::wstring& verified, std::string_view manifestPath) const;

    // The same for one of the updater's own files (kUpdaterFiles), which may
    // be in use: a running program or a loaded library can be renamed but
    // not replaced, so the old file is first set aside under
    // SetAsidePath() (it goes on working there) and the verified one
    // renamed into its place. When that second rename fails (another
    // program holds the verified file, say), the old file is renamed back
    // before the call fails: the place is empty only between two renames.
    // A process killed right there leaves it empty; for a library the
    // updater's start-up puts the set-aside file back.
    Result<SwitchedUpdaterFile> PutUpdaterFileInPlace(const std::wstring& verified,
                                                      std::string_view manifestPath) const;

    // Undoes PutUpdaterFileInPlace: the new file goes back where it came
    // from and the old one back to its place (none, when there was none).
    // Should the old one fail to go back, the new one returns to the place,
    // so that the place is never left empty by this call.
    Result<void> SwitchBack(const SwitchedUpdaterFile& switched) const;

    // Deletes the set-aside updater files whose place holds a file again. A
    // file still in use (by an updater that has not ended yet) stays for a
    // later run.
    void ClearSetAsideFiles() const;

    // Whether every existing file at these manifest paths can be replaced or
    // removed now: no folder on its way inside the game folder is a link
    // elsewhere (refused at once), and no other program holds it open. A file held open is
    // asked again for up to `waitMilliseconds` (the game may be closing);
    // still held, it fails the call, naming it.
    Result<void> CheckFree(const std::vector<std::string>& manifestPaths, unsigned waitMilliseconds) const;

    // Deletes the plain files at these manifest paths (a file already gone
    // is fine), then each folder above them that is left empty, up to the
    // game folder itself. A folder that still holds anything (a player's own
    // file) stays. A file that cannot be deleted fails the call.
    Result<void> RemoveFiles(const std::vector<std::string>& manifestPaths) const;

private:
    Result<void> CheckNoLinks(const std::vector<std::string>& manifestPaths) const;

    std::wstring path_;
};

}  // namespace velmora::engine
