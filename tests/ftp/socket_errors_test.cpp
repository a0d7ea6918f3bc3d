#include "ftp/socket_errors.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace quillmar {
namespace {

struct TErrorCase {
  std::int32_t Code;
  const char* Name;
  const char* Text;
};

TEST(SocketErrorsTest, NamesAndTextsOfCodes) {
  const TErrorCase cases[] = {
      {10004, "WSAEINTR", "Interrupted function call"},
      {10038, "WSAENOTSOCK", "Socket operation on non-socket"},
      {10054, "WSAECONNRESET", "Connection reset by peer"},
      {10061, "WSAECONNREFUSED", "Connection refused"},
      {10093, "WSANOTINITIALISED", "Successful WSAStartup() not yet performed"},
      {10101, "WSAEDISCON", "WSAEDISCON"},
      {10112, "WSAEREFUSED", "WSAEREFUSED"},
      {11001, "WSAHOST_NOT_FOUND", "Host not found"},
      {11004, "WSANO_DATA", "Valid name, no data record of requested type"},
      // Codes outside the table, also gaps inside the Windows Sockets range.
      {0, "Error #0", "Error #0"},
      {10059, "Error #10059", "Error #10059"},
      {10062, "Error #10062", "Error #10062"},
      {10068, "Error #10068", "Error #10068"},
      {10071, "Error #10071", "Error #10071"},
      {-1, "Error #-1", "Error #-1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WinsockErrorName(c.Code), c.Name) << c.Code;
    EXPECT_EQ(WinsockErrorText(c.Code), c.Text) << c.Code;
  }
}

TEST(SocketErrorsTest, TableHoldsFiftyTwoCodes) {
  int known = 0;
  for (std::int32_t code = 10000; code < 11100; ++code) {
    if (WinsockErrorName(code).rfind("Error #", 0) != 0)
      ++known;
  }
  EXPECT_EQ(known, 52);
}

TEST(SocketErrorsTest, PosixErrorsMapToWindowsSocketsCodes) {
  const std::pair<int, std::int32_t> cases[] = {
      {0, 0},
      {ECONNREFUSED, 10061},
      {ECONNRESET, 10054},
      {EPIPE, 10058},
      {ETIMEDOUT, 10060},
      {EHOSTUNREACH, 10065},
      {ENETUNREACH, 10051},
      {EADDRINUSE, 10048},
      {ENOTCONN, 10057},
      {ECONNABORTED, 10053},
      {EBADF, 10038},
      {ENOTSOCK, 10038},
      {EMFILE, 10024},
      {EADDRNOTAVAIL, 10049},
      {ENETDOWN, 10050},
      {EINVAL, 10022},
      {EAGAIN, 10035},
      {EINPROGRESS, 10036},
      {ENOSPC, 10107},  // nothing matches: a system call failure
  };
  for (const auto& [error, code] : cases)
    EXPECT_EQ(WinsockErrorFromErrno(error), code) << error;
}

}  // namespace
}  // namespace quillmar
