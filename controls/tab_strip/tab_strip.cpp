// A tab strip with a single tab, "Tab 1", over an empty page. It has no
// settings beyond size and font and no dispatch members: it exists so that
// a window that asks for a tab strip gets a real one.
#include <iterator>

#include "framework/control_base.h"
#include "tab_strip/tab_strip_class.h"

namespace velmora::controls {
namespace {

class TabStrip final : public WindowedControl {
public:
    TabStrip();

private:
    void Draw(HDC dc, const RECT& bounds) override;
    void LoadProperties(IPropertyBag*) override {}
    HRESULT SaveProperties(IPropertyBag*) override { return S_OK; }
};

constexpr ControlClass kTabStripClass{tab_strip::kClsid, tab_strip::kProgId, L"Velmora Tab Strip",
                                      L"VelmoraTabStrip", &CreateControl<TabStrip>};

constexpr wchar_t kTabTitle[] = L"Tab 1";

TabStrip::TabStrip() : WindowedControl(kTabStripClass, SIZEL{1931, 1508}, SansSerifFont(82500)) {}

void TabStrip::Draw(HDC dc, const RECT& bounds) {
    FillSolid(dc, bounds, ::GetSysColor(COLOR_BTNFACE));
    const SelectedObject font(dc, Font());
    SIZE title{};
    ::GetTextExtentPoint32W(dc, kTabTitle, static_cast<int>(std::size(kTabTitle) - 1), &title);
    // The selected tab stands on the page's top edge and opens into it.
    const RECT tab{bounds.left, bounds.top, bounds.left + title.cx + 12, bounds.top + title.cy + 6};
    RECT page{bounds.left, tab.bottom - 1, bounds.right, bounds.bottom};
    ::DrawEdge(dc, &page, EDGE_RAISED, BF_RECT);
    RECT tabEdge = tab;
    ::DrawEdge(dc, &tabEdge, EDGE_RAISED, BF_LEFT | BF_TOP | BF_RIGHT);
    const RECT opening{tab.left + 2, tab.bottom - 1, tab.right - 2, tab.bottom + 1};
    FillSolid(dc, opening, ::GetSysColor(COLOR_BTNFACE));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    RECT text = tab;
    ::DrawTextW(dc, kTabTitle, -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

}  // namespace

const ControlClass& ThisLibraryClass() { return kTabStripClass; }

}  // namespace velmora::controls
