#pragma once
#include <string>

#include "common/failure.h"

namespace velmora {

// A modal message box with one OK button and no icon; returns when the user
// confirms it. The caption defaults to the program's title.
void ShowMessage(const std::wstring& text, const wchar_t* caption = nullptr);

// Reports a failure that nothing handles by its number and description, then
// ends the program at once.
[[noreturn]] void EndProgramWithFailure(const Failure& failure);

}  // namespace velmora
