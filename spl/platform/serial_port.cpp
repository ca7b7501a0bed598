#include "spl/platform/serial_port.h"

// The kernel's own terminal structure (termios2) carries any baud rate; the C library's
// termios only knows the fixed rates, and 33600 is not among them. The two headers cannot
// meet in one file, so this file uses the kernel's alone.
#include <asm/termbits.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <thread>

#include "spl/platform/kernel.h"

namespace {

constexpr DWORD kDrainPollMs = 1;  // how often a write checks whether its bytes have left

DWORD Remaining(DWORD start, DWORD timeout) {
  if (timeout == INFINITE) return INFINITE;
  DWORD spent = GetTickCount() - start;
  return spent >= timeout ? 0 : timeout - spent;
}

int PollTimeout(DWORD ms) { return ms == INFINITE ? -1 : int(ms > 0x7FFFFFFF ? 0x7FFFFFFF : ms); }

}  // namespace

CSerialPort::CSerialPort() = default;

CSerialPort::~CSerialPort() { Close(); }

int CSerialPort::Open(const char* device) {
  Close();
  device_ = device ? device : "";
  int fd = open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error_ = errno;
    return 0;
  }
  if (!isatty(fd)) {
    close(fd);
    error_ = ENOTTY;
    return 0;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    error_ = (errno == EWOULDBLOCK) ? EBUSY : errno;
    close(fd);
    return 0;
  }
  if (ioctl(fd, TIOCEXCL) != 0) {
    error_ = errno;
    close(fd);
    return 0;
  }
  if (!cancel_.Init()) {
    error_ = errno;
    ioctl(fd, TIOCNXCL);
    close(fd);
    return 0;
  }
  if (!MakeRaw(fd)) {
    error_ = errno;
    ioctl(fd, TIOCNXCL);
    close(fd);
    cancel_.Release();
    return 0;
  }
  fd_ = fd;
  error_ = 0;
  return 1;
}

void CSerialPort::Close() {
  if (fd_ >= 0) {
    ioctl(fd_, TIOCNXCL);
    close(fd_);  // also drops the lock
    fd_ = -1;
  }
  cancel_.Release();
}

int CSerialPort::MakeRaw(int fd) {
  termios2 t{};
  if (ioctl(fd, TCGETS2, &t) != 0) return 0;
  t.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                          IXANY | INPCK);
  t.c_oflag &= ~tcflag_t(OPOST);
  t.c_lflag &= ~tcflag_t(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~tcflag_t(CRTSCTS);
  t.c_cflag |= CREAD | CLOCAL;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  return ioctl(fd, TCSETS2, &t) == 0 ? 1 : 0;
}

int CSerialPort::SetLine(const SerialLine& line) {
  if (fd_ < 0 || line.baud <= 0 || line.dataBits < 5 || line.dataBits > 8 || line.parity < 0 ||
      line.parity > 2 || line.stopBits < 0 || line.stopBits > 2) {
    error_ = EINVAL;
    return 0;
  }
  termios2 t{};
  if (ioctl(fd_, TCGETS2, &t) != 0) {
    error_ = errno;
    return 0;
  }
  static const tcflag_t kSizes[4] = {CS5, CS6, CS7, CS8};
  t.c_cflag &= ~tcflag_t(CBAUD | CIBAUD | CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT) | kSizes[line.dataBits - 5] | CREAD | CLOCAL;
  if (line.parity != 0) t.c_cflag |= PARENB;
  if (line.parity == 1) t.c_cflag |= PARODD;
  if (line.stopBits != 0) t.c_cflag |= CSTOPB;  // one and a half exists only for 5 data bits
  t.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
  t.c_ispeed = speed_t(line.baud);
  t.c_ospeed = speed_t(line.baud);
  if (ioctl(fd_, TCSETS2, &t) != 0) {
    error_ = errno;
    return 0;
  }
  return 1;
}

