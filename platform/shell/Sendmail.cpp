#include "platform/shell/Sendmail.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace shell {

namespace {

// What the program says is only a hint for the user; a chatty or runaway one
// must not grow our memory.
constexpr size_t kMaxDetail = 4096;

class UniqueFd {
public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { Reset(); }
  int Get() const { return fd_; }
  bool Open() const { return fd_ >= 0; }
  void Reset() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

private:
  int fd_ = -1;
};

// Writing to a pipe whose reader has gone raises SIGPIPE, which would end the
// whole program unless someone ignores it. Blocking it on this thread alone
// leaves the process's disposition (and other threads) untouched; a SIGPIPE
// our write left pending is taken away before the mask is restored.
class SigpipeBlock {
public:
  SigpipeBlock() {
    sigemptyset(&pipeOnly_);
    sigaddset(&pipeOnly_, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeOnly_, &saved_);
    sigset_t pending;
    sigpending(&pending);
    wasPending_ = sigismember(&pending, SIGPIPE) == 1;
  }
  SigpipeBlock(const SigpipeBlock&) = delete;
  SigpipeBlock& operator=(const SigpipeBlock&) = delete;
  ~SigpipeBlock() {
    sigset_t pending;
    sigpending(&pending);
    if (!wasPending_ && sigismember(&pending, SIGPIPE) == 1) {
      const timespec zero{0, 0};
      while (sigtimedwait(&pipeOnly_, nullptr, &zero) < 0 && errno == EINTR) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
  }

private:
  sigset_t pipeOnly_{};
  sigset_t saved_{};
  bool wasPending_ = false;
};

std::string Trimmed(std::string s) {
  const auto notSpace = [](unsigned char c) { return c != ' ' && c != '\t' && c != '\r' && c != '\n'; };
  size_t b = 0;
  while (b < s.size() && !notSpace(static_cast<unsigned char>(s[b]))) ++b;
  size_t e = s.size();
  while (e > b && !notSpace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

std::string Errno(const char* what, int err) { return std::string(what) + ": " + std::strerror(err); }

struct Spawned {
  pid_t pid = -1;
  int error = 0;
};

// Starts `path -t -i` with its standard input on `stdinRead` and its output
// and errors on `outputWrite`. The child starts with no signal blocked and
// SIGPIPE at its default, whatever this thread or process has set.
Spawned Spawn(const rtl::String& path, int stdinRead, int outputWrite) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  posix_spawn_file_actions_adddup2(&actions, stdinRead, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, outputWrite, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, outputWrite, STDERR_FILENO);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::string arg0 = path, arg1 = "-t", arg2 = "-i";
  char* argv[] = {arg0.data(), arg1.data(), arg2.data(), nullptr};
  Spawned s;
  // glibc reports a failed exec here and reaps that child itself.
  s.error = posix_spawn(&s.pid, path.c_str(), &actions, &attr, argv, environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  return s;
}

struct Exchange {
  bool wroteAll = false;
  int writeError = 0;
  std::string output;
};

// Feeds the message and collects the output at the same time, so a program
// that talks before it reads cannot deadlock against us.
Exchange Talk(std::string_view message, UniqueFd& toChild, UniqueFd& fromChild) {
  Exchange x;
  size_t offset = 0;
  if (message.empty()) {
    toChild.Reset();
    x.wroteAll = true;
  } else {
    fcntl(toChild.Get(), F_SETFL, fcntl(toChild.Get(), F_GETFL) | O_NONBLOCK);
  }
  SigpipeBlock noSigpipe;
  while (toChild.Open() || fromChild.Open()) {
    pollfd fds[2];
    nfds_t n = 0;
    if (toChild.Open()) fds[n++] = {toChild.Get(), POLLOUT, 0};
    if (fromChild.Open()) fds[n++] = {fromChild.Get(), POLLIN, 0};
    if (poll(fds, n, -1) < 0) {
      if (errno == EINTR) continue;
      // Closing both ends lets the child finish, so waiting for it cannot hang.
      x.writeError = errno;
      toChild.Reset();
      fromChild.Reset();
      break;
    }
    for (nfds_t i = 0; i < n; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == toChild.Get()) {
        const ssize_t w = write(toChild.Get(), message.data() + offset, message.size() - offset);
        if (w < 0) {
          if (errno == EAGAIN || errno == EINTR) continue;
          x.writeError = errno;
          toChild.Reset();
          continue;
        }
        offset += static_cast<size_t>(w);
        if (offset == message.size()) {
          x.wroteAll = true;
          toChild.Reset();
        }
      } else {
        char buf[4096];
        const ssize_t r = read(fromChild.Get(), buf, sizeof buf);
        if (r < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (r <= 0) {
          fromChild.Reset();
          continue;
        }
        const size_t room = kMaxDetail - std::min(kMaxDetail, x.output.size());
        x.output.append(buf, std::min(room, static_cast<size_t>(r)));
      }
    }
  }
  return x;
}

}  // namespace

rtl::String SendmailPath() {
  const char* v = std::getenv("VORIX_SENDMAIL");
  return v && *v ? rtl::String(v) : rtl::String("/usr/sbin/sendmail");
}

SendmailResult PipeToSendmail(std::string_view message, const rtl::String& path) {
  SendmailResult result;
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0) {
    result.detail = Errno("cannot make a pipe", errno);
    return result;
  }
  UniqueFd inRead(in[0]), inWrite(in[1]);
  if (pipe2(out, O_CLOEXEC) != 0) {
    result.detail = Errno("cannot make a pipe", errno);
    return result;
  }
  UniqueFd outRead(out[0]), outWrite(out[1]);

  const Spawned child = path.empty() ? Spawned{-1, ENOENT} : Spawn(path, inRead.Get(), outWrite.Get());
  if (child.error != 0) {
    const bool missing = child.error == ENOENT || child.error == ENOTDIR || child.error == EACCES;
    result.status = missing ? SendmailStatus::NoSendmail : SendmailStatus::Failed;
    result.detail = Errno(("cannot run " + path).c_str(), child.error);
    return result;
  }
  // Our copies of the child's ends would keep the pipes open forever.
  inRead.Reset();
  outWrite.Reset();

  const Exchange x = Talk(message, inWrite, outRead);

  int status = 0;
  while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
  }
  const std::string said = Trimmed(x.output);
  const auto withOutput = [&](std::string text) { return said.empty() ? text : text + ": " + said; };
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);

  // How the program ended says more than our broken pipe does.
  if (WIFSIGNALED(status)) {
    result.detail = withOutput("sendmail was ended by signal " + std::to_string(WTERMSIG(status)));
  } else if (result.exitCode != 0) {
    result.detail = withOutput("sendmail exited with code " + std::to_string(result.exitCode));
  } else if (!x.wroteAll) {
    result.detail = withOutput(x.writeError == EPIPE ? "sendmail stopped reading the message"
                                                     : Errno("cannot write to sendmail", x.writeError));
  } else {
    result.status = SendmailStatus::Accepted;
  }
  return result;
}

}  // namespace shell
