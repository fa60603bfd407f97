#include "startup/control_table.h"

namespace velmora {

std::wstring LibsFolder(std::wstring_view applicationFolder) {
    std::wstring folder(applicationFolder);
    folder += L"\\libs";
    return folder;
}

std::wstring ControlLibraryPath(std::wstring_view applicationFolder, std::wstring_view file) {
    std::wstring path = LibsFolder(applicationFolder);
    path += L'\\';
    path += file;
    return path;
}

std::wstring FallbackCommandLine(std::wstring_view applicationFolder, std::wstring_view file) {
    std::wstring commandLine = L"regsvr32 /s \"";
    commandLine += ControlLibraryPath(applicationFolder, file);
    commandLine += L'"';
    return commandLine;
}

}  // namespace velmora
