// A TCP connection to a receiver's control daemon, shaped like the serial port beside it:
// open with a time-out, writes that give up after a time-out, a blocking read that another
// thread can stop promptly, a read with a time-out, close, and the system's own error text.
// Receiver control over the network sits on top of it.
#pragma once
#include <atomic>
#include <string>

#include "spl/platform/wake_event.h"
#include "spl/platform/win_types.h"

class CTcpPort {
 public:
  CTcpPort();
  ~CTcpPort();  // closes
  CTcpPort(const CTcpPort&) = delete;
  CTcpPort& operator=(const CTcpPort&) = delete;

  // Splits "host:port" (a bare host takes defaultPort, an empty host "localhost"; "[::1]:4532"
  // for IPv6 literals). 1, or 0 when the port is not a number in 1..65535.
  static int SplitAddress(const std::string& text, int defaultPort, std::string& host, int& port);

  // Connects to host (a name or a numeric address) at port 1..65535, waiting at most
  // timeout ms for the connection. 1, or 0 with Error() and ErrorText() telling why
  // (ECONNREFUSED, ETIMEDOUT ...; a host name that does not resolve gives ENXIO and the
  // resolver's own text). An open connection is closed first.
  int Open(const std::string& host, int port, DWORD timeout);
  void Close();
  int IsOpen() const { return fd_ >= 0; }
  int Error() const { return error_.load(); }
  // The system's text for the last error ("Connection refused").
  std::string ErrorText() const;
  // "host:port" of the last Open.
  const std::string& Address() const { return address_; }

  // Writes length bytes; 1 when all were handed to the system within timeout ms, 0 on an
  // error (Error() set; EPIPE when the peer has gone) or when the time ran out (ETIMEDOUT).
  int Write(const void* data, int length, DWORD timeout);
  // Waits for input: the number of bytes read (1..max), 0 when CancelRead stopped the wait,
  // -1 when the connection failed or the peer closed it (Error() set, ECONNRESET at the end).
  int Read(unsigned char* buffer, int max);
  // The same waiting at most timeout ms: 0 also when the time ran out (Error() = ETIMEDOUT).
  int ReadTimeout(unsigned char* buffer, int max, DWORD timeout);
  // Makes the current or the next Read return 0; safe from any thread.
  void CancelRead();
  // Forgets a cancel that no Read has consumed.
  void ResetCancel();

 private:
  int WaitRead(unsigned char* buffer, int max, int pollMs);

  int fd_ = -1;
  CWakeEvent cancel_;  // wakes Read
  std::atomic<int> error_{0};
  std::string resolver_error_;  // the resolver's text when a name did not resolve
  std::string address_;
};
