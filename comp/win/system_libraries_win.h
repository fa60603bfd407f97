#pragma once
// The system libraries only the run uses, WinINet, Winsock and CNG, bound by name the
// first time the run calls into them, on the engine's thread. Imported by
// comp.dll, they would load with it in the program's load step and make its
// window come up later (WinINet alone takes several milliseconds to load and
// initialise). Each function here forwards to the library's function of the
// same name; when the library or the function cannot be found, it fails as
// the library reports failures: WinINet's with FALSE or NULL and
// ERROR_PROC_NOT_FOUND or the loader's error, CNG's with
// STATUS_ENTRYPOINT_NOT_FOUND. The libraries stay loaded until the process
// ends, as imported ones would.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <bcrypt.h>
#include <wininet.h>

namespace velmora::engine {

namespace wininet {

HINTERNET InternetOpenW(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR proxyBypass, DWORD flags);
HINTERNET InternetConnectW(HINTERNET session, LPCWSTR server, INTERNET_PORT port, LPCWSTR user, LPCWSTR password,
                           DWORD service, DWORD flags, DWORD_PTR context);
HINTERNET HttpOpenRequestW(HINTERNET connection, LPCWSTR verb, LPCWSTR object, LPCWSTR version, LPCWSTR referrer,
                           LPCWSTR* acceptTypes, DWORD flags, DWORD_PTR context);
BOOL HttpSendRequestW(HINTERNET request, LPCWSTR headers, DWORD headersLength, LPVOID optional, DWORD optionalLength);
BOOL HttpQueryInfoW(HINTERNET request, DWORD info, LPVOID buffer, LPDWORD bufferLength, LPDWORD index);
BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, LPDWORD read);
BOOL InternetQueryDataAvailable(HINTERNET file, LPDWORD available, DWORD flags, DWORD_PTR context);
BOOL InternetSetOptionW(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength);
BOOL InternetCloseHandle(HINTERNET handle);

}  // namespace wininet

// Winsock's functions fail as Winsock does (SOCKET_ERROR, INVALID_SOCKET or
// an error number returned) with the reason in the thread's last error,
// which is what WSAGetLastError reads.
namespace winsock {

int WSAStartup(WORD version, LPWSADATA data);
int WSACleanup();
INT GetAddrInfoW(PCWSTR node, PCWSTR service, const ADDRINFOW* hints, PADDRINFOW* result);
void FreeAddrInfoW(PADDRINFOW info);
SOCKET socket(int family, int type, int protocol);
int connect(SOCKET s, const sockaddr* name, int length);
int select(int count, fd_set* read, fd_set* write, fd_set* except, TIMEVAL* timeout);
int send(SOCKET s, const char* buffer, int length, int flags);
int recv(SOCKET s, char* buffer, int length, int flags);
int shutdown(SOCKET s, int how);
int closesocket(SOCKET s);
int ioctlsocket(SOCKET s, long command, u_long* argument);
int getsockopt(SOCKET s, int level, int name, char* value, int* length);
int setsockopt(SOCKET s, int level, int name, const char* value, int length);

}  // namespace winsock

namespace cng {

NTSTATUS BCryptOpenAlgorithmProvider(BCRYPT_ALG_HANDLE* algorithm, LPCWSTR id, LPCWSTR implementation, ULONG flags);
NTSTATUS BCryptCloseAlgorithmProvider(BCRYPT_ALG_HANDLE algorithm, ULONG flags);
NTSTATUS BCryptCreateHash(BCRYPT_ALG_HANDLE algorithm, BCRYPT_HASH_HANDLE* hash, PUCHAR hashObject,
                          ULONG hashObjectLength, PUCHAR secret, ULONG secretLength, ULONG flags);
NTSTATUS BCryptHashData(BCRYPT_HASH_HANDLE hash, PUCHAR input, ULONG inputLength, ULONG flags);
NTSTATUS BCryptFinishHash(BCRYPT_HASH_HANDLE hash, PUCHAR output, ULONG outputLength, ULONG flags);
NTSTATUS BCryptDuplicateHash(BCRYPT_HASH_HANDLE hash, BCRYPT_HASH_HANDLE* copy, PUCHAR hashObject,
                             ULONG hashObjectLength, ULONG flags);
NTSTATUS BCryptDestroyHash(BCRYPT_HASH_HANDLE hash);
NTSTATUS BCryptImportKeyPair(BCRYPT_ALG_HANDLE algorithm, BCRYPT_KEY_HANDLE importKey, LPCWSTR blobType,
                             BCRYPT_KEY_HANDLE* key, PUCHAR input, ULONG inputLength, ULONG flags);
NTSTATUS BCryptVerifySignature(BCRYPT_KEY_HANDLE key, VOID* paddingInfo, PUCHAR hash, ULONG hashLength,
                               PUCHAR signature, ULONG signatureLength, ULONG flags);
NTSTATUS BCryptDestroyKey(BCRYPT_KEY_HANDLE key);

}  // namespace cng

}  // namespace velmora::engine
