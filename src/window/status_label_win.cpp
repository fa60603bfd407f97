#include "winsupport/owners_win.h"
#include "window/skin_child_win.h"

namespace velmora {

namespace {

constexpr wchar_t kClassName[] = L"VelmoraStatusLabel";
constexpr COLORREF kTextColour = RGB(224, 224, 224);

struct LabelLook {
    HBITMAP skin;
    HFONT font;
};

void Paint(HWND label, const LabelLook& look) {
    PAINTSTRUCT paint;
    HDC screen = ::BeginPaint(label, &paint);
    RECT client;
    ::GetClientRect(label, &client);
    {
        UniqueMemoryDc buffer(::CreateCompatibleDC(screen));
        UniqueBitmap bitmap(::CreateCompatibleBitmap(screen, client.right, client.bottom));
        const SelectedObject selectedBitmap(buffer.get(), bitmap.get());

        PaintSkinBehind(buffer.get(), label, look.skin);
        wchar_t text[512] = {};
        ::GetWindowTextW(label, text, 512);
        const SelectedObject selectedFont(buffer.get(), look.font);
        ::SetBkMode(buffer.get(), TRANSPARENT);
        ::SetTextColor(buffer.get(), kTextColour);
        ::DrawTextW(buffer.get(), text, -1, &client, DT_CENTER | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
        ::BitBlt(screen, 0, 0, client.right, client.bottom, buffer.get(), 0, 0, SRCCOPY);
    }
    ::EndPaint(label, &paint);
}

LRESULT CALLBACK LabelProcedure(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* look = SkinChildState<LabelLook>(label, message, lParam);
    switch (message) {
        case WM_SETTEXT: {
            const LRESULT result = ::DefWindowProcW(label, message, wParam, lParam);
            ::InvalidateRect(label, nullptr, FALSE);
            return result;
        }
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            // The pointer's events belong to the label until the release,
            // wherever the pointer goes meanwhile: a press here never drags
            // the window.
            ::SetCapture(label);
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            if (::GetCapture() == label) ::ReleaseCapture();
            return 0;
        case WM_ERASEBKGND: return 1;  // painted whole in WM_PAINT
        case WM_PAINT:
            if (look) {
                Paint(label, *look);
                return 0;
            }
            break;
    }
    return ::DefWindowProcW(label, message, wParam, lParam);
}

}  // namespace

HWND CreateStatusLabel(HWND parent, const RECT& place, HBITMAP skin, HFONT font) {
    LabelLook look{skin, font};
    return CreateSkinChild(kClassName, LabelProcedure, parent, place, 0, &look);
}

}  // namespace velmora
