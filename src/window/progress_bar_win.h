#pragma once
// The hosted progress bar's members, driven through its dispatch interface
// by their identifiers. Maximum and value go by reference, as the control
// expects them.
#include <cstdint>
#include <string>

#include "window/hosted_control_win.h"

namespace velmora::progress_bar {

inline constexpr DISPID kMaximum = 0x6803000F;
inline constexpr DISPID kMinimum = 0x68030010;
inline constexpr DISPID kValue = DISPID_VALUE;
inline constexpr DISPID kText = 0x68030001;
inline constexpr DISPID kRefresh = 0x60030017;

void SetMaximum(HostedControl& bar, std::int32_t maximum);
void SetMinimum(HostedControl& bar, std::int32_t minimum);
void SetValue(HostedControl& bar, std::int32_t value);
void SetText(HostedControl& bar, const std::wstring& text);
void Refresh(HostedControl& bar);

}  // namespace velmora::progress_bar
