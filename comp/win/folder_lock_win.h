#pragma once
// libs\gamedata.lock, held open without sharing while an engine works on the
// game folder, so that a second engine (another updater started at the same
// time) reports an error instead of writing beside the first. The file is
// deleted when the last handle goes, also when the process is killed.
#include <string>

#include "winsupport/owners_win.h"
#include "core/engine_status.h"

namespace velmora::engine {

class FolderLock {
public:
    // The lock, or -5 when another engine holds it (or the file cannot be
    // made).
    static Result<FolderLock> Acquire(const std::wstring& lockPath);

private:
    explicit FolderLock(UniqueFileHandle file) : file_(std::move(file)) {}
    UniqueFileHandle file_;
};

}  // namespace velmora::engine
