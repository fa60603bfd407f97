#pragma once
// Owners for the handles of WinINet and CNG, built like the program's own
// owners (winsupport/owners_win.h): NULL is empty, and closing keeps
// GetLastError. They close through the late-bound functions
// (system_libraries_win.h) that opened them.
#include <windows.h>
#include <bcrypt.h>
#include <wininet.h>

#include "winsupport/owners_win.h"
#include "system_libraries_win.h"

namespace velmora::engine {

inline void CloseAlgorithmProvider(BCRYPT_ALG_HANDLE provider) noexcept {
    cng::BCryptCloseAlgorithmProvider(provider, 0);
}

using UniqueInternetHandle = UniqueResource<HINTERNET, wininet::InternetCloseHandle>;
using UniqueAlgorithmProvider = UniqueResource<BCRYPT_ALG_HANDLE, CloseAlgorithmProvider>;
using UniqueCryptoKey = UniqueResource<BCRYPT_KEY_HANDLE, cng::BCryptDestroyKey>;
using UniqueHashObject = UniqueResource<BCRYPT_HASH_HANDLE, cng::BCryptDestroyHash>;

}  // namespace velmora::engine
