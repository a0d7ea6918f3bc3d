#pragma once

#include <stdexcept>
#include <string>

namespace quillmar {

// Errors of a byte channel.
class EChannelError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Every socket error, with the name and text of its code, and the start-up failure.
class ESocketsError : public EChannelError {
 public:
  using EChannelError::EChannelError;
};

// An FTP reply other than the one expected: "FTP Error: \"<reply text>\"".
class EUnexpectedReply : public ESocketsError {
 public:
  using ESocketsError::ESocketsError;
};

}  // namespace quillmar
