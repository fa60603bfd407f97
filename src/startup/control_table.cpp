#include "startup/control_table.h"

#include "common/folder_path.h"

namespace velmora {

std::wstring LibsFolder(std::wstring_view applicationFolder) { return JoinPath(applicationFolder, L"libs"); }

std::wstring ControlLibraryPath(std::wstring_view applicationFolder, std::wstring_view file) {
    return JoinPath(LibsFolder(applicationFolder), file);
}

std::wstring FallbackCommandLine(std::wstring_view applicationFolder, std::wstring_view file) {
    std::wstring commandLine = L"regsvr32 /s \"";
    commandLine += ControlLibraryPath(applicationFolder, file);
    commandLine += L'"';
    return commandLine;
}

}  // namespace velmora
