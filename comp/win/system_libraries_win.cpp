#include "system_libraries_win.h"

namespace velmora::engine {
namespace {

// STATUS_ENTRYPOINT_NOT_FOUND, which ntstatus.h would give together with
// redefinitions of what windows.h already has.
constexpr NTSTATUS kEntryPointNotFound = static_cast<NTSTATUS>(0xC0000139L);

// One system library, loaded from the system folder only (never from the
// working folder or the program's) on first use and kept.
class SystemLibrary {
public:
    explicit SystemLibrary(const wchar_t* name)
        : module_(::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)),
          loadError_(module_ ? ERROR_SUCCESS : ::GetLastError()) {}
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    // The function, or nullptr with the thread's last error saying why.
    template <typename F>
    F Find(const char* name) const {
        if (!module_) {
            ::SetLastError(loadError_);
            return nullptr;
        }
        return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module_, name)));
    }

private:
    HMODULE module_;
    DWORD loadError_;
};

const SystemLibrary& WinInet() {
    static const SystemLibrary library(L"wininet.dll");
    return library;
}

const SystemLibrary& Winsock() {
    static const SystemLibrary library(L"ws2_32.dll");
    return library;
}

const SystemLibrary& Cng() {
    static const SystemLibrary library(L"bcrypt.dll");
    return library;
}

// A function of a system library and, when it was not found, why.
template <typename F>
struct Binding {
    F function;
    DWORD error;
};

template <typename F>
Binding<F> Bind(const SystemLibrary& library, const char* name) {
    const F function = library.Find<F>(name);
    return {function, function ? static_cast<DWORD>(ERROR_SUCCESS) : ::GetLastError()};
}

// The body of a forwarding function: the look-up runs once, on the first
// call from any thread (a function-local static), and is kept.
#define VELMORA_FORWARD(library, name, failed, ...)                                        \
    static const auto binding = Bind<decltype(&::name)>(library(), #name);                 \
    if (!binding.function) {                                                                \
        ::SetLastError(binding.error);                                                      \
        return failed;                                                                      \
    }                                                                                       \
    return binding.function(__VA_ARGS__)

}  // namespace

namespace wininet {

HINTERNET InternetOpenW(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR proxyBypass, DWORD flags) {
    VELMORA_FORWARD(WinInet, InternetOpenW, nullptr, agent, accessType, proxy, proxyBypass, flags);
}

HINTERNET InternetConnectW(HINTERNET session, LPCWSTR server, INTERNET_PORT port, LPCWSTR user, LPCWSTR password,
                           DWORD service, DWORD flags, DWORD_PTR context) {
    VELMORA_FORWARD(WinInet, InternetConnectW, nullptr, session, server, port, user, password, service, flags,
                    context);
}

HINTERNET HttpOpenRequestW(HINTERNET connection, LPCWSTR verb, LPCWSTR object, LPCWSTR version, LPCWSTR referrer,
                           LPCWSTR* acceptTypes, DWORD flags, DWORD_PTR context) {
    VELMORA_FORWARD(WinInet, HttpOpenRequestW, nullptr, connection, verb, object, version, referrer, acceptTypes,
                    flags, context);
}

BOOL HttpSendRequestW(HINTERNET request, LPCWSTR headers, DWORD headersLength, LPVOID optional, DWORD optionalLength) {
    VELMORA_FORWARD(WinInet, HttpSendRequestW, FALSE, request, headers, headersLength, optional, optionalLength);
}

BOOL HttpQueryInfoW(HINTERNET request, DWORD info, LPVOID buffer, LPDWORD bufferLength, LPDWORD index) {
    VELMORA_FORWARD(WinInet, HttpQueryInfoW, FALSE, request, info, buffer, bufferLength, index);
}

BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, LPDWORD read) {
    VELMORA_FORWARD(WinInet, InternetReadFile, FALSE, file, buffer, toRead, read);
}

BOOL InternetQueryDataAvailable(HINTERNET file, LPDWORD available, DWORD flags, DWORD_PTR context) {
    VELMORA_FORWARD(WinInet, InternetQueryDataAvailable, FALSE, file, available, flags, context);
}

BOOL InternetSetOptionW(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength) {
    VELMORA_FORWARD(WinInet, InternetSetOptionW, FALSE, handle, option, buffer, bufferLength);
}

BOOL InternetCloseHandle(HINTERNET handle) { VELMORA_FORWARD(WinInet, InternetCloseHandle, FALSE, handle); }

}  // namespace wininet

