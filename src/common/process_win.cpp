#include "common/process_win.h"

#include "winsupport/owners_win.h"
#include "common/failure_win.h"

namespace velmora {

namespace {

// The program a command line starts: its first word, or the quoted text it
// begins with.
std::wstring ProgramOf(const std::wstring& commandLine) {
    if (commandLine.starts_with(L'"')) return commandLine.substr(1, commandLine.find(L'"', 1) - 1);
    return commandLine.substr(0, commandLine.find(L' '));
}

}  // namespace

void StartProcess(const std::wstring& commandLine, WORD showMode) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showMode;
    PROCESS_INFORMATION started{};
    // CreateProcessW may write into the command line it is given.
    std::wstring writable = commandLine;
    if (!::CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &started))
        throw FailureFromLastError(ProgramOf(commandLine));
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);
}

}  // namespace velmora
