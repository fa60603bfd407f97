// How the progress bar looks.
#include <algorithm>
#include <cmath>

#include "framework/gdi.h"
#include "progress_bar/progress_bar.h"

namespace velmora::controls {
namespace {

constexpr COLORREF kFrameColor = RGB(32, 32, 32);
constexpr COLORREF kTextColor = RGB(255, 255, 255);
// A dark shadow one pixel down and right keeps light text readable on the
// grey field and on the green bar alike.
constexpr COLORREF kShadowColor = RGB(0, 0, 0);
constexpr int kBlockGap = 2;

}  // namespace

void ProgressBar::Draw(HDC dc, const RECT& bounds) {
    FillSolid(dc, bounds, ToColorRef(backColor_));
    RECT inside = bounds;
    if (borderStyle_ != 0) {
        ::SetDCBrushColor(dc, kFrameColor);
        ::FrameRect(dc, &bounds, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
        ::InflateRect(&inside, -1, -1);
    }
    DrawBar(dc, inside);
    DrawCaption(dc, inside);
}

// The filled part runs from the start colour at its left end to the end
// colour at its right end, whatever its length.
void ProgressBar::DrawBar(HDC dc, const RECT& area) const {
    const int width = static_cast<int>(area.right - area.left);
    const int filled = std::clamp(static_cast<int>(std::lround(Fraction() * width)), 0, width);
    const COLORREF start = ToColorRef(barStartColor_);
    const COLORREF end = ToColorRef(barEndColor_);
    const int block = std::max(2, static_cast<int>(area.bottom - area.top) * 2 / 3);
    for (int x = 0; x < filled; ++x) {
        if (!smooth_ && x % (block + kBlockGap) >= block) continue;  // the gap between blocks
        const RECT column{area.left + x, area.top, area.left + x + 1, area.bottom};
        FillSolid(dc, column, Mix(start, end, x, filled - 1));
    }
}

void ProgressBar::DrawCaption(HDC dc, const RECT& area) {
    const std::wstring text = ShownText();
    if (text.empty()) return;
    const SelectedObject font(dc, Font());
    ::SetBkMode(dc, TRANSPARENT);
    constexpr UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
    RECT shadow = area;
    ::OffsetRect(&shadow, 1, 1);
    ::SetTextColor(dc, kShadowColor);
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &shadow, format);
    RECT face = area;
    ::SetTextColor(dc, kTextColor);
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &face, format);
}

}  // namespace velmora::controls
