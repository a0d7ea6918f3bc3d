#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillmar {

// The socket library: POSIX sockets behind the operations the channel classes need, with the
// Windows Sockets error codes (socket_errors.h) and the blocking model (blocking.h).
//
// The library is started when the program starts (static initialisation of this module) and
// shut down when it ends, so users need not do anything. "Loaded" is the state after start-up.

bool WinsockLoaded();
// Both do nothing when the library is already in the state they would bring about.
void LoadWinsock();
void UnloadWinsock();

// Start-up: loads the library. Raises ESocketsError "WsaStartup not successful" when the
// library cannot be started. Shut-down cancels the calling thread's blocking call and unloads.
void StartupSockets();
void ShutdownSockets();

// For tests: while set, the library counts as not loaded, as with the library file missing.
void SimulateWinsockMissing(bool Missing);

// The error code of the calling thread's last failed socket operation below.
std::int32_t WSAGetLastError();

inline constexpr int kInvalidSocket = -1;
inline constexpr int kSocketError = -1;
// INADDR_NONE: the result of InetAddr for a text that is no dotted address.
inline constexpr std::uint32_t kAddrNone = 0xFFFFFFFFu;

// Each returns kSocketError (or kInvalidSocket) on failure and sets WSAGetLastError. The
// blocking ones wait by the blocking model and fail with 10004 when cancelled.

// A non-blocking IPv4 TCP socket, closed on exec.
int SocketCreate();
// Binds to the wildcard address and `Port` (network byte order).
// Port and Address in network byte order.
int SocketBind(int Fd, std::uint16_t Port, std::uint32_t Address);
int SocketListen(int Fd, int Backlog);
// Blocking: the accepted socket and the peer's address.
int SocketAccept(int Fd, sockaddr_in& Peer);
// Blocking: 0 when connected.
int SocketConnect(int Fd, const sockaddr_in& Address);
// Blocking: sends up to `Count` bytes; the number sent.
long SocketSend(int Fd, const char* Buffer, std::size_t Count);
// Blocking: receives up to `Size` bytes; the number received, 0 when the peer has closed.
long SocketReceive(int Fd, char* Buffer, std::size_t Size);
int SocketClose(int Fd);
int SocketLocalAddress(int Fd, sockaddr_in& Address);

// Dotted decimal text to an address in network byte order; kAddrNone when it is not one.
std::uint32_t InetAddr(const std::string& Text);
// An address in network byte order as dotted decimal text.
std::string AddrToStr(std::uint32_t Address);
// Blocking name look-up (IPv4): 0 and the first address, else the error code (11001 for a
// name that does not resolve, 10004 when cancelled).
std::int32_t ResolveHostName(const std::string& Name, std::uint32_t& Address);

}  // namespace quillmar
