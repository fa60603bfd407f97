#include "window/skin_child_win.h"

#include <windowsx.h>

namespace velmora {

namespace {

constexpr wchar_t kClassName[] = L"VelmoraClickArea";

struct ClickArea {
    HBITMAP skin;
    bool pressed = false;
};

LRESULT CALLBACK ClickAreaProcedure(HWND area, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = SkinChildState<ClickArea>(area, message, lParam);
    switch (message) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = ::BeginPaint(area, &paint);
            if (state) PaintSkinBehind(dc, area, state->skin);
            ::EndPaint(area, &paint);
            return 0;
        }
        case WM_LBUTTONDOWN:
            if (state) state->pressed = true;
            ::SetCapture(area);
            return 0;
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            // Not a click, but the pointer's events are the area's until the
            // release all the same: a press here never drags the window.
            ::SetCapture(area);
            return 0;
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            if (::GetCapture() == area && !(state && state->pressed)) ::ReleaseCapture();
            return 0;
        case WM_LBUTTONUP: {
            const bool wasPressed = state && state->pressed;
            if (state) state->pressed = false;
            ::ReleaseCapture();
            RECT client;
            ::GetClientRect(area, &client);
            const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (wasPressed && ::PtInRect(&client, at))
                ::SendMessageW(::GetParent(area), WM_COMMAND,
                               MAKEWPARAM(::GetDlgCtrlID(area), BN_CLICKED), reinterpret_cast<LPARAM>(area));
            return 0;
        }
        case WM_CAPTURECHANGED:
            if (state) state->pressed = false;
            return 0;
    }
    return ::DefWindowProcW(area, message, wParam, lParam);
}

}  // namespace

HWND CreateClickArea(HWND parent, const RECT& place, HBITMAP skin, int id) {
    ClickArea state{skin};
    return CreateSkinChild(kClassName, ClickAreaProcedure, parent, place, id, &state);
}

}  // namespace velmora