namespace winsock {

int WSAStartup(WORD version, LPWSADATA data) {
    static const auto binding = Bind<decltype(&::WSAStartup)>(Winsock(), "WSAStartup");
    return binding.function ? binding.function(version, data) : static_cast<int>(binding.error);
}

int WSACleanup() { VELMORA_FORWARD(Winsock, WSACleanup, SOCKET_ERROR); }

INT GetAddrInfoW(PCWSTR node, PCWSTR service, const ADDRINFOW* hints, PADDRINFOW* result) {
    static const auto binding = Bind<decltype(&::GetAddrInfoW)>(Winsock(), "GetAddrInfoW");
    return binding.function ? binding.function(node, service, hints, result) : static_cast<INT>(binding.error);
}

void FreeAddrInfoW(PADDRINFOW info) {
    static const auto binding = Bind<decltype(&::FreeAddrInfoW)>(Winsock(), "FreeAddrInfoW");
    if (binding.function) binding.function(info);
}

SOCKET socket(int family, int type, int protocol) {
    VELMORA_FORWARD(Winsock, socket, INVALID_SOCKET, family, type, protocol);
}

int connect(SOCKET s, const sockaddr* name, int length) { VELMORA_FORWARD(Winsock, connect, SOCKET_ERROR, s, name, length); }

int select(int count, fd_set* read, fd_set* write, fd_set* except, TIMEVAL* timeout) {
    VELMORA_FORWARD(Winsock, select, SOCKET_ERROR, count, read, write, except, timeout);
}

int send(SOCKET s, const char* buffer, int length, int flags) {
    VELMORA_FORWARD(Winsock, send, SOCKET_ERROR, s, buffer, length, flags);
}

int recv(SOCKET s, char* buffer, int length, int flags) {
    VELMORA_FORWARD(Winsock, recv, SOCKET_ERROR, s, buffer, length, flags);
}

int shutdown(SOCKET s, int how) { VELMORA_FORWARD(Winsock, shutdown, SOCKET_ERROR, s, how); }

int closesocket(SOCKET s) { VELMORA_FORWARD(Winsock, closesocket, SOCKET_ERROR, s); }

int ioctlsocket(SOCKET s, long command, u_long* argument) {
    VELMORA_FORWARD(Winsock, ioctlsocket, SOCKET_ERROR, s, command, argument);
}

int getsockopt(SOCKET s, int level, int name, char* value, int* length) {
    VELMORA_FORWARD(Winsock, getsockopt, SOCKET_ERROR, s, level, name, value, length);
}

int setsockopt(SOCKET s, int level, int name, const char* value, int length) {
    VELMORA_FORWARD(Winsock, setsockopt, SOCKET_ERROR, s, level, name, value, length);
}

}  // namespace winsock

namespace cng {

NTSTATUS BCryptOpenAlgorithmProvider(BCRYPT_ALG_HANDLE* algorithm, LPCWSTR id, LPCWSTR implementation, ULONG flags) {
    VELMORA_FORWARD(Cng, BCryptOpenAlgorithmProvider, kEntryPointNotFound, algorithm, id, implementation, flags);
}

NTSTATUS BCryptCloseAlgorithmProvider(BCRYPT_ALG_HANDLE algorithm, ULONG flags) {
    VELMORA_FORWARD(Cng, BCryptCloseAlgorithmProvider, kEntryPointNotFound, algorithm, flags);
}

NTSTATUS BCryptCreateHash(BCRYPT_ALG_HANDLE algorithm, BCRYPT_HASH_HANDLE* hash, PUCHAR hashObject,
                          ULONG hashObjectLength, PUCHAR secret, ULONG secretLength, ULONG flags) {
    VELMORA_FORWARD(Cng, BCryptCreateHash, kEntryPointNotFound, algorithm, hash, hashObject, hashObjectLength,
                    secret, secretLength, flags);
}

NTSTATUS BCryptHashData(BCRYPT_HASH_HANDLE hash, PUCHAR input, ULONG inputLength, ULONG flags) {
    VELMORA_FORWARD(Cng, BCryptHashData, kEntryPointNotFound, hash, input, inputLength, flags);
}

NTSTATUS BCryptFinishHash(BCRYPT_HASH_HANDLE hash, PUCHAR output, ULONG outputLength, ULONG flags) {
    VELMORA_FORWARD(Cng, BCryptFinishHash, kEntryPointNotFound, hash, output, outputLength, flags);
}

NTSTATUS BCryptDuplicateHash(BCRYPT_HASH_HANDLE hash, BCRYPT_HASH_HANDLE* copy, PUCHAR hashObject,
                             ULONG hashObjectLength, ULONG flags) {
    VELMORA_FORWARD(Cng, BCryptDuplicateHash, kEntryPointNotFound, hash, copy, hashObject, hashObjectLength, flags);
}

NTSTATUS BCryptDestroyHash(BCRYPT_HASH_HANDLE hash) { VELMORA_FORWARD(Cng, BCryptDestroyHash, kEntryPointNotFound, hash); }

NTSTATUS BCryptImportKeyPair(BCRYPT_ALG_HANDLE algorithm, BCRYPT_KEY_HANDLE importKey, LPCWSTR blobType,
                             BCRYPT_KEY_HANDLE* key, PUCHAR input, ULONG inputLength, ULONG flags) {
    VELMORA_FORWARD(Cng, BCryptImportKeyPair, kEntryPointNotFound, algorithm, importKey, blobType, key, input,
                    inputLength, flags);
}

NTSTATUS BCryptVerifySignature(BCRYPT_KEY_HANDLE key, VOID* paddingInfo, PUCHAR hash, ULONG hashLength,
                               PUCHAR signature, ULONG signatureLength, ULONG flags) {
    VELMORA_FORWARD(Cng, BCryptVerifySignature, kEntryPointNotFound, key, paddingInfo, hash, hashLength, signature,
                    signatureLength, flags);
}

NTSTATUS BCryptDestroyKey(BCRYPT_KEY_HANDLE key) { VELMORA_FORWARD(Cng, BCryptDestroyKey, kEntryPointNotFound, key); }

}  // namespace cng

#undef VELMORA_FORWARD

}  // namespace velmora::engine
