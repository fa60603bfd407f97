#pragma once
// Before anything is fetched, what the disk already holds among the files a
// run would write or remove: a file that already has the release's content
// (a stopped run moved it into place, or the record could not vouch for
// it) is left as it is, and a file of the player's that the player changed
// is kept, listed or dropped alike. Files are hashed only where the record
// of placed files cannot vouch for them.
#include <vector>

#include "core/apply_plan.h"
#include "core/cancel_flag.h"
#include "core/engine_status.h"
#include "game_folder_win.h"

namespace velmora::engine {

// Takes out of `plan.contents` the files in place and the player's files
// kept, and out of `plan.dropped` the player's files kept. Gives, by index
// into the release's files, those kept.
Result<std::vector<bool>> SettleWithDisk(ApplyPlan& plan, const Manifest& release, const GameFolder& game,
                                         const CancelFlag& cancel);

}  // namespace velmora::engine
