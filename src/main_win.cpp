// The program's entry: the claim on the application folder (a second start
// of the same install brings the first one's window forward and ends), OLE
// for the hosted controls, the start-up (which registers the controls and
// loads and shows the window), then the message loop of the program's one
// GUI thread for as long as the window lives.
#include <windows.h>

#include <memory>

#include "common/message_box_win.h"
#include "winsupport/owners_win.h"
#include "startup/entry_routine_win.h"
#include "startup/single_instance_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Before anything else: the running updater may be switching the
    // libraries this start would otherwise mend, register and load.
    const velmora::FolderClaim claim = velmora::ClaimApplicationFolder();
    if (claim.heldByAnother) {
        velmora::BringRunningUpdaterForward();
        return 0;
    }
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
