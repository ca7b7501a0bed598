// The TCP connection under network receivers: address texts, refusals with the system's
// words, and reads that end on data, on a cancel, on silence or on the peer hanging up.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

#include "spl/platform/tcp_port.h"

namespace {

constexpr DWORD kWaitMs = 5000;  // upper bound for local traffic; not a timing check

// A listening socket on a free local port.
class CListener {
 public:
  CListener() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(fd_, 1) == 0 &&
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      port_ = ntohs(a.sin_port);
  }
  ~CListener() {
    if (peer_ >= 0) close(peer_);
    close(fd_);
  }
  int Port() const { return port_; }
  int Accept() { return peer_ = accept(fd_, nullptr, nullptr); }
  void Hangup() {
    close(peer_);
    peer_ = -1;
  }

 private:
  int fd_ = -1;
  int peer_ = -1;
  int port_ = 0;
};

TEST(TcpPort, AddressTexts) {
  std::string host;
  int port = 0;
  ASSERT_EQ(CTcpPort::SplitAddress("localhost:4532", 1, host, port), 1);
  EXPECT_EQ(host, "localhost");
  EXPECT_EQ(port, 4532);
  ASSERT_EQ(CTcpPort::SplitAddress("rig.example", 4532, host, port), 1);
  EXPECT_EQ(host, "rig.example");
  EXPECT_EQ(port, 4532);
  ASSERT_EQ(CTcpPort::SplitAddress("", 4532, host, port), 1);
  EXPECT_EQ(host, "localhost");
  ASSERT_EQ(CTcpPort::SplitAddress(":4533", 4532, host, port), 1);
  EXPECT_EQ(host, "localhost");
  EXPECT_EQ(port, 4533);
  ASSERT_EQ(CTcpPort::SplitAddress("[::1]:4534", 4532, host, port), 1);
  EXPECT_EQ(host, "::1");
  EXPECT_EQ(port, 4534);
  ASSERT_EQ(CTcpPort::SplitAddress("[::1]", 4532, host, port), 1);
  EXPECT_EQ(port, 4532);
  for (const char* bad : {"host:", "host:0", "host:65536", "host:45x", "[::1", "[::1]x"})
    EXPECT_EQ(CTcpPort::SplitAddress(bad, 4532, host, port), 0) << bad;
}

TEST(TcpPort, RefusalsCarryTheSystemsWords) {
  int closed;
  {
    CListener gone;  // bound and released: nothing listens there now
    closed = gone.Port();
  }
  CTcpPort link;
  EXPECT_EQ(link.Open("127.0.0.1", closed, kWaitMs), 0);
  EXPECT_EQ(link.Error(), ECONNREFUSED);
  EXPECT_EQ(link.ErrorText(), "Connection refused");
  EXPECT_EQ(link.Address(), "127.0.0.1:" + std::to_string(closed));
  EXPECT_EQ(link.IsOpen(), 0);
  EXPECT_EQ(link.Open("no-such-host.invalid", 4532, kWaitMs), 0);
  EXPECT_EQ(link.Error(), ENXIO);
  EXPECT_NE(link.ErrorText(), strerror(ENXIO));  // the resolver's own text
  EXPECT_EQ(link.Open("127.0.0.1", 0, kWaitMs), 0);
  EXPECT_EQ(link.Error(), EINVAL);
  unsigned char b;
  EXPECT_EQ(link.Write("x", 1, kWaitMs), 0);
  EXPECT_EQ(link.Read(&b, 1), -1);
}

TEST(TcpPort, ReadsEndOnDataCancelSilenceAndHangup) {
  CListener listener;
  ASSERT_NE(listener.Port(), 0);
  CTcpPort link;
  ASSERT_EQ(link.Open("localhost", listener.Port(), kWaitMs), 1) << link.ErrorText();
  const int peer = listener.Accept();
  ASSERT_GE(peer, 0);
  // Both ways.
  ASSERT_EQ(link.Write("F 7055500\n", 10, kWaitMs), 1);
  char got[32] = {};
  ASSERT_EQ(recv(peer, got, 10, MSG_WAITALL), 10);
  EXPECT_EQ(std::string(got, 10), "F 7055500\n");
  ASSERT_EQ(send(peer, "RPRT 0\n", 7, 0), 7);
  unsigned char buffer[64];
  std::string answer;
  while (answer.size() < 7) {
    int n = link.ReadTimeout(buffer, sizeof buffer, kWaitMs);
    ASSERT_GT(n, 0);
    answer.append(reinterpret_cast<char*>(buffer), size_t(n));
  }
  EXPECT_EQ(answer, "RPRT 0\n");
  // Silence: a read with a time-out gives up with ETIMEDOUT, the connection stays.
  EXPECT_EQ(link.ReadTimeout(buffer, sizeof buffer, 50), 0);
  EXPECT_EQ(link.Error(), ETIMEDOUT);
  EXPECT_EQ(link.IsOpen(), 1);
  // A blocking read is stopped from another thread.
  std::thread stopper([&] { link.CancelRead(); });
  EXPECT_EQ(link.Read(buffer, sizeof buffer), 0);
  stopper.join();
  // The peer hangs up: the read ends with an error instead of waiting on.
  listener.Hangup();
  EXPECT_EQ(link.Read(buffer, sizeof buffer), -1);
  EXPECT_EQ(link.Error(), ECONNRESET);
}

}  // namespace
