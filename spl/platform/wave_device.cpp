#include "spl/platform/wave_device.h"

// Every concrete device has called StopIo in its own destructor; this is the last guard.
CWaveDevice::~CWaveDevice() { StopIo(); }

void CWaveDevice::StopIo() {
  if (!io_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
    cancel_ = true;
  }
  wake_.notify_all();
  io_.join();
}

void CWaveDevice::SetError(const std::string& e) {
  std::lock_guard<std::mutex> lock(error_mutex_);
  error_ = e;
}

int CWaveDevice::Open(WaveDirection direction, const WavePcmFormat& format, CThread* completion) {
  if (open_) {
    SetError("device already open");
    return 0;
  }
  if (format.bits != 16 || format.channels < 1 || format.channels > 2 || format.rate <= 0 ||
      format.frames_per_buffer <= 0) {
    SetError("unsupported format");
    return 0;
  }
  direction_ = direction;
  format_ = format;
  completion_ = completion;
  if (!OpenBackend(direction, format)) return 0;
  open_ = true;
  closing_ = false;
  cancel_ = false;
  running_ = false;
  io_ = std::thread([this] { IoLoop(); });
  return 1;
}

int CWaveDevice::Prepare(WAVEHDR* hdr) {
  if (!hdr || !hdr->lpData || hdr->dwBufferLength == 0) return 0;
  hdr->dwFlags = WHDR_PREPARED;
  return 1;
}

int CWaveDevice::Unprepare(WAVEHDR* hdr) {
  if (!hdr || (hdr->dwFlags & WHDR_INQUEUE)) return 0;
  hdr->dwFlags &= ~WHDR_PREPARED;
  return 1;
}

int CWaveDevice::AddBuffer(WAVEHDR* hdr) {
  if (!open_ || !hdr || !(hdr->dwFlags & WHDR_PREPARED)) return 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    hdr->dwFlags = (hdr->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    if (direction_ == kWaveCapture) hdr->dwBytesRecorded = 0;
    queue_.push_back(hdr);
  }
  wake_.notify_all();
  return 1;
}

int CWaveDevice::Start() {
  if (!open_) return 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_) StartBackend();
    running_ = true;
    cancel_ = false;
  }
  wake_.notify_all();
  return 1;
}

int CWaveDevice::Started() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return running_ ? 1 : 0;
}

int CWaveDevice::Stop() {
  if (!open_) return 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = false;
    cancel_ = true;  // a transfer under way gives up; its buffer stays at the queue's head
  }
  wake_.notify_all();
  return 1;
}

void CWaveDevice::Complete(WAVEHDR* hdr) {
  hdr->dwFlags = (hdr->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
  if (completion_) {
    completion_->PostThreadMessage(direction_ == kWaveCapture ? MM_WIM_DATA : MM_WOM_DONE, 0,
                                   LPARAM(hdr));
  }
}

int CWaveDevice::Reset() {
  if (!open_) return 0;
  std::unique_lock<std::mutex> lock(mutex_);
  running_ = false;
  cancel_ = true;
  // A transfer under way holds the head buffer; wait until the I/O thread is idle.
  wake_.notify_all();
  wake_.wait(lock, [this] { return !transfer_busy_; });
  StopBackend();
  while (!queue_.empty()) {
    WAVEHDR* hdr = queue_.front();
    queue_.pop_front();
    Complete(hdr);
  }
  return 1;
}

int CWaveDevice::Close() {
  if (!open_) return 0;
  Reset();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  wake_.notify_all();
  io_.join();
  CloseBackend();
  open_ = false;
  if (completion_)
    completion_->PostThreadMessage(direction_ == kWaveCapture ? MM_WIM_CLOSE : MM_WOM_CLOSE, 0, 0);
  return 1;
}

void CWaveDevice::IoLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return closing_ || (running_ && !queue_.empty() && !at_end_); });
    if (closing_) return;
    WAVEHDR* hdr = queue_.front();
    transfer_busy_ = true;
    lock.unlock();
    int rc = Transfer(hdr);
    lock.lock();
    transfer_busy_ = false;
    if (rc == 1) {
      queue_.pop_front();
      Complete(hdr);
    } else if (rc < 0) {
      running_ = false;  // the device failed or vanished: stop until restarted
    }
    wake_.notify_all();
  }
}
