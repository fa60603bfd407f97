#include "window/game_launch_win.h"

#include <windows.h>

#include "common/message_box_win.h"
#include "common/process_win.h"
#include "window/file_exists.h"

namespace velmora {

void StartGameOrReportMissing() {
    if (!FileExists(L"velmora.exe", 0)) {
        ShowMessage(L"No se encuentra velmora.exe");
        return;
    }
    StartProcess(L"velmora.exe /NOUPDATE", SW_SHOWNORMAL);
}

}  // namespace velmora
