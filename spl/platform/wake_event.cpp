#include "spl/platform/wake_event.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

int CWakeEvent::Init() {
  Release();
  fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  return fd_ >= 0;
}

void CWakeEvent::Release() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

void CWakeEvent::Signal() const {
  if (fd_ < 0) return;
  const uint64_t one = 1;
  ssize_t n = write(fd_, &one, sizeof one);
  (void)n;  // only a counter at its maximum refuses, and it is readable then
}

void CWakeEvent::Clear() const {
  if (fd_ < 0) return;
  uint64_t value;
  ssize_t n = read(fd_, &value, sizeof value);
  (void)n;  // nothing to read (EAGAIN) is already clear
}
