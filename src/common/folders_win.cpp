#include "common/folders_win.h"

#include <windows.h>

#include "common/failure_win.h"
#include "winsupport/parent_folder.h"

namespace velmora {

std::wstring ApplicationFolder() {
    const std::wstring path = ModulePath(nullptr);
    if (path.empty()) throw FailureFromLastError();
    std::wstring folder = ParentFolder(path);
    if (folder.empty()) throw FailureFromError(ERROR_BAD_PATHNAME);
    return folder;
}

void SetWorkingFolder(const std::wstring& folder) {
    if (!::SetCurrentDirectoryW(folder.c_str())) throw FailureFromLastError();
}

}  // namespace velmora
