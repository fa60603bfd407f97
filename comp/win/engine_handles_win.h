#pragma once
// Owners for the handles of WinINet and CNG, in the style of the program's
// owners (src/common/owners_win.h): NULL is empty, and closing keeps
// GetLastError.
#include <windows.h>
#include <bcrypt.h>
#include <wininet.h>

#include "common/owners_win.h"

namespace velmora::engine {

struct InternetHandleTraits {
    using Type = HINTERNET;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::InternetCloseHandle(h); }
};

struct AlgorithmProviderTraits {
    using Type = BCRYPT_ALG_HANDLE;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::BCryptCloseAlgorithmProvider(h, 0); }
};

struct CryptoKeyTraits {
    using Type = BCRYPT_KEY_HANDLE;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::BCryptDestroyKey(h); }
};

struct HashObjectTraits {
    using Type = BCRYPT_HASH_HANDLE;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::BCryptDestroyHash(h); }
};

using UniqueInternetHandle = UniqueResource<InternetHandleTraits>;
using UniqueAlgorithmProvider = UniqueResource<AlgorithmProviderTraits>;
using UniqueCryptoKey = UniqueResource<CryptoKeyTraits>;
using UniqueHashObject = UniqueResource<HashObjectTraits>;

}  // namespace velmora::engine
