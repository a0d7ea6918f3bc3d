#include "ftp/socket_errors.h"

#include <cerrno>
#include <string_view>

namespace quillmar {

namespace {

struct TErrorEntry {
  std::int32_t Code;
  std::string_view Name;
  std::string_view Text;  // empty: the text is the name itself
};

constexpr TErrorEntry kErrors[] = {
    {10004, "WSAEINTR", "Interrupted function call"},
    {10014, "WSAEFAULT", "Bad address"},
    {10022, "WSAEINVAL", "Invalid argument"},
    {10024, "WSAEMFILE", "Too many open files"},
    {10035, "WSAEWOULDBLOCK", "Operation would block"},
    {10036, "WSAEINPROGRESS", "Operation now in progress"},
    {10037, "WSAEALREADY", "Operation already in progress"},
    {10038, "WSAENOTSOCK", "Socket operation on non-socket"},
    {10039, "WSAEDESTADDRREQ", "Destination address required"},
    {10040, "WSAEMSGSIZE", "Message too long"},
    {10041, "WSAEPROTOTYPE", "Protocol wrong type for socket"},
    {10042, "WSAENOPROTOOPT", "Bad protocol option"},
    {10043, "WSAEPROTONOSUPPORT", "Protocol not supported"},
    {10044, "WSAESOCKTNOSUPPORT", "Socket type not supported"},
    {10045, "WSAEOPNOTSUPP", "Operation not supported"},
    {10046, "WSAEPFNOSUPPORT", "Protocol family not supported"},
    {10047, "WSAEAFNOSUPPORT", "Address family not supported by protocol family"},
    {10048, "WSAEADDRINUSE", "Address already in use"},
    {10049, "WSAEADDRNOTAVAIL", "Cannot assign requested address"},
    {10050, "WSAENETDOWN", "Network is down"},
    {10051, "WSAENETUNREACH", "Network is unreachable"},
    {10052, "WSAENETRESET", "Network dropped connection on reset"},
    {10053, "WSAECONNABORTED", "Software caused connection abort"},
    {10054, "WSAECONNRESET", "Connection reset by peer"},
    {10055, "WSAENOBUFS", "No buffer space available"},
    {10056, "WSAEISCONN", "Socket is already connected"},
    {10057, "WSAENOTCONN", "Socket is not connected"},
    {10058, "WSAESHUTDOWN", "Cannot send after socket shutdown"},
    {10060, "WSAETIMEDOUT", "Connection timed out"},
    {10061, "WSAECONNREFUSED", "Connection refused"},
    {10064, "WSAEHOSTDOWN", "Host is down"},
    {10065, "WSAEHOSTUNREACH", "No route to host"},
    {10067, "WSAEPROCLIM", "Too many processes"},
    {10091, "WSASYSNOTREADY", "Network subsystem is unavailable"},
    {10092, "WSAVERNOTSUPPORTED", "WINSOCK.DLL version out of range"},
    {10093, "WSANOTINITIALISED", "Successful WSAStartup() not yet performed"},
    {10101, "WSAEDISCON", ""},
    {10102, "WSAENOMORE", ""},
    {10103, "WSAECANCELLED", ""},
    {10104, "WSAEINVALIDPROCTABLE", ""},
    {10105, "WSAEINVALIDPROVIDER", ""},
    {10106, "WSAEPROVIDERFAILEDINIT", ""},
    {10107, "WSASYSCALLFAILURE", ""},
    {10108, "WSASERVICE_NOT_FOUND", ""},
    {10109, "WSATYPE_NOT_FOUND", ""},
    {10110, "WSA_E_NO_MORE", ""},
    {10111, "WSA_E_CANCELLED", ""},
    {10112, "WSAEREFUSED", ""},
    {11001, "WSAHOST_NOT_FOUND", "Host not found"},
    {11002, "WSATRY_AGAIN", "Non-authoritative host not found"},
    {11003, "WSANO_RECOVERY", "This is a non-recoverable error"},
    {11004, "WSANO_DATA", "Valid name, no data record of requested type"},
};

const TErrorEntry* FindError(std::int32_t code) {
  for (const auto& entry : kErrors) {
    if (entry.Code == code)
      return &entry;
  }
  return nullptr;
}

std::string Unknown(std::int32_t code) {
  return "Error #" + std::to_string(code);
}

}  // namespace

std::string WinsockErrorName(std::int32_t Code) {
  const TErrorEntry* entry = FindError(Code);
  return entry ? std::string(entry->Name) : Unknown(Code);
}

std::string WinsockErrorText(std::int32_t Code) {
  const TErrorEntry* entry = FindError(Code);
  if (!entry)
    return Unknown(Code);
  return std::string(entry->Text.empty() ? entry->Name : entry->Text);
}

std::int32_t WinsockErrorFromErrno(int Errno) {
  switch (Errno) {
    case 0:
      return 0;
    case EINTR:
      return 10004;
    case EACCES:
    case EPERM:
      return 10013;
    case EFAULT:
      return 10014;
    case EINVAL:
      return 10022;
    case EMFILE:
    case ENFILE:
      return 10024;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
      return 10035;
    case EINPROGRESS:
      return 10036;
    case EALREADY:
      return 10037;
    case EBADF:
    case ENOTSOCK:
      return 10038;
    case EDESTADDRREQ:
      return 10039;
    case EMSGSIZE:
      return 10040;
    case EPROTOTYPE:
      return 10041;
    case ENOPROTOOPT:
      return 10042;
    case EPROTONOSUPPORT:
      return 10043;
    case ESOCKTNOSUPPORT:
      return 10044;
    case EOPNOTSUPP:
      return 10045;
    case EPFNOSUPPORT:
      return 10046;
    case EAFNOSUPPORT:
      return 10047;
    case EADDRINUSE:
      return 10048;
    case EADDRNOTAVAIL:
      return 10049;
    case ENETDOWN:
      return 10050;
    case ENETUNREACH:
      return 10051;
    case ENETRESET:
      return 10052;
    case ECONNABORTED:
      return 10053;
    case ECONNRESET:
      return 10054;
    case ENOBUFS:
    case ENOMEM:
      return 10055;
    case EISCONN:
      return 10056;
    case ENOTCONN:
      return 10057;
    case EPIPE:
    case ESHUTDOWN:
      return 10058;
    case ETIMEDOUT:
      return 10060;
    case ECONNREFUSED:
      return 10061;
    case EHOSTDOWN:
      return 10064;
    case EHOSTUNREACH:
      return 10065;
    default:
      return kWsaSysCallFailure;
  }
}

}  // namespace quillmar
