#include "window/control_settings_win.h"

namespace velmora {

ComPtr<PropertyBag> ProgressBarSettings() {
    auto bag = PropertyBag::Create();
    bag->Add(L"_extentx", Variant::Int32(9551));  // HIMETRIC: 361 pixels
    bag->Add(L"_extenty", Variant::Int32(450));   // HIMETRIC: 17 pixels
    bag->Add(L"borderstyle", Variant::Int32(0));
    bag->Add(L"captiontype", Variant::Int32(0));
    bag->Add(L"value2", Variant::Int32(0));
    bag->Add(L"percentage2", Variant::Int32(0));
    bag->Add(L"smooth", Variant::Bool(true));
    bag->Add(L"backcolor", Variant::Int32(RGB(128, 128, 128)));
    bag->Add(L"barstartcolor", Variant::Int32(RGB(0, 64, 0)));
    bag->Add(L"barendcolor", Variant::Int32(RGB(0, 192, 0)));
    bag->Add(L"font", Variant::Object(CreateFontObject(L"MS Sans Serif", 8.25, FW_NORMAL).get()));
    bag->Add(L"backpicture", Variant::Object(nullptr));
    bag->Add(L"barpicture", Variant::Object(nullptr));
    bag->Add(L"textaftercaption", Variant::Text(L"aaaaaaaa"));
    return bag;
}

ComPtr<PropertyBag> RichTextBoxSettings() {
    auto bag = PropertyBag::Create();
    bag->Add(L"text", Variant::Text(L"RichTextBox1"));
    bag->Add(L"font", Variant::Object(CreateFontObject(L"MS Sans Serif", 8.5, FW_NORMAL).get()));
    return bag;
}

}  // namespace velmora
