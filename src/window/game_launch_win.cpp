#include "window/game_launch_win.h"

#include <windows.h>

#include <string>

#include "common/message_box_win.h"
#include "common/owners_win.h"
#include "common/system_error_win.h"
#include "text/file_exists.h"

namespace velmora {

void StartGameOrReportMissing() {
    if (!FileExists(L"velmora.exe", 0)) {
        ShowMessage(L"No se encuentra velmora.exe");
        return;
    }
    std::wstring commandLine = L"velmora.exe /NOUPDATE";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &started))
        throw FailureFromLastError();
    // The game runs on its own; nothing of it is kept.
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);
}

}  // namespace velmora
