// The program's entry: OLE for the hosted controls, the window, and the
// message loop of the program's one GUI thread.
#include <windows.h>

#include "common/message_box_win.h"
#include "common/owners_win.h"
#include "window/updater_window_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    velmora::OleInitialization ole;
    std::unique_ptr<velmora::UpdaterWindow> window;
    try {
        window = velmora::UpdaterWindow::Load(instance);
        window->Show();
    } catch (const velmora::Failure& failure) {
        velmora::EndProgramWithFailure(failure);
    }
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}
