#include "updater_switch_win.h"

namespace velmora::engine {

Result<void> UpdaterSwitch::Put(const std::wstring& verified, std::string_view manifestPath) {
    auto switched = game_.PutUpdaterFileInPlace(verified, manifestPath);
    if (!switched) return switched.Error();
    switched_.push_back(std::move(switched).Value());
    return {};
}

Result<void> UpdaterSwitch::PutBack() {
    std::string failures;
    for (auto file = switched_.rbegin(); file != switched_.rend(); ++file)
        if (auto back = game_.SwitchBack(*file); !back) failures += (failures.empty() ? "" : "; ") + back.Error().reason;
    switched_.clear();
    if (failures.empty()) return {};
    return EngineError{EngineStatus::WrongFile, failures, true};
}

}  // namespace velmora::engine
