# Cross-compiles for Windows with MinGW-w64, for the processor that the
# including toolchain file sets: i686 for the shipped 32-bit build, x86_64
# for the build that runs under wine64 on machines without 32-bit support.
# The -posix variants are used because only they provide std::thread,
# std::mutex and std::condition_variable (GoogleTest needs them).
set(CMAKE_SYSTEM_NAME Windows)
set(triplet ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)

set(CMAKE_C_COMPILER ${triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Static runtime: nothing but the system's DLLs and our own sits beside the
# program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Windows test programs run under Wine (the session's `wine` on PATH picks
# the loader that matches the build).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
