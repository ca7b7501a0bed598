#include "spl/platform/tcp_port.h"

#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "spl/platform/kernel.h"

namespace {

constexpr int kPortMin = 1;
constexpr int kPortMax = 65535;
constexpr char kDefaultHost[] = "localhost";

DWORD Remaining(DWORD start, DWORD timeout) {
  if (timeout == INFINITE) return INFINITE;
  DWORD spent = GetTickCount() - start;
  return spent >= timeout ? 0 : timeout - spent;
}

int PollTimeout(DWORD ms) { return ms == INFINITE ? -1 : int(ms > 0x7FFFFFFF ? 0x7FFFFFFF : ms); }

// Connects one resolved address without blocking longer than timeout ms; the socket, or
// -1 with errno set.
int ConnectOne(const addrinfo* a, DWORD timeout) {
  int fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
  if (fd < 0) return -1;
  if (connect(fd, a->ai_addr, a->ai_addrlen) == 0) return fd;
  if (errno != EINPROGRESS) {
    int e = errno;
    close(fd);
    errno = e;
    return -1;
  }
  pollfd pfd{fd, POLLOUT, 0};
  int r;
  do {
    r = poll(&pfd, 1, PollTimeout(timeout));
  } while (r < 0 && errno == EINTR);
  int e = 0;
  if (r == 0) {
    e = ETIMEDOUT;
  } else if (r < 0) {
    e = errno;
  } else {
    socklen_t len = sizeof e;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &e, &len) != 0) e = errno;
  }
  if (e != 0) {
    close(fd);
    errno = e;
    return -1;
  }
  return fd;
}

}  // namespace

CTcpPort::CTcpPort() = default;

CTcpPort::~CTcpPort() { Close(); }

int CTcpPort::SplitAddress(const std::string& text, int defaultPort, std::string& host,
                           int& port) {
  std::string h = text, p;
  bool has_port = false;
  if (!text.empty() && text[0] == '[') {
    size_t close = text.find(']');
    if (close == std::string::npos) return 0;
    h = text.substr(1, close - 1);
    if (close + 1 < text.size()) {
      if (text[close + 1] != ':') return 0;
      p = text.substr(close + 2);
      has_port = true;
    }
  } else {
    size_t colon = text.rfind(':');
    if (colon != std::string::npos) {
      h = text.substr(0, colon);
      p = text.substr(colon + 1);
      has_port = true;
    }
  }
  int number = defaultPort;
  if (has_port) {
    char* end = nullptr;
    long v = strtol(p.c_str(), &end, 10);
    if (p.empty() || !end || *end || v < kPortMin || v > kPortMax) return 0;
    number = int(v);
  }
  host = h.empty() ? kDefaultHost : h;
  port = number;
  return 1;
}

int CTcpPort::Open(const std::string& host, int port, DWORD timeout) {
  Close();
  address_ = (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" +
             std::to_string(port);
  resolver_error_.clear();
  if (port < kPortMin || port > kPortMax) {
    error_ = EINVAL;
    return 0;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  int g = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
  if (g != 0) {
    if (g == EAI_SYSTEM) {
      error_ = errno;
    } else {
      error_ = ENXIO;
      resolver_error_ = gai_strerror(g);
    }
    return 0;
  }
  // "localhost" may resolve to ::1 and 127.0.0.1; a daemon listens on one or both.
  DWORD start = GetTickCount();
  int fd = -1, e = ECONNREFUSED;
  for (addrinfo* a = list; a && fd < 0; a = a->ai_next) {
    DWORD left = Remaining(start, timeout);
    if (left == 0) {
      e = ETIMEDOUT;
      break;
    }
    fd = ConnectOne(a, left);
    if (fd < 0) e = errno;
  }
  freeaddrinfo(list);
  if (fd < 0) {
    error_ = e;
    return 0;
  }
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);  // commands are single short lines
  if (!cancel_.Init()) {
    error_ = errno;
    close(fd);
    return 0;
  }
  fd_ = fd;
  error_ = 0;
  return 1;
}

void CTcpPort::Close() {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
  cancel_.Release();
}

std::string CTcpPort::ErrorText() const {
  if (error_ == ENXIO && !resolver_error_.empty()) return resolver_error_;
  return strerror(error_);
}

int CTcpPort::Write(const void* data, int length, DWORD timeout) {
  if (fd_ < 0) {
    error_ = EBADF;
    return 0;
  }
  const auto* p = static_cast<const unsigned char*>(data);
  DWORD start = GetTickCount();
  int done = 0;
  while (done < length) {
    ssize_t n = send(fd_, p + done, size_t(length - done), MSG_NOSIGNAL);
    if (n > 0) {
      done += int(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      error_ = errno;
      return 0;
    }
    DWORD left = Remaining(start, timeout);
    if (left == 0) {
      error_ = ETIMEDOUT;
      return 0;
    }
    pollfd pfd{fd_, POLLOUT, 0};
    int r = poll(&pfd, 1, PollTimeout(left));
    if (r < 0 && errno != EINTR) {
      error_ = errno;
      return 0;
    }
  }
  return 1;
}

int CTcpPort::Read(unsigned char* buffer, int max) { return WaitRead(buffer, max, -1); }

int CTcpPort::ReadTimeout(unsigned char* buffer, int max, DWORD timeout) {
  return WaitRead(buffer, max, PollTimeout(timeout));
}

int CTcpPort::WaitRead(unsigned char* buffer, int max, int pollMs) {
  if (fd_ < 0 || max <= 0) {
    error_ = EBADF;
    return -1;
  }
  DWORD start = GetTickCount();
  for (;;) {
    int wait = pollMs < 0 ? -1 : PollTimeout(Remaining(start, DWORD(pollMs)));
    pollfd pfd[2] = {{fd_, POLLIN, 0}, {cancel_.Fd(), POLLIN, 0}};
    int r = poll(pfd, 2, wait);
    if (r < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      return -1;
    }
    if (r == 0) {
      error_ = ETIMEDOUT;
      return 0;
    }
    if (pfd[1].revents & POLLIN) {
      cancel_.Clear();
      return 0;
    }
    if (pfd[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) {
      ssize_t n = recv(fd_, buffer, size_t(max), 0);
      if (n > 0) return int(n);
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
      error_ = n == 0 ? ECONNRESET : errno;  // the peer closed the connection
      return -1;
    }
  }
}

void CTcpPort::CancelRead() { cancel_.Signal(); }

void CTcpPort::ResetCancel() { cancel_.Clear(); }
