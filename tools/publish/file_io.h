#pragma once
// Whole-file reading and writing for the tool, failing with PublishError
// messages that name the file.
#include <filesystem>
#include <string>
#include <string_view>

namespace velmora::publish {

std::string ReadWholeFile(const std::filesystem::path& file);

// Creates `file` with permission bits `mode` and writes `text`; refuses to
// replace an existing file.
void WriteNewFile(const std::filesystem::path& file, std::string_view text, unsigned mode);

// Makes `to` a hard link to `from` where the file system allows, else a
// copy of it. Throws PublishError.
void LinkOrCopy(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace velmora::publish
