#pragma once
// One ActiveX control hosted on a window: created by its class name, loaded
// with its persisted settings (or initialised new), placed in-place at a
// fixed rectangle as a child window of the host, and torn down again when
// the owner goes. Creation failures raise Failure with the COM error.
#include <oaidl.h>
#include <oleidl.h>

#include "winsupport/owners_win.h"
#include "window/control_site_win.h"
#include "window/property_bag_win.h"

namespace velmora {

class HostedControl {
public:
    // `settings` may be null: the control is then initialised new.
    HostedControl(HWND host, const wchar_t* className, const RECT& position, IPropertyBag* settings);
    ~HostedControl();
    HostedControl(const HostedControl&) = delete;
    HostedControl& operator=(const HostedControl&) = delete;

    // The control's window, shown or hidden by the site.
    HWND Window() const { return window_; }
    bool Visible() const;
    void SetVisible(bool visible);

    // The control's own members, by dispatch identifier. Failures of the
    // control come back as Failure.
    void PutProperty(DISPID id, VARIANT value);
    void CallMethod(DISPID id);

private:
    void Invoke(DISPID id, WORD flags, DISPPARAMS& parameters);

    ComPtr<ControlSite> site_;
    ComPtr<IOleObject> object_;
    ComPtr<IDispatch> dispatch_;
    HWND window_ = nullptr;
};

}  // namespace velmora
