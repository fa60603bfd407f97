#pragma once
#include <string_view>

#include "common/failure.h"
#include "common/program_title.h"

namespace velmora {

// A modal message box with one OK button, no icon and no owner; returns
// when the user confirms it. The caption defaults to the program's title.
void ShowMessage(std::wstring_view text, std::wstring_view caption = kProgramTitle);

// Reports a failure that nothing handles by its number and description, then
// ends the program at once.
[[noreturn]] void EndProgramWithFailure(const Failure& failure);

}  // namespace velmora
