#pragma once
// Test data for the unpacking tests, natively and under Wine: a text
// compressed as a zlib stream, as the publishing tool stores objects.
#include <zlib.h>

#include <string>

namespace velmora::engine::testing {

inline std::string Compressed(const std::string& content) {
    uLongf size = compressBound(static_cast<uLong>(content.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(content.data()),
              static_cast<uLong>(content.size()), 9);
    out.resize(size);
    return out;
}

}  // namespace velmora::engine::testing
