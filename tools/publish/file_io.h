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

}  // namespace velmora::publish
