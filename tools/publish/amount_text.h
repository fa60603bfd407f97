#pragma once
// Amounts in the tool's reports, as a person reads them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora::publish {

// "3.2 MiB": bytes, KiB, MiB or GiB with one decimal.
std::string SizeText(std::uint64_t bytes);

// "1 pack", "3 packs": `noun` takes an "s" unless the count is one.
std::string Counted(std::uint64_t count, std::string_view noun);

}  // namespace velmora::publish
