#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

namespace quillmar::testing {
namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

TChildProcess::TChildProcess(std::vector<std::string> argv, const std::string& log_path,
                             bool capture_stdout) {
  // Everything the child needs is prepared before fork: only async-signal-safe calls may
  // follow it in a process that has other threads.
  std::vector<char*> args;
  for (std::string& arg : argv)
    args.push_back(arg.data());
  args.push_back(nullptr);

  const int log_fd = open(log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (log_fd < 0)
    throw std::system_error(errno, std::generic_category(), "open " + log_path);
  int pipe_fds[2] = {-1, -1};
  if (capture_stdout && pipe2(pipe_fds, O_CLOEXEC) != 0) {
    const int error = errno;
    close(log_fd);
    throw std::system_error(error, std::generic_category(), "pipe");
  }
  const pid_t parent = getpid();

  pid_ = fork();
  if (pid_ == 0) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
      _exit(127);
    const int null_fd = open("/dev/null", O_RDONLY);
    dup2(null_fd, STDIN_FILENO);
    dup2(capture_stdout ? pipe_fds[1] : log_fd, STDOUT_FILENO);
    dup2(log_fd, STDERR_FILENO);
    execv(args[0], args.data());
    _exit(127);
  }
  const int fork_error = errno;
  close(log_fd);
  if (capture_stdout)
    close(pipe_fds[1]);
  if (pid_ < 0) {
    if (capture_stdout)
      close(pipe_fds[0]);
    throw std::system_error(fork_error, std::generic_category(), "fork");
  }
  // Also from here, so that Stop() never signals a group that does not exist yet.
  setpgid(pid_, pid_);
  stdout_fd_ = capture_stdout ? pipe_fds[0] : -1;
}

TChildProcess::~TChildProcess() {
  Stop();
  if (stdout_fd_ >= 0)
    close(stdout_fd_);
}

std::optional<std::string> TChildProcess::ReadLine(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (true) {
    const std::size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r')
        line.pop_back();
      return line;
    }
    if (stdout_fd_ < 0)
      return std::nullopt;
    pollfd fd{stdout_fd_, POLLIN, 0};
    const int ready = poll(&fd, 1, RemainingMs(deadline));
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready <= 0)
      return std::nullopt;
    char buffer[512];
    const ssize_t got = read(stdout_fd_, buffer, sizeof buffer);
    if (got <= 0)
      return std::nullopt;
    pending_.append(buffer, static_cast<std::size_t>(got));
  }
}

bool TChildProcess::HasExited() {
  if (reaped_ || pid_ <= 0)
    return true;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_)
    reaped_ = true;
  return reaped_;
}

void TChildProcess::Stop(std::chrono::milliseconds grace) {
  if (pid_ <= 0)
    return;
  // The group may outlive its leader (session processes of a forking server).
  kill(-pid_, SIGTERM);
  const auto deadline = Clock::now() + grace;
  while (!HasExited() && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  kill(-pid_, SIGKILL);
  if (!reaped_) {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
  }
  pid_ = -1;
}

}  // namespace quillmar::testing
