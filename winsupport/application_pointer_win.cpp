#include "winsupport/application_pointer_win.h"

#include <atomic>

namespace velmora {
namespace {

// Read by window procedures on the GUI thread; atomic so that a window of
// another thread of the program reads it whole as well.
std::atomic<bool> applicationBusy{false};

HCURSOR Cursor(bool busy) { return ::LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW); }

}  // namespace

void SetApplicationPointerBusy(bool busy) {
    applicationBusy.store(busy);
    ::SetCursor(Cursor(busy));
}

bool ApplyApplicationPointer() {
    if (!applicationBusy.load()) return false;
    ::SetCursor(Cursor(true));
    return true;
}

}  // namespace velmora
