#include "startup/application_pointer_win.h"

#include <atomic>

namespace velmora {
namespace {

// Read by window procedures on the GUI thread; atomic so that a window of
// another thread of the program reads it whole as well.
std::atomic<PointerShape> applicationShape{PointerShape::Default};

HCURSOR CursorFor(PointerShape shape) {
    return ::LoadCursorW(nullptr, shape == PointerShape::Busy ? IDC_WAIT : IDC_ARROW);
}

}  // namespace

void SetApplicationPointer(PointerShape shape) {
    applicationShape.store(shape);
    ::SetCursor(CursorFor(shape));
}

bool ApplyApplicationPointer() {
    const PointerShape shape = applicationShape.load();
    if (shape == PointerShape::Default) return false;
    ::SetCursor(CursorFor(shape));
    return true;
}

}  // namespace velmora
