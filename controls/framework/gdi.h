#pragma once
// The few drawing helpers the controls share. (Owners for GDI objects,
// device contexts and windows are in winsupport/owners_win.h.)
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include "winsupport/owners_win.h"

namespace velmora::controls {

// An OLE_COLOR as a plain RGB value; system colours (0x800000nn) resolve to
// the current scheme.
COLORREF ToColorRef(OLE_COLOR color) noexcept;

// The colour `step` of `steps` along the straight line from `from` to `to`
// (step 0 is `from`, step `steps` is `to`).
COLORREF Mix(COLORREF from, COLORREF to, int step, int steps) noexcept;

void FillSolid(HDC dc, const RECT& area, COLORREF color) noexcept;

}  // namespace velmora::controls
