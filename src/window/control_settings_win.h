#pragma once
// The persisted settings the window creates its hosted controls with.
#include "winsupport/owners_win.h"
#include "window/property_bag_win.h"

namespace velmora {

ComPtr<PropertyBag> ProgressBarSettings();
ComPtr<PropertyBag> RichTextBoxSettings();

}  // namespace velmora
