#pragma once
// A horizontal progress bar: a grey field, a bar from a start to an end
// colour over the share of the width that value takes between minimum and
// maximum, and a text centred on it.
//
// Value is kept within [minimum, maximum] at all times: a value put outside
// is clamped when it is put, and a new minimum or maximum clamps the value
// again. A range whose maximum is not above its minimum draws no bar.
//
// Settings read from the property bag (defaults in brackets):
//   _extentx, _extenty   size in HIMETRIC [9551 x 450]
//   borderstyle          0 none, otherwise a one-pixel dark frame [0]
//   captiontype          what the bar shows: 0 its text, 1 the percentage
//                        followed by textaftercaption, 2 nothing [0]
//   value2               initial value [0]
//   percentage2          written on save (the shown percentage); ignored on load
//   smooth               true: a continuous bar; false: blocks [true]
//   backcolor, barstartcolor, barendcolor   OLE_COLORs [grey, dark green, green]
//   font                 [MS Sans Serif 8.25 pt]
//   textaftercaption     [empty]
//   backpicture, barpicture   the bar draws no pictures; not read, saved empty
// Minimum and maximum start at 0 and 100.
#include <span>

#include "framework/control_base.h"

namespace velmora::controls {

class ProgressBar final : public WindowedControl {
public:
    ProgressBar();

private:
    void Draw(HDC dc, const RECT& bounds) override;
    void LoadProperties(IPropertyBag* bag) override;
    HRESULT SaveProperties(IPropertyBag* bag) override;
    std::span<const DispatchMember> DispatchMembers() const override;
    HRESULT GetProperty(DISPID id, VARIANT& result) override;
    HRESULT PutProperty(DISPID id, const VARIANT& value) override;
    HRESULT CallMethod(DISPID id) override;

    void SetValue(LONG value);
    // How much of the bar is filled, from 0 to 1.
    double Fraction() const;
    std::wstring ShownText() const;
    void DrawBar(HDC dc, const RECT& area) const;
    void DrawCaption(HDC dc, const RECT& area);

    LONG minimum_ = 0;
    LONG maximum_ = 100;
    LONG value_ = 0;
    LONG borderStyle_ = 0;
    LONG captionType_ = 0;
    bool smooth_ = true;
    OLE_COLOR backColor_ = RGB(128, 128, 128);
    OLE_COLOR barStartColor_ = RGB(0, 64, 0);
    OLE_COLOR barEndColor_ = RGB(0, 192, 0);
    std::wstring textAfterCaption_;
};

}  // namespace velmora::controls
