// The program's entry: OLE for the hosted controls, the start-up (which
// registers the controls and loads and shows the window), then the message
// loop of the program's one GUI thread for as long as the window lives.
#include <windows.h>

#include <memory>

#include "common/message_box_win.h"
#include "winsupport/owners_win.h"
#include "startup/entry_routine_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    velmora::OleInitialization ole;
    std::unique_ptr<velmora::UpdaterWindow> window;
    try {
        window = velmora::RunEntryRoutine(instance);
    } catch (...) {
        // Ours or not (a failed allocation, say): reported, never silent.
        velmora::EndProgramWithFailure(velmora::FailureOfCurrentException());
    }
    if (!window) return 0;
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}
