// CWakeEvent: a descriptor that one thread makes readable to end another thread's poll(): a
// reader blocked on a serial line or a socket, or a worker waiting for device events, polls it
// beside its own descriptors and returns when it is signalled.
#pragma once

class CWakeEvent {
 public:
  CWakeEvent() = default;
  CWakeEvent(const CWakeEvent&) = delete;
  CWakeEvent& operator=(const CWakeEvent&) = delete;
  ~CWakeEvent() { Release(); }

  // 1, or 0 with errno set. Releases what an earlier Init made.
  int Init();
  void Release();
  // Makes Fd() readable until Clear; safe from any thread.
  void Signal() const;
  // Consumes the signals given so far (Fd() is not readable until the next Signal).
  void Clear() const;
  // For poll() (POLLIN); -1 before Init.
  int Fd() const { return fd_; }

 private:
  int fd_ = -1;
};
