#pragma once

#include <dirent.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ftp/blocking.h"
#include "ftp/tcp_socket.h"
#include "log/recording_logger.h"

namespace quillmar {

// A socket with a recording logger that the test can still read after handing it over.
template <typename TSocket>
struct TLoggedSocket {
  TLoggedSocket() {
    auto logger = std::make_unique<TRecordingLogger>();
    Log = logger.get();
    Socket = std::make_unique<TSocket>(std::move(logger));
  }
  TRecordingLogger* Log;
  std::unique_ptr<TSocket> Socket;
};

// A connected pair on 127.0.0.1 made with the classes under test.
struct TLoopbackPair {
  TLoopbackPair() {
    Listener.Port = 0;
    Listener.Listen();
    Client.Connect("127.0.0.1," + std::to_string(Listener.Port));
    Server.Accept(&Listener);
  }
  TTcpSocket Listener;
  TTcpSocket Client;
  TTcpSocket Server;
};

// A fresh directory, removed with its contents.
class TScratchDir {
 public:
  TScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillmar-ftp-XXXXXX").string();
    if (::mkdtemp(pattern.data()))
      path_ = pattern;
  }
  ~TScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& Path() const { return path_; }
  // The names of the directory's entries, hidden ones included.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::string& name, const std::string& content) {
  std::ofstream(name, std::ios::binary) << content;
}

// Open descriptors of this process: a transfer must give back every socket it opened.
inline int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (::readdir(dir))
      ++count;
    ::closedir(dir);
  }
  return count;
}

// Installs a blocking hook for the scope and clears the thread's cancel after it.
class TScopedHook {
 public:
  explicit TScopedHook(std::function<void()> hook) { SetBlockingHook(std::move(hook)); }
  ~TScopedHook() {
    SetBlockingHook(nullptr);
    ResetBlockingCancel();
  }
  TScopedHook(const TScopedHook&) = delete;
  TScopedHook& operator=(const TScopedHook&) = delete;
};

// The message of the exception E that Call raises; fails the test when it raises nothing or
// something else.
template <typename E, typename F>
std::string MessageOf(F&& call) {
  try {
    call();
  } catch (const E& error) {
    return error.what();
  } catch (const std::exception& error) {
    ADD_FAILURE() << "unexpected exception: " << error.what();
    return {};
  }
  ADD_FAILURE() << "no exception";
  return {};
}

}  // namespace quillmar
