#include "staging_folder.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "publish_error.h"

namespace velmora::publish {
namespace {

namespace fs = std::filesystem;

fs::path MakeTemporaryFolder(const fs::path& parent, const std::string& name) {
    std::string pattern = (parent / ("." + name + ".XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        throw PublishError("cannot create a folder in " + parent.string() + ": " + std::strerror(errno));
    return pattern;
}

std::string ErrorText(const std::string& what, int error) { return what + ": " + std::strerror(error); }

}  // namespace

StagingFolder::StagingFolder(const fs::path& destination)
    : destination_(fs::absolute(destination).lexically_normal()) {
    if (destination_.filename().empty()) destination_ = destination_.parent_path();
    fs::create_directories(destination_.parent_path());
    path_ = MakeTemporaryFolder(destination_.parent_path(), destination_.filename().string() + ".publishing");
    // mkdtemp makes the folder private; the web server must read it.
    fs::permissions(path_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
}

StagingFolder::~StagingFolder() {
    if (placed_) return;
    std::error_code ignored;  // nothing more can be reported from here
    fs::remove_all(path_, ignored);
}

void StagingFolder::ReplaceDestination() {
    std::error_code error;
    if (!fs::exists(destination_, error)) {
        if (::rename(path_.c_str(), destination_.c_str()) != 0)
            throw PublishError(ErrorText("cannot move the publication to " + destination_.string(), errno));
        placed_ = true;
        return;
    }
    if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, destination_.c_str(), RENAME_EXCHANGE) == 0) {
        // path_ now holds the old publication, which the destructor removes.
        return;
    }
    if (errno != EINVAL && errno != ENOSYS)
        throw PublishError(ErrorText("cannot replace " + destination_.string(), errno));
    // No atomic exchange on this file system: move the old folder aside,
    // then the new one in, and put the old one back if that fails.
    const fs::path old =
        MakeTemporaryFolder(destination_.parent_path(), destination_.filename().string() + ".old");
    if (::rename(destination_.c_str(), old.c_str()) != 0) {
        const int cause = errno;
        fs::remove(old, error);
        throw PublishError(ErrorText("cannot move " + destination_.string() + " aside", cause));
    }
    if (::rename(path_.c_str(), destination_.c_str()) != 0) {
        const int cause = errno;
        ::rename(old.c_str(), destination_.c_str());
        throw PublishError(ErrorText("cannot move the publication to " + destination_.string(), cause));
    }
    placed_ = true;
    fs::remove_all(old, error);
}

}  // namespace velmora::publish
