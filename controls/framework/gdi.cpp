#include "framework/gdi.h"

namespace velmora::controls {

COLORREF ToColorRef(OLE_COLOR color) noexcept {
    COLORREF result = 0;
    return SUCCEEDED(::OleTranslateColor(color, nullptr, &result)) ? result : RGB(0, 0, 0);
}

COLORREF Mix(COLORREF from, COLORREF to, int step, int steps) noexcept {
    if (steps <= 0) return from;
    auto channel = [&](BYTE a, BYTE b) {
        return static_cast<BYTE>(a + (static_cast<int>(b) - static_cast<int>(a)) * step / steps);
    };
    return RGB(channel(GetRValue(from), GetRValue(to)), channel(GetGValue(from), GetGValue(to)),
               channel(GetBValue(from), GetBValue(to)));
}

void FillSolid(HDC dc, const RECT& area, COLORREF color) noexcept {
    // An opaque empty text run fills the rectangle with the background
    // colour without a brush to create and free.
    const COLORREF previous = ::SetBkColor(dc, color);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &area, nullptr, 0, nullptr);
    ::SetBkColor(dc, previous);
}

}  // namespace velmora::controls
