#pragma once
// The object behind a window of ours: CreateWindowExW's last parameter is
// the object, stored with the window at WM_NCCREATE (the first message that
// carries it) and found again for every later message. Messages that come
// before WM_NCCREATE, and any after the object let go of the window, find
// none.
#include <windows.h>

namespace velmora {

template <class Object>
Object* WindowObject(HWND window, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* object = static_cast<Object*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
        return object;
    }
    return reinterpret_cast<Object*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

}  // namespace velmora
