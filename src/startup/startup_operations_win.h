#pragma once
// The system operations the start-up passes are made of.
#include <string>
#include <string_view>

namespace velmora {

// The folder that holds the running executable, without a closing
// backslash. Raises Failure when the system cannot say.
std::wstring ExecutableFolder();

// Makes the folder the process's working folder; raises Failure when it
// does not exist or cannot be entered.
void EnterFolder(const std::wstring& folder);

// Loads a library by bare file name through the system's search (which
// includes the working folder). The handle is never released: the library
// stays loaded until the program ends. False when it does not load.
bool LoadLibraryForGood(std::wstring_view fileName);

// Starts the command line as a process of its own whose window is shown
// minimised and activated, and does not wait for it. A bare program name is
// looked for in this program's own folder first. Raises Failure when the
// process cannot be started.
void StartMinimised(const std::wstring& commandLine);

// A modal message box with one OK button, no icon and no owner.
void ShowPlainMessage(std::wstring_view text, std::wstring_view caption);

}  // namespace velmora
