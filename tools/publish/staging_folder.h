#pragma once
// A publication is built in a temporary folder beside its destination and
// only put in place when complete, so the destination is either the old
// server folder or the new one, never a half-written one.
#include <filesystem>

namespace velmora::publish {

class StagingFolder {
public:
    // Creates ".<name>.publishing.XXXXXX" in the destination's parent
    // folder (the same file system, so the final rename is atomic).
    explicit StagingFolder(const std::filesystem::path& destination);
    // Removes the temporary folder unless it was put in place.
    ~StagingFolder();
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    // Puts the temporary folder in the destination's place. An existing
    // destination is swapped out in one step (renameat2 RENAME_EXCHANGE)
    // where the file system can, else renamed aside just before, and then
    // removed. Throws PublishError; the destination is then unchanged.
    void ReplaceDestination();

private:
    std::filesystem::path destination_;
    std::filesystem::path path_;
    bool placed_ = false;
};

}  // namespace velmora::publish
