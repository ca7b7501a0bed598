// A serial port on POSIX terminals: exclusive open, raw line settings at any baud rate,
// modem lines and break, queue fill levels, a blocking read that another thread can stop
// promptly, and writes that give up after a time-out. Receiver control sits on top of it.
#pragma once
#include <atomic>
#include <string>

#include "spl/platform/wake_event.h"
#include "spl/platform/win_types.h"

// Line settings as the receiver tables state them.
struct SerialLine {
  int baud = 9600;     // bits per second, any rate the driver accepts (33600 included)
  int dataBits = 8;    // 5..8
  int parity = 0;      // 0 none, 1 odd, 2 even
  int stopBits = 0;    // 0 one, 1 one and a half (sent as two), 2 two
};

class CSerialPort {
 public:
  CSerialPort();
  ~CSerialPort();  // closes
  CSerialPort(const CSerialPort&) = delete;
  CSerialPort& operator=(const CSerialPort&) = delete;

  // Opens a terminal device for reading and writing, for this process only: the terminal's
  // exclusive mode keeps other opens out and an advisory lock on the device keeps out other
  // programs that lock (the exclusive mode does not stop privileged ones). The line is put
  // into raw mode without flow control. 1, or 0 with Error() = errno (EBUSY when in use,
  // ENOTTY when the file is not a terminal). An open port is closed first.
  int Open(const char* device);
  void Close();
  int IsOpen() const { return fd_ >= 0; }
  int Error() const { return error_.load(); }
  const std::string& Device() const { return device_; }

  // Applies line settings in raw mode, without any flow control; 1 or 0.
  int SetLine(const SerialLine& line);
  int GetLine(SerialLine& line) const;
  // The same for any terminal descriptor (the far side of a pseudo-terminal reads the
  // near side's settings this way).
  static int GetLineOf(int fd, SerialLine& line);
  static int MakeRaw(int fd);

  // Modem control lines; 1, or 0 where the device has none (pseudo-terminals).
  int SetModemLines(int rts, int dtr);
  int GetModemLines(int& rts, int& dtr) const;
  // Holds (1) or releases (0) a break condition on the data line.
  int SetBreak(int on);
  // Waits until the output queue has left the driver, up to timeout ms; 1 when empty.
  int Drain(DWORD timeout);
  // Discards what waits in both queues.
  int Purge();
  // Bytes waiting in the output and input queues; -1 when not known.
  int OutQueue() const;
  int InQueue() const;

  // Writes length bytes and waits until they have left the driver. 1 when done within
  // timeout ms; 0 on an error (Error() set) or when the time ran out (Error() = ETIMEDOUT).
  int Write(const void* data, int length, DWORD timeout);
  // Waits for input: the number of bytes read (1..max), 0 when CancelRead stopped the wait,
  // -1 when the device failed or hung up (Error() set).
  int Read(unsigned char* buffer, int max);
  // Makes the current or the next Read return 0; safe from any thread.
  void CancelRead();
  // Forgets a cancel that no Read has consumed.
  void ResetCancel();

 private:
  int fd_ = -1;
  CWakeEvent cancel_;  // wakes Read
  // Read and Write run on different threads, and either may set it while another reads it.
  std::atomic<int> error_{0};
  std::string device_;
};
