#pragma once
// The fuzz targets' assertion: a plain check that aborts, so that libFuzzer
// keeps the input that broke a promise of the code under test.
#include <cstdio>
#include <cstdlib>

namespace velmora::fuzz {

inline void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

}  // namespace velmora::fuzz
