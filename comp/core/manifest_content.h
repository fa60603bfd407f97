#pragma once
// The rules a manifest's file list must keep beyond the syntax of each line;
// the parser applies them, and the publishing tool before it signs.
#include "core/engine_status.h"
#include "core/manifest.h"

namespace velmora::engine {

// InvalidFormat when the packs or files break a rule:
// - a file's path is unsafe (path_rules.h);
// - two paths are the same when compared as Windows compares names
//   (case_fold.h);
// - a path is also the folder of another path ("a" and "a/b");
// - a file or pack size exceeds kMaxFileSize, or two packs have one name;
// - a file's chunk sizes do not add up to its size;
// - a chunk is empty or larger than kMaxChunkSize, its stored size is 0 or
//   above its size, or its stored bytes lie outside its pack;
// - two files with the same SHA-256 differ in size or in their chunk lines,
//   or two chunks with the same SHA-256 differ in size;
// - the stored bytes of two chunks overlap in a pack (two lines naming the
//   same pack, offset, stored size and SHA-256 are one stored chunk,
//   shared, not an overlap).
Result<void> CheckManifestContent(const Manifest& manifest);

}  // namespace velmora::engine
