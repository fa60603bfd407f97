#include "window/progress_bar_win.h"

#include "winsupport/variant_win.h"

namespace velmora::progress_bar {

namespace {

void PutByReference(HostedControl& bar, DISPID id, std::int32_t number) {
    LONG value = number;
    VARIANT argument;
    ::VariantInit(&argument);
    argument.vt = VT_I4 | VT_BYREF;
    argument.plVal = &value;
    bar.PutProperty(id, argument);
}

void PutByValue(HostedControl& bar, DISPID id, std::int32_t number) {
    VARIANT argument;
    ::VariantInit(&argument);
    argument.vt = VT_I4;
    argument.lVal = number;
    bar.PutProperty(id, argument);
}

}  // namespace

void SetMaximum(HostedControl& bar, std::int32_t maximum) { PutByReference(bar, kMaximum, maximum); }
void SetMinimum(HostedControl& bar, std::int32_t minimum) { PutByValue(bar, kMinimum, minimum); }
void SetValue(HostedControl& bar, std::int32_t value) { PutByReference(bar, kValue, value); }

void SetText(HostedControl& bar, const std::wstring& text) {
    const Variant argument = Variant::Text(text);
    bar.PutProperty(kText, argument);
}

void Refresh(HostedControl& bar) { bar.CallMethod(kRefresh); }

}  // namespace velmora::progress_bar
