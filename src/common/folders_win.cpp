#include "common/folders_win.h"

#include <windows.h>

#include "common/failure_win.h"
#include "common/folder_path.h"

namespace velmora {

std::wstring ApplicationFolder() {
    const std::wstring path = ModulePath(nullptr);
    if (path.empty()) throw FailureFromLastError();
    std::optional<std::wstring> folder = FolderOfFile(path);
    if (!folder) throw FailureFromError(ERROR_BAD_PATHNAME);
    return *std::move(folder);
}

void SetWorkingFolder(const std::wstring& folder) {
    if (!::SetCurrentDirectoryW(folder.c_str())) throw FailureFromLastError();
}

}  // namespace velmora
