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

struct InternetHandleTraits {
    using Type = HINTERNET;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type h) noexcept { wininet::InternetCloseHandle(h); }
};

struct AlgorithmProviderTraits {
    using Type = BCRYPT_ALG_HANDLE;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type h) noexcept { cng::BCryptCloseAlgorithmProvider(h, 0); }
};

struct CryptoKeyTraits {
    using Type = BCRYPT_KEY_HANDLE;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type h) noexcept { cng::BCryptDestroyKey(h); }
};

struct HashObjectTraits {
    using Type = BCRYPT_HASH_HANDLE;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type h) noexcept { cng::BCryptDestroyHash(h); }
};

using UniqueInternetHandle = UniqueResource<InternetHandleTraits>;
using UniqueAlgorithmProvider = UniqueResource<AlgorithmProviderTraits>;
using UniqueCryptoKey = UniqueResource<CryptoKeyTraits>;
using UniqueHashObject = UniqueResource<HashObjectTraits>;

}  // namespace velmora::engine
