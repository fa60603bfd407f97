#include "window/skin_child_win.h"

#include "winsupport/owners_win.h"

namespace velmora {

void PaintSkinBehind(HDC target, HWND child, HBITMAP skin) {
    RECT client;
    ::GetClientRect(child, &client);
    ::FillRect(target, &client, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    POINT origin{0, 0};
    ::MapWindowPoints(child, ::GetParent(child), &origin, 1);
    UniqueMemoryDc source(::CreateCompatibleDC(target));
    const SelectedObject selected(source.get(), skin);
    // Where the child reaches past the skin the window's black shows.
    ::BitBlt(target, 0, 0, client.right, client.bottom, source.get(), origin.x, origin.y, SRCCOPY);
}

HWND CreateSkinChild(const wchar_t* className, WNDPROC procedure, HWND parent, const RECT& place, int id,
                     void* parameter) {
    const auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE));
    WNDCLASSEXW type{};
    if (!::GetClassInfoExW(instance, className, &type)) {
        type.cbSize = sizeof type;
        type.lpfnWndProc = procedure;
        type.hInstance = instance;
        type.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        type.lpszClassName = className;
        if (!::RegisterClassExW(&type)) return nullptr;
    }
    // Clipped by its siblings: where a control above it overlaps (the bar
    // over the status line's last row) it does not paint.
    return ::CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, place.left, place.top,
                             place.right - place.left, place.bottom - place.top, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, parameter);
}

}  // namespace velmora
