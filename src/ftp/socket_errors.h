#pragma once

#include <cstdint>
#include <string>

namespace quillmar {

// Windows Sockets error codes. The socket layer reports every failure with these codes, whatever
// the platform's own numbers are, so messages and the connection-gone rules stay the same.
inline constexpr std::int32_t kWsaBaseErr = 10000;
inline constexpr std::int32_t kWsaEIntr = 10004;  // a blocking call was cancelled
inline constexpr std::int32_t kWsaEInval = 10022;
inline constexpr std::int32_t kWsaEWouldBlock = 10035;
inline constexpr std::int32_t kWsaEInProgress = 10036;
inline constexpr std::int32_t kWsaENotSock = 10038;
inline constexpr std::int32_t kWsaENetDown = 10050;
inline constexpr std::int32_t kWsaENetReset = 10052;
inline constexpr std::int32_t kWsaEConnAborted = 10053;
inline constexpr std::int32_t kWsaEConnReset = 10054;
inline constexpr std::int32_t kWsaENotConn = 10057;
inline constexpr std::int32_t kWsaEShutdown = 10058;
inline constexpr std::int32_t kWsaETimedOut = 10060;
inline constexpr std::int32_t kWsaEConnRefused = 10061;
inline constexpr std::int32_t kWsaSysCallFailure = 10107;
inline constexpr std::int32_t kWsaHostNotFound = 11001;
inline constexpr std::int32_t kWsaTryAgain = 11002;
inline constexpr std::int32_t kWsaNoRecovery = 11003;

// Symbolic name ("WSAECONNRESET") and English description ("Connection reset by peer") of a
// code; "Error #" and the decimal code for a code outside the table.
std::string WinsockErrorName(std::int32_t Code);
std::string WinsockErrorText(std::int32_t Code);

// The Windows Sockets code for a POSIX errno value; WSASYSCALLFAILURE for one without a match.
std::int32_t WinsockErrorFromErrno(int Errno);

}  // namespace quillmar
