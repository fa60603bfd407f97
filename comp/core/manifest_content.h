#pragma once
// The rules a manifest's file list must keep beyond the syntax of each line;
// the parser applies them, and the publishing tool before it signs.
#include "core/engine_status.h"
#include "core/manifest.h"

namespace velmora::engine {

// InvalidFormat when any file breaks a rule:
// - its path is unsafe (path_rules.h);
// - two paths are the same when compared as Windows compares names
//   (case_fold.h);
// - a path is also the folder of another path ("a" and "a/b");
// - its size or stored size exceeds kMaxFileSize;
// - its object is not its SHA-256 in hex, optionally followed by ".z";
// - its object is stored as is but the stored size differs from the size;
// - two files with the same SHA-256 differ in size, or two files name the
//   same object with different stored sizes.
Result<void> CheckManifestFiles(const std::vector<ManifestFile>& files);

}  // namespace velmora::engine
