// The control's child window: its class, its messages and its flicker-free
// painting.
#include "framework/control_window.h"

#include "framework/control_base.h"
#include "winsupport/window_object_win.h"

namespace velmora::controls {

bool RegisterControlWindowClass(const ControlClass& control, WNDPROC procedure) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (::GetClassInfoExW(ThisModule(), control.windowClass, &existing)) return true;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ThisModule();
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = control.windowClass;
    // Another apartment thread may have won the race; its class is ours too.
    return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void UnregisterControlWindowClass(const ControlClass& control) {
    ::UnregisterClassW(control.windowClass, ThisModule());
}

HRESULT WindowedControl::CreateControlWindow(HWND parent, const RECT& position) {
    if (!RegisterControlWindowClass(class_, &WindowProc)) return HRESULT_FROM_WIN32(::GetLastError());
    // WM_NCCREATE hands the window to window_.
    const HWND window = ::CreateWindowExW(0, class_.windowClass, caption_.c_str(), WS_CHILD | WS_CLIPSIBLINGS,
                                          position.left, position.top, position.right - position.left,
                                          position.bottom - position.top, parent, nullptr, ThisModule(), this);
    if (window) return S_OK;
    const DWORD error = ::GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

LRESULT CALLBACK WindowedControl::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = WindowObject<WindowedControl>(window, message, lParam);
    if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCCREATE) self->window_.reset(window);
    if (message == WM_NCDESTROY) {
        // Destroyed by us or with its parent: either way the object no
        // longer has a window.
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_.release();
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    // Messages come from the system's dispatch; nothing may throw into it.
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT WindowedControl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = window_.get();
    switch (message) {
    case WM_ERASEBKGND:
        return 1;  // the buffered paint covers every pixel; erasing would flicker
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        const HDC dc = ::BeginPaint(window, &paint);
        if (dc) PaintBuffered(dc);
        ::EndPaint(window, &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        PaintBuffered(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SETTEXT:
        // Whoever sets the window's text sets the control's text.
        caption_ = lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"";
        Invalidate();
        break;
    default:
        break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void WindowedControl::PaintBuffered(HDC target) {
    RECT bounds{};
    ::GetClientRect(window_.get(), &bounds);
    if (::IsRectEmpty(&bounds)) return;
    const UniqueMemoryDc buffer(::CreateCompatibleDC(target));
    const UniqueBitmap bitmap(::CreateCompatibleBitmap(target, bounds.right, bounds.bottom));
    if (!buffer || !bitmap) {
        Draw(target, bounds);
        return;
    }
    const SelectedObject selected(buffer.get(), bitmap.get());
    Draw(buffer.get(), bounds);
    ::BitBlt(target, 0, 0, bounds.right, bounds.bottom, buffer.get(), 0, 0, SRCCOPY);
}

}  // namespace velmora::controls
