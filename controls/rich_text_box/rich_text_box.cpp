// A box that shows a text, word-wrapped, in its font: the setting `text`
// (and the dispatch member Text, DISPID 0) is the box's text and its
// window's text. Nothing is editable; it exists so that a window that asks
// for a rich text box gets a real one.
#include "framework/control_base.h"
#include "framework/property_bag.h"
#include "framework/variant.h"
#include "rich_text_box/rich_text_box_class.h"

namespace velmora::controls {
namespace {

class RichTextBox final : public WindowedControl {
public:
    RichTextBox();

private:
    void Draw(HDC dc, const RECT& bounds) override;
    void LoadProperties(IPropertyBag* bag) override;
    HRESULT SaveProperties(IPropertyBag* bag) override;
    std::span<const DispatchMember> DispatchMembers() const override;
    HRESULT GetProperty(DISPID id, VARIANT& result) override;
    HRESULT PutProperty(DISPID id, const VARIANT& value) override;
};

constexpr ControlClass kRichTextBoxClass{rich_text_box::kClsid, rich_text_box::kProgId, L"Velmora Rich Text Box",
                                         L"VelmoraRichTextBox", &CreateControl<RichTextBox>};

constexpr WindowedControl::DispatchMember kMembers[] = {{L"Text", rich_text_box::kText, false}};

RichTextBox::RichTextBox() : WindowedControl(kRichTextBoxClass, SIZEL{1296, 1720}, SansSerifFont(82500)) {}

void RichTextBox::Draw(HDC dc, const RECT& bounds) {
    FillSolid(dc, bounds, ::GetSysColor(COLOR_WINDOW));
    RECT edge = bounds;
    ::DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
    const SelectedObject font(dc, Font());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    RECT text = bounds;
    ::InflateRect(&text, -3, -3);
    ::DrawTextW(dc, Caption().c_str(), static_cast<int>(Caption().size()), &text,
                DT_LEFT | DT_TOP | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
}

void RichTextBox::LoadProperties(IPropertyBag* bag) {
    std::wstring text = Caption();
    ReadText(bag, L"text", text);
    SetCaption(text);
}

HRESULT RichTextBox::SaveProperties(IPropertyBag* bag) { return WriteText(bag, L"text", Caption()); }

std::span<const WindowedControl::DispatchMember> RichTextBox::DispatchMembers() const { return kMembers; }

HRESULT RichTextBox::GetProperty(DISPID, VARIANT& result) {
    result.bstrVal = ::SysAllocStringLen(Caption().data(), static_cast<UINT>(Caption().size()));
    if (!result.bstrVal) return E_OUTOFMEMORY;
    result.vt = VT_BSTR;
    return S_OK;
}

HRESULT RichTextBox::PutProperty(DISPID, const VARIANT& value) {
    std::wstring text;
    const HRESULT hr = ToText(value, text);
    if (SUCCEEDED(hr)) {
        SetCaption(text);
        MarkDirty();
    }
    return hr;
}

}  // namespace

const ControlClass& ThisLibraryClass() { return kRichTextBoxClass; }

}  // namespace velmora::controls
