#include "startup/set_aside_repair_win.h"

#include <windows.h>

#include "contract/engine_contract.h"
#include "startup/control_table.h"

namespace velmora {
namespace {

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Restore(const std::wstring& path) {
    const std::wstring aside = path + kSetAsideSuffix;
    if (!Exists(path) && Exists(aside)) ::MoveFileExW(aside.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH);
}

}  // namespace

void RestoreSetAsideLibraries(const std::wstring& applicationFolder) {
    for (std::wstring_view file : kControlLibraries) Restore(ControlLibraryPath(applicationFolder, file));
    Restore(ControlLibraryPath(applicationFolder, kEngineLibraryFileName));
}

}  // namespace velmora
