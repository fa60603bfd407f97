#include "support/control_host.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "framework/gdi.h"
#include "winsupport/text_win.h"

namespace velmora::testing {

Variant Int(LONG value) { return Variant::Int32(value); }
Variant Short(SHORT value) {
    Variant v;
    v.vt = VT_I2;
    v.iVal = value;
    return v;
}
Variant Unsigned(ULONG value) {
    Variant v;
    v.vt = VT_UI4;
    v.ulVal = value;
    return v;
}
Variant Bool(bool value) { return Variant::Bool(value); }
Variant Text(const std::wstring& value) { return Variant::Text(value); }
Variant Unknown(IUnknown* object, VARTYPE type) { return Variant::Object(object, type); }
Variant IntByReference(LONG* target) {
    Variant v;
    v.vt = VT_BYREF | VT_I4;
    v.plVal = target;
    return v;
}

ComPtr<IFont> MakeFont(const wchar_t* name, LONGLONG size, SHORT weight) {
    FONTDESC description{};
    description.cbSizeofstruct = sizeof description;
    description.lpstrName = const_cast<LPOLESTR>(name);
    description.cySize.int64 = size;
    description.sWeight = weight;
    description.sCharset = ANSI_CHARSET;
    ComPtr<IFont> font;
    ::OleCreateFontIndirect(&description, IID_IFont, font.put_void());
    return font;
}

std::string FontText(const wchar_t* name, LONGLONG size, SHORT weight) {
    const ComPtr<IFont> font = MakeFont(name, size, weight);
    return Describe(Unknown(font.get()));
}

std::string Describe(const VARIANT& value) {
    char text[160];
    switch (value.vt) {
    case VT_EMPTY:
        return "EMPTY";
    case VT_I4:
        return "I4:" + std::to_string(value.lVal);
    case VT_BOOL:
        return value.boolVal ? "BOOL:true" : "BOOL:false";
    case VT_BSTR:
        return "BSTR:" + Utf8(std::wstring_view(value.bstrVal ? value.bstrVal : L"", ::SysStringLen(value.bstrVal)));
    case VT_UNKNOWN:
    case VT_DISPATCH: {
        if (!value.punkVal) return "UNKNOWN:null";
        ComPtr<IFont> font;
        if (FAILED(value.punkVal->QueryInterface(IID_IFont, font.put_void()))) return "UNKNOWN:object";
        BSTR name = nullptr;
        CY size{};
        SHORT weight = 0;
        SHORT charset = 0;
        font->get_Name(&name);
        font->get_Size(&size);
        font->get_Weight(&weight);
        font->get_Charset(&charset);
        std::snprintf(text, sizeof text, "FONT:%ls/%g/%d/%d", name, static_cast<double>(size.int64) / 10000.0, weight,
                      charset);
        ::SysFreeString(name);
        return text;
    }
    default:
        std::snprintf(text, sizeof text, "VT%u", static_cast<unsigned>(value.vt));
        return text;
    }
}

// --- MemoryPropertyBag ------------------------------------------------------

HRESULT MemoryPropertyBag::QueryInterface(REFIID iid, void** object) {
    if (iid == IID_IUnknown || iid == IID_IPropertyBag) {
        *object = static_cast<IPropertyBag*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

const VARIANT* MemoryPropertyBag::Find(const std::wstring& name) const {
    for (const auto& [key, value] : values_) {
        if (key == name) return &value;
    }
    return nullptr;
}

HRESULT MemoryPropertyBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
    const VARIANT* stored = Find(name);
    if (!stored) return E_INVALIDARG;
    return ::VariantCopy(value, const_cast<VARIANT*>(stored));
}

HRESULT MemoryPropertyBag::Write(LPCOLESTR name, VARIANT* value) {
    for (auto& [key, stored] : values_) {
        if (key == name) return ::VariantCopy(stored.put(), value);
    }
    values_.emplace_back(name, Variant(*value));
    return S_OK;
}

// --- RecordingSite ----------------------------------------------------------

HRESULT RecordingSite::QueryInterface(REFIID iid, void** object) {
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
        *object = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
        *object = static_cast<IOleInPlaceSite*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT RecordingSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT RecordingSite::GetContainer(IOleContainer** container) {
    *container = nullptr;
    return E_NOINTERFACE;
}

HRESULT RecordingSite::GetWindow(HWND* window) {
    *window = host_;
    return Note("GetWindow", S_OK);
}

HRESULT RecordingSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                        LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    // No frame or document window: a control must cope without menus and
    // toolbars to merge.
    *frame = nullptr;
    *document = nullptr;
    *position = position_;
    *clip = position_;
    info->fMDIApp = FALSE;
    info->hwndFrame = host_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return Note("GetWindowContext", S_OK);
}

// --- ControlLibrary ---------------------------------------------------------

ControlLibrary::ControlLibrary(const std::wstring& path) : module_(::LoadLibraryW(path.c_str())) {}

FARPROC ControlLibrary::Entry(const char* name) const {
    return module_ ? ::GetProcAddress(module_.get(), name) : nullptr;
}

ComPtr<IOleObject> ControlLibrary::Create(REFCLSID clsid) const {
    using GetClassObject = HRESULT(__stdcall*)(REFCLSID, REFIID, void**);
    const auto getClassObject = reinterpret_cast<GetClassObject>(reinterpret_cast<void (*)()>(Entry("DllGetClassObject")));
    ComPtr<IOleObject> control;
    if (!getClassObject) {
        ADD_FAILURE() << "no DllGetClassObject";
        return control;
    }
    ComPtr<IClassFactory> factory;
    HRESULT hr = getClassObject(clsid, IID_IClassFactory, factory.put_void());
    if (SUCCEEDED(hr)) hr = factory->CreateInstance(nullptr, IID_IOleObject, control.put_void());
    if (FAILED(hr)) ADD_FAILURE() << "cannot create the control: 0x" << std::hex << hr;
    return control;
}

namespace {
HRESULT CallEntry(FARPROC entry) {
    return entry ? reinterpret_cast<HRESULT(__stdcall*)()>(reinterpret_cast<void (*)()>(entry))() : E_NOTIMPL;
}
}  // namespace

HRESULT ControlLibrary::CanUnloadNow() const { return CallEntry(Entry("DllCanUnloadNow")); }
HRESULT ControlLibrary::Register() const { return CallEntry(Entry("DllRegisterServer")); }
HRESULT ControlLibrary::Unregister() const { return CallEntry(Entry("DllUnregisterServer")); }

// --- Dispatch helpers -------------------------------------------------------

HRESULT PutProperty(IDispatch* object, DISPID id, const Variant& value, UINT* argumentError) {
    VARIANT argument = value;  // borrowed: Invoke does not own its arguments
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&argument, &named, 1, 1};
    UINT error = 0;
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                          argumentError ? argumentError : &error);
}

HRESULT GetProperty(IDispatch* object, DISPID id, Variant& result) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, result.put(), nullptr,
                          nullptr);
}

HRESULT CallMethod(IDispatch* object, DISPID id) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
}

std::string Read(IDispatch* object, DISPID id) {
    Variant value;
    const HRESULT hr = GetProperty(object, id, value);
    if (FAILED(hr)) {
        char text[32];
        std::snprintf(text, sizeof text, "error 0x%08lX", static_cast<unsigned long>(hr));
        return text;
    }
    return Describe(value);
}

std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    const auto length = ::SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return std::wstring(text, static_cast<size_t>(length));
}

Picture Render(HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    Picture picture;
    picture.width = client.right;
    picture.height = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const velmora::UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    const velmora::UniqueBitmap bitmap(::CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap) return picture;
    const velmora::SelectedObject selected(dc.get(), bitmap.get());
    ::SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    ::GdiFlush();
    const auto* pixels = static_cast<const DWORD*>(bits);
    for (int i = 0; i < picture.width * picture.height; ++i) {
        const DWORD p = pixels[i];  // 0x00RRGGBB
        picture.pixels.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
    }
    return picture;
}

}  // namespace velmora::testing
