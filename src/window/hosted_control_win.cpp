#include "window/hosted_control_win.h"

#include <ocidl.h>

#include "common/failure_win.h"
#include "window/window_layout.h"

namespace velmora {

namespace {

void Check(HRESULT hr) {
    if (FAILED(hr)) throw FailureFromHresult(hr);
}

// Loads the persisted settings, or initialises the control new when there
// are none (a control is either loaded or initialised, never both).
void LoadSettings(IOleObject* object, IPropertyBag* settings) {
    if (auto bag = ComPtr<IOleObject>::Share(object).query<IPersistPropertyBag>()) {
        Check(settings ? bag->Load(settings, nullptr) : bag->InitNew());
        return;
    }
    if (auto stream = ComPtr<IOleObject>::Share(object).query<IPersistStreamInit>()) {
        Check(stream->InitNew());
        return;
    }
    if (settings) throw Failure(static_cast<std::uint32_t>(E_NOINTERFACE), SystemErrorText(static_cast<DWORD>(E_NOINTERFACE)));
}

}  // namespace

HostedControl::HostedControl(HWND host, const wchar_t* className, const RECT& position, IPropertyBag* settings) {
    CLSID classId{};
    Check(::CLSIDFromProgID(className, &classId));
    Check(::CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, object_.put_void()));
    site_ = ControlSite::Create(host, position);

    // Some controls need their site before anything else happens to them.
    DWORD misc = 0;
    object_->GetMiscStatus(DVASPECT_CONTENT, &misc);
    const bool siteFirst = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (siteFirst) Check(object_->SetClientSite(site_.get()));
    try {
        LoadSettings(object_.get(), settings);
        if (!siteFirst) Check(object_->SetClientSite(site_.get()));

        SIZEL extent{layout::PixelsToHimetric(position.right - position.left),
                     layout::PixelsToHimetric(position.bottom - position.top)};
        object_->SetExtent(DVASPECT_CONTENT, &extent);

        // In-place activation without the focus a SHOW verb would take.
        RECT place = position;
        Check(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.get(), 0, host, &place));
        auto inPlace = object_.query<IOleInPlaceObject>();
        if (!inPlace || FAILED(inPlace->GetWindow(&window_)) || !window_)
            throw Failure(static_cast<std::uint32_t>(E_FAIL), L"The control has no window of its own.");
        site_->SetInPlaceObject(inPlace.get());
        ::ShowWindow(window_, SW_HIDE);
        dispatch_ = object_.query<IDispatch>();
    } catch (...) {
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
        throw;
    }
}

HostedControl::~HostedControl() {
    if (auto inPlace = object_.query<IOleInPlaceObject>()) inPlace->InPlaceDeactivate();
    site_->ForgetInPlaceObject();
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
}

// The control's own visibility, whether or not the host window is shown yet.
bool HostedControl::Visible() const { return (::GetWindowLongW(window_, GWL_STYLE) & WS_VISIBLE) != 0; }

void HostedControl::SetVisible(bool visible) { ::ShowWindow(window_, visible ? SW_SHOWNA : SW_HIDE); }

void HostedControl::Invoke(DISPID id, WORD flags, DISPPARAMS& parameters) {
    if (!dispatch_) throw FailureFromHresult(E_NOINTERFACE);
    EXCEPINFO exception{};
    UINT argumentError = 0;
    VARIANT result;
    ::VariantInit(&result);
    const HRESULT hr =
        dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, &result, &exception, &argumentError);
    ::VariantClear(&result);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
    Check(hr);
}

void HostedControl::PutProperty(DISPID id, VARIANT value) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{&value, &named, 1, 1};
    Invoke(id, DISPATCH_PROPERTYPUT, parameters);
}

void HostedControl::CallMethod(DISPID id) {
    DISPPARAMS parameters{nullptr, nullptr, 0, 0};
    Invoke(id, DISPATCH_METHOD, parameters);
}

}  // namespace velmora
