#pragma once
#include <windows.h>

#include <string_view>

#include "common/failure.h"
#include "common/program_title.h"

namespace velmora {

// A modal message box with one OK button and no icon; returns when the user
// confirms it. The caption defaults to the program's title. With an owner
// the box belongs to that window, which stays disabled while it is open.
void ShowMessage(std::wstring_view text, std::wstring_view caption = kProgramTitle, HWND owner = nullptr);

// Reports a failure that nothing handles by its number and description, in
// a box that belongs to `owner` when there is one, then ends the program at
// once.
[[noreturn]] void EndProgramWithFailure(const Failure& failure, HWND owner = nullptr);

// The exception being handled as a failure: ours as it is, a failed
// allocation as E_OUTOFMEMORY, anything else as E_UNEXPECTED, each with the
// system's text. Call it only inside a catch block.
Failure FailureOfCurrentException();

}  // namespace velmora
