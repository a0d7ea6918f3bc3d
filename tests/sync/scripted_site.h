#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "support/fault_server.h"

namespace quillmar::testing {

// An FTP site on the fault server that answers whatever the client asks, in any order:
// listings by their exact command line, uploads into a record, deletions, and a login that
// refuses a wrong password. Enough of a server for the engine's comparison.
class TScriptedSite {
 public:
  // LIST command line ("LIST -la /htdocs/") -> listing text; a LIST missing here gets 550.
  std::map<std::string, std::string> Listings;
  std::string Password = "secret";
  // STOR targets refused with 553.
  std::set<std::string> RefusedUploads;
  // Runs before the reply to each command, in the server's thread.
  std::function<void(const std::string& command)> OnCommand;

  TScriptedSite() = default;
  ~TScriptedSite() { Stop(); }

  void Start() {
    commands_.clear();
    errors_.clear();
    server_ = std::make_unique<TFaultServer>([this](TFaultSession& s) { Serve(s); });
  }
  // Waits for the connections to end; the records stay until the next Start.
  void Stop() {
    if (server_) {
      server_->WaitForScripts(std::chrono::seconds(5));
      commands_ = server_->Commands();
      errors_ = server_->Errors();
      server_.reset();
    }
  }
  std::string HostAndPort() const { return server_->HostAndPort(); }
  // Every command of every connection (PASS shows the password it got).
  std::vector<std::string> Commands() const { return server_ ? server_->Commands() : commands_; }
  std::vector<std::string> Errors() const { return server_ ? server_->Errors() : errors_; }
  // Uploads by path, with their content.
  std::map<std::string, std::string> Uploads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return uploads_;
  }

 private:
  void Serve(TFaultSession& s) {
    s.Send("220 Scripted site ready\r\n");
    std::optional<std::string> port;
    for (;;) {
      const std::optional<std::string> line = s.ReadCommand();
      if (!line)
        return;
      const std::string& command = *line;
      if (OnCommand)
        OnCommand(command);
      const std::string verb = command.substr(0, command.find(' '));
      const std::string argument =
          command.find(' ') == std::string::npos ? "" : command.substr(command.find(' ') + 1);
      if (verb == "USER") {
        s.Send("331 Password required\r\n");
      } else if (verb == "PASS") {
        s.Send(argument == Password ? "230 Logged in\r\n" : "530 Login incorrect.\r\n");
      } else if (verb == "PASV") {
        port.reset();
        s.Send(s.OpenPassive() + "\r\n");
      } else if (verb == "PORT") {
        port = command;
        s.Send("200 PORT command successful\r\n");
      } else if (verb == "TYPE") {
        s.Send("200 Type set\r\n");
      } else if (verb == "LIST") {
        const auto it = Listings.find(command);
        if (it == Listings.end()) {
          s.Send("550 No such file or directory\r\n");
          continue;
        }
        OpenData(s, port);
        s.SendData(it->second);
        s.CloseData();
        s.Send("226 Transfer complete\r\n");
      } else if (verb == "STOR") {
        if (RefusedUploads.count(argument) != 0) {
          s.Send("553 Permission denied\r\n");
          continue;
        }
        OpenData(s, port);
        const std::string data = s.ReceiveData();
        {
          std::lock_guard<std::mutex> lock(mutex_);
          uploads_[argument] = data;
        }
        s.Send("226 Transfer complete\r\n");
      } else if (verb == "DELE") {
        s.Send("250 Deleted\r\n");
      } else if (verb == "QUIT") {
        s.Send("221 Goodbye\r\n");
        return;
      } else {
        s.Send("500 Unknown command\r\n");
      }
    }
  }

  static void OpenData(TFaultSession& s, const std::optional<std::string>& port) {
    s.Send("150 Opening data connection\r\n");
    if (port)
      s.ConnectData(*port);
    else
      s.AcceptData();
  }

  std::unique_ptr<TFaultServer> server_;
  std::vector<std::string> commands_;
  std::vector<std::string> errors_;
  mutable std::mutex mutex_;
  std::map<std::string, std::string> uploads_;
};

}  // namespace quillmar::testing