int CSerialPort::GetLineOf(int fd, SerialLine& line) {
  termios2 t{};
  if (ioctl(fd, TCGETS2, &t) != 0) return 0;
  static const int kBits[4] = {5, 6, 7, 8};
  line.baud = int(t.c_ospeed);
  line.dataBits = kBits[(t.c_cflag & CSIZE) == CS5 ? 0 : (t.c_cflag & CSIZE) == CS6 ? 1
                       : (t.c_cflag & CSIZE) == CS7 ? 2 : 3];
  line.parity = (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? 1 : 2) : 0;
  line.stopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
  return 1;
}

int CSerialPort::GetLine(SerialLine& line) const { return fd_ >= 0 ? GetLineOf(fd_, line) : 0; }

int CSerialPort::SetModemLines(int rts, int dtr) {
  if (fd_ < 0) return 0;
  int on = (rts ? TIOCM_RTS : 0) | (dtr ? TIOCM_DTR : 0);
  int off = (rts ? 0 : TIOCM_RTS) | (dtr ? 0 : TIOCM_DTR);
  int ok = 1;
  if (on && ioctl(fd_, TIOCMBIS, &on) != 0) ok = 0;
  if (off && ioctl(fd_, TIOCMBIC, &off) != 0) ok = 0;
  if (!ok) error_ = errno;
  return ok;
}

int CSerialPort::GetModemLines(int& rts, int& dtr) const {
  int bits = 0;
  if (fd_ < 0 || ioctl(fd_, TIOCMGET, &bits) != 0) return 0;
  rts = (bits & TIOCM_RTS) ? 1 : 0;
  dtr = (bits & TIOCM_DTR) ? 1 : 0;
  return 1;
}

int CSerialPort::SetBreak(int on) {
  if (fd_ < 0) return 0;
  if (ioctl(fd_, on ? TIOCSBRK : TIOCCBRK) != 0) {
    error_ = errno;
    return 0;
  }
  return 1;
}

int CSerialPort::OutQueue() const {
  int n = 0;
  if (fd_ < 0 || ioctl(fd_, TIOCOUTQ, &n) != 0) return -1;
  return n;
}

int CSerialPort::InQueue() const {
  int n = 0;
  if (fd_ < 0 || ioctl(fd_, FIONREAD, &n) != 0) return -1;
  return n;
}

int CSerialPort::Drain(DWORD timeout) {
  if (fd_ < 0) return 0;
  DWORD start = GetTickCount();
  for (;;) {
    int left = OutQueue();
    if (left <= 0) return left == 0 ? 1 : 0;
    if (Remaining(start, timeout) == 0) {
      error_ = ETIMEDOUT;
      return 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kDrainPollMs));
  }
}

int CSerialPort::Purge() {
  if (fd_ < 0) return 0;
  return ioctl(fd_, TCFLSH, TCIOFLUSH) == 0 ? 1 : 0;
}

int CSerialPort::Write(const void* data, int length, DWORD timeout) {
  if (fd_ < 0) {
    error_ = EBADF;
    return 0;
  }
  const auto* p = static_cast<const unsigned char*>(data);
  DWORD start = GetTickCount();
  int done = 0;
  while (done < length) {
    ssize_t n = write(fd_, p + done, size_t(length - done));
    if (n > 0) {
      done += int(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) {
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
    if (r > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(pfd.revents & POLLOUT)) {
      error_ = EIO;
      return 0;
    }
  }
  return Drain(Remaining(start, timeout) == 0 ? 0 : Remaining(start, timeout));
}

int CSerialPort::Read(unsigned char* buffer, int max) {
  if (fd_ < 0 || max <= 0) {
    error_ = EBADF;
    return -1;
  }
  for (;;) {
    pollfd pfd[2] = {{fd_, POLLIN, 0}, {cancel_.Fd(), POLLIN, 0}};
    int r = poll(pfd, 2, -1);
    if (r < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      return -1;
    }
    if (pfd[1].revents & POLLIN) {
      cancel_.Clear();
      return 0;
    }
    if (pfd[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) {
      ssize_t n = read(fd_, buffer, size_t(max));
      if (n > 0) return int(n);
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      error_ = n == 0 ? EIO : errno;  // end of file: the far end went away
      return -1;
    }
  }
}

void CSerialPort::CancelRead() { cancel_.Signal(); }

void CSerialPort::ResetCancel() { cancel_.Clear(); }
