// hamlib's rigctld for the tests: found on the PATH, started on its dummy rig (-m 1) at a
// free local port, waited for until it accepts, and stopped again; and one command asked
// of it on a connection of the test's own, to read back what a receiver type set.
#pragma once
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "spl/platform/kernel.h"
#include "spl/platform/tcp_port.h"

extern char** environ;

namespace rigctld_test {

constexpr DWORD kStartWaitMs = 10000;  // upper bound for rigctld to start listening
constexpr DWORD kAnswerWaitMs = 5000;  // upper bound for one answer; not a timing check
constexpr DWORD kPollMs = 50;
constexpr int kStartAttempts = 5;  // another program may take the port we picked

inline std::string FindProgram(const char* name) {
  const char* path = getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t at = 0;
  while (at <= dirs.size()) {
    size_t end = dirs.find(':', at);
    std::string dir = dirs.substr(at, end == std::string::npos ? std::string::npos : end - at);
    std::string file = (dir.empty() ? "." : dir) + "/" + name;
    if (access(file.c_str(), X_OK) == 0) return file;
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return "";
}

// A TCP port that nothing listened on a moment ago: the system picks it for a bound socket.
inline int PickFreePort() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  close(fd);
  return port;
}

class CRigctldDaemon {
 public:
  ~CRigctldDaemon() { Stop(); }
  static std::string Program() { return FindProgram("rigctld"); }
  // Starts the dummy rig's daemon; the port it listens on, or 0.
  int Start() {
    const std::string program = Program();
    if (program.empty()) return 0;
    for (int attempt = 0; attempt < kStartAttempts && !port_; ++attempt) StartAt(program);
    return port_;
  }
  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = 0;
    port_ = 0;
  }
  int Port() const { return port_; }

 private:
  void StartAt(const std::string& program) {
    const int port = PickFreePort();
    std::string port_text = std::to_string(port);
    std::vector<std::string> words = {program, "-m", "1", "-T", "127.0.0.1", "-t", port_text};
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return;
    // Wait until it accepts, or until it has ended (the port was taken after all).
    DWORD start = GetTickCount();
    while (GetTickCount() - start < kStartWaitMs) {
      CTcpPort probe;
      if (probe.Open("127.0.0.1", port, kAnswerWaitMs)) {
        pid_ = pid;
        port_ = port;
        return;
      }
      if (waitpid(pid, nullptr, WNOHANG) == pid) return;
      Sleep(kPollMs);
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }

  pid_t pid_ = 0;
  int port_ = 0;
};

// One command to the daemon on a connection of the caller's own, and its answer lines.
inline std::vector<std::string> Ask(int port, const std::string& command, size_t lines) {
  CTcpPort link;
  std::vector<std::string> out;
  if (!link.Open("127.0.0.1", port, kAnswerWaitMs)) return out;
  std::string line = command + "\n", text;
  if (!link.Write(line.data(), int(line.size()), kAnswerWaitMs)) return out;
  unsigned char buffer[256];
  while (out.size() < lines) {
    int n = link.ReadTimeout(buffer, sizeof buffer, kAnswerWaitMs);
    if (n <= 0) break;
    text.append(reinterpret_cast<char*>(buffer), size_t(n));
    size_t nl;
    while ((nl = text.find('\n')) != std::string::npos) {
      out.push_back(text.substr(0, nl));
      text.erase(0, nl + 1);
    }
  }
  return out;
}

inline std::string AskOne(int port, const std::string& command) {
  auto lines = Ask(port, command, 1);
  return lines.empty() ? "(no answer)" : lines[0];
}

}  // namespace rigctld_test
