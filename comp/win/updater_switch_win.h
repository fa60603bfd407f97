#pragma once
// The updater's own files switched as a set: the program, the engine and
// the control libraries work together, so a run that cannot switch all of
// them leaves the old set, which worked, rather than a mix.
#include <string>
#include <string_view>
#include <vector>

#include "core/engine_status.h"
#include "game_folder_win.h"

namespace velmora::engine {

class UpdaterSwitch {
public:
    explicit UpdaterSwitch(const GameFolder& game) : game_(game) {}

    // Puts one updater file in place (GameFolder::PutUpdaterFileInPlace:
    // when it fails, that file is as it was) and remembers it.
    Result<void> Put(const std::wstring& verified, std::string_view manifestPath);

    // Switches back every file Put switched, the last first, so that the
    // updater is the old set again; the new files return to the staging
    // folder for the next run. A file that cannot be switched back stays
    // new, and the result names it.
    Result<void> PutBack();

private:
    const GameFolder& game_;
    std::vector<SwitchedUpdaterFile> switched_;
};

}  // namespace velmora::engine
