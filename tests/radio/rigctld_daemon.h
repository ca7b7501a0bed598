// hamlib's rigctld for the tests: found on the PATH, started on its dummy rig (-m 1) at a
// free local port, waited for until it accepts, and stopped again; and commands asked of it
// on a connection of the test's own, to read back what a receiver type set.
//
// rigctld (4.5) closes a finished client's socket twice, so a connection it accepts while
// another one ends may lose its descriptor and be reset. The test's own connection is
// therefore opened once and kept, and a test that closes a connection waits with Settle()
// until the daemon has let go of it before the next one is opened.
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
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "spl/platform/kernel.h"
#include "spl/platform/tcp_port.h"

extern char** environ;

namespace rigctld_test {

constexpr DWORD kStartWaitMs = 10000;  // upper bound for rigctld to start listening
constexpr DWORD kAnswerWaitMs = 5000;  // upper bound for one answer; not a timing check
constexpr DWORD kPollMs = 50;
constexpr DWORD kSettlePollMs = 5;
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
    link_.reset();
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = 0;
    port_ = 0;
  }
  int Port() const { return port_; }

  // One command on the test's connection, and its answer: exactly lines lines, as the
  // connection is kept for the next command.
  std::vector<std::string> Ask(const std::string& command, size_t lines) {
    std::vector<std::string> out;
    if (!link_) return out;
    std::string line = command + "\n";
    if (!link_->Write(line.data(), int(line.size()), kAnswerWaitMs)) return out;
    unsigned char buffer[256];
    while (out.size() < lines) {
      int n = link_->ReadTimeout(buffer, sizeof buffer, kAnswerWaitMs);
      if (n <= 0) break;
      pending_.append(reinterpret_cast<char*>(buffer), size_t(n));
      size_t nl;
      while (out.size() < lines && (nl = pending_.find('\n')) != std::string::npos) {
        out.push_back(pending_.substr(0, nl));
        pending_.erase(0, nl + 1);
      }
    }
    return out;
  }
  std::string AskOne(const std::string& command) {
    auto lines = Ask(command, 1);
    return lines.empty() ? "(no answer)" : lines[0];
  }
  // The mode's name (its passband, the second line, is read and dropped).
  std::string Mode() {
    auto lines = Ask("m", 2);
    return lines.size() < 2 ? "(no answer)" : lines[0];
  }

  // Waits until the daemon holds no more sockets than with only the test's connection open.
  void Settle() {
    const DWORD start = GetTickCount();
    while (Sockets() > idle_sockets_ && GetTickCount() - start < kStartWaitMs) Sleep(kSettlePollMs);
  }

 private:
  int Sockets() const {
    int count = 0;
    std::error_code error;
    const std::string dir = "/proc/" + std::to_string(pid_) + "/fd";
    for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
      std::error_code unreadable;
      const auto target = std::filesystem::read_symlink(entry.path(), unreadable);
      if (!unreadable && target.string().rfind("socket:", 0) == 0) ++count;
    }
    return count;
  }

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
    // Wait until it accepts, or until it has ended (the port was taken after all). The
    // first connection it accepts is the one the test keeps.
    DWORD start = GetTickCount();
    while (GetTickCount() - start < kStartWaitMs) {
      auto link = std::make_unique<CTcpPort>();
      if (link->Open("127.0.0.1", port, kAnswerWaitMs)) {
        pid_ = pid;
        port_ = port;
        link_ = std::move(link);
        AskOne("f");  // answered: its handler runs and its socket is counted
        idle_sockets_ = Sockets();
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
  std::unique_ptr<CTcpPort> link_;
  std::string pending_;
  int idle_sockets_ = 0;
};

}  // namespace rigctld_test
