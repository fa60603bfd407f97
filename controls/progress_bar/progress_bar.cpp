#include "progress_bar/progress_bar.h"

#include <algorithm>
#include <cmath>

#include "framework/property_bag.h"
#include "framework/variant.h"
#include "progress_bar/progress_bar_class.h"

namespace velmora::controls {
namespace {

constexpr ControlClass kProgressBarClass{
    progress_bar::kClsid, progress_bar::kProgId, L"Velmora Progress Bar", L"VelmoraProgressBar",
    &CreateControl<ProgressBar>};

constexpr WindowedControl::DispatchMember kMembers[] = {
    {L"Value", progress_bar::kValue, false}, {L"Max", progress_bar::kMaximum, false},
    {L"Min", progress_bar::kMinimum, false}, {L"Text", progress_bar::kText, false},
    {L"Refresh", progress_bar::kRefresh, true},
};

}  // namespace

const ControlClass& ThisLibraryClass() { return kProgressBarClass; }

ProgressBar::ProgressBar() : WindowedControl(kProgressBarClass, SIZEL{9551, 450}, SansSerifFont(82500)) {}

void ProgressBar::SetValue(LONG value) {
    value_ = std::clamp(value, std::min(minimum_, maximum_), std::max(minimum_, maximum_));
    Invalidate();
}

double ProgressBar::Fraction() const {
    if (maximum_ <= minimum_) return 0.0;
    return (static_cast<double>(value_) - minimum_) / (static_cast<double>(maximum_) - minimum_);
}

std::wstring ProgressBar::ShownText() const {
    switch (captionType_) {
    case 1:
        return std::to_wstring(static_cast<int>(Fraction() * 100.0)) + L"%" + textAfterCaption_;
    case 2:
        return {};
    default:
        return Caption();
    }
}

void ProgressBar::LoadProperties(IPropertyBag* bag) {
    ReadInt(bag, L"borderstyle", borderStyle_);
    ReadInt(bag, L"captiontype", captionType_);
    ReadBool(bag, L"smooth", smooth_);
    ReadColor(bag, L"backcolor", backColor_);
    ReadColor(bag, L"barstartcolor", barStartColor_);
    ReadColor(bag, L"barendcolor", barEndColor_);
    ReadText(bag, L"textaftercaption", textAfterCaption_);
    LONG value = value_;
    ReadInt(bag, L"value2", value);
    SetValue(value);
}

HRESULT ProgressBar::SaveProperties(IPropertyBag* bag) {
    return FirstFailure({
        WriteInt(bag, L"borderstyle", borderStyle_),
        WriteInt(bag, L"captiontype", captionType_),
        WriteInt(bag, L"value2", value_),
        WriteInt(bag, L"percentage2", static_cast<LONG>(Fraction() * 100.0)),
        WriteBool(bag, L"smooth", smooth_),
        WriteColor(bag, L"backcolor", backColor_),
        WriteColor(bag, L"barstartcolor", barStartColor_),
        WriteColor(bag, L"barendcolor", barEndColor_),
        WriteEmpty(bag, L"backpicture"),
        WriteEmpty(bag, L"barpicture"),
        WriteText(bag, L"textaftercaption", textAfterCaption_),
    });
}

std::span<const WindowedControl::DispatchMember> ProgressBar::DispatchMembers() const { return kMembers; }

HRESULT ProgressBar::GetProperty(DISPID id, VARIANT& result) {
    if (id == progress_bar::kText) {
        result.bstrVal = ::SysAllocStringLen(Caption().data(), static_cast<UINT>(Caption().size()));
        if (!result.bstrVal) return E_OUTOFMEMORY;
        result.vt = VT_BSTR;
        return S_OK;
    }
    result.vt = VT_I4;
    result.lVal = id == progress_bar::kMaximum ? maximum_ : id == progress_bar::kMinimum ? minimum_ : value_;
    return S_OK;
}

HRESULT ProgressBar::PutProperty(DISPID id, const VARIANT& value) {
    if (id == progress_bar::kText) {
        std::wstring text;
        const HRESULT hr = ToText(value, text);
        if (SUCCEEDED(hr)) SetCaption(text);
        return hr;
    }
    LONG number = 0;
    const HRESULT hr = ToInt32(value, number);
    if (FAILED(hr)) return hr;
    if (id == progress_bar::kMaximum) maximum_ = number;
    if (id == progress_bar::kMinimum) minimum_ = number;
    SetValue(id == progress_bar::kValue ? number : value_);
    return S_OK;
}

HRESULT ProgressBar::CallMethod(DISPID) {
    // Refresh: paint now rather than at the next idle moment.
    RedrawNow();
    return S_OK;
}

}  // namespace velmora::controls
