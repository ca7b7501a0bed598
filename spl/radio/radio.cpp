#include "spl/radio/radio.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "spl/platform/com_ports.h"
#include "spl/platform/message_loop.h"

namespace {

constexpr int kLevelMax = 255;
constexpr int kQueueEmptyChecks = 10;     // SetBaud waits for the queues this many times
constexpr DWORD kQueueEmptyPauseMs = 100;
constexpr DWORD kAfterQueuesEmptyMs = 20;
constexpr DWORD kCloseSettleMs = 100;     // after the last bytes, before the port closes
constexpr int kReadChunk = 64;
// Keep-alive timers take their identifiers from a range of their own, so that they do
// not replace other timers of the same loop.
constexpr unsigned kTimerIdBase = 0x52410000u;

// Timer identifier → object, so that a timer that fires after its object changed type or
// went away finds nothing and does nothing.
std::mutex g_timer_mutex;
std::map<unsigned, CRadio*> g_timers;
std::atomic<unsigned> g_next_timer{kTimerIdBase};

const RadioOps kNoOps{};

}  // namespace

CRadio::CRadio() : ops_(&kNoOps) {}

CRadio::~CRadio() { Exit(); }

void CRadio::Exit() {
  StopKeepAlive();
  ExitSerial();
}

void CRadio::SetReceiver(int type) {
  ops_ = &kNoOps;
  row_ = FindReceiverType(type);
  type_ = type;
  if (row_) {
    line_ = row_->line;
    ops_ = &row_->ops;
    CapabilityMask = row_->mask;
    if (row_->civAddress) civ_radio_ = row_->civAddress;
  } else {
    line_ = kUnknownTypeLine;
    CapabilityMask = 0;
  }
  StopKeepAlive();
  if (ops_.load()->keepAlive) StartKeepAlive();
}

void CRadio::SetCivAddresses(int radio, int controller) {
  civ_radio_ = radio;
  civ_controller_ = controller;
}

void CRadio::StartKeepAlive() {
  CMessageLoop* loop = CMessageLoop::Current();
  if (!loop) return;  // no loop on this thread: the owner calls Radio_KeepAlive itself
  unsigned id = g_next_timer.fetch_add(1);
  {
    std::lock_guard<std::mutex> lock(g_timer_mutex);
    g_timers[id] = this;
  }
  loop->SetTimer(id, keep_alive_ms_, [id] { KeepAliveTimerProc(id); });
  timer_id_ = id;
  timer_loop_ = loop;
}

void CRadio::StopKeepAlive() {
  if (!timer_id_) return;
  {
    std::lock_guard<std::mutex> lock(g_timer_mutex);
    g_timers.erase(timer_id_);
  }
  // A loop's timers belong to its thread; from another thread the entry is left to
  // remove itself the next time it fires and finds no object.
  if (CMessageLoop::Current() == timer_loop_) timer_loop_->KillTimer(timer_id_);
  timer_id_ = 0;
  timer_loop_ = nullptr;
}

void CRadio::KeepAliveTimerProc(unsigned id) {
  std::unique_lock<std::mutex> lock(g_timer_mutex);
  auto it = g_timers.find(id);
  if (it == g_timers.end()) {
    lock.unlock();
    if (CMessageLoop* loop = CMessageLoop::Current()) loop->KillTimer(id);
    return;
  }
  // The lock stays held so that the object cannot go away while the procedure runs.
  CRadio* radio = it->second;
  const RadioOps* ops = radio->ops_;
  if (ops->keepAlive) ops->keepAlive(*radio);
}

int CRadio::Radio_KeepAlive() {
  const RadioOps* ops = ops_;
  if (!ops->keepAlive) return 0;
  ops->keepAlive(*this);
  return 1;
}

int CRadio::Init(int port, int reader) {
  reader_flag_ = reader;
  // A link of the other kind (serial for a network type, or the reverse) cannot serve.
  if ((port_.IsOpen() || net_.IsOpen()) && network_open_ != bool(IsNetwork())) ExitSerial();
  if (port_.IsOpen() || net_.IsOpen()) {
    ExitSerialIn();
    if (reader_flag_ && !InitSerialIn()) return 0;
    return 1;
  }
  if (IsNetwork()) return InitNetwork(row_->defaultAddress);
  if (port != 0) {
    port_number_ = port;
    return InitSerial();
  }
  for (int p = 1; p <= kComPortsSearched; ++p) {
    port_number_ = p;
    if (InitSerial()) return 1;
  }
  port_number_ = 0;
  return 0;
}

int CRadio::Init(const std::string& port, int reader) {
  if (IsNetwork()) {
    reader_flag_ = reader;
    if (net_.IsOpen()) return Init(0, reader);
    return InitNetwork(port.empty() ? std::string(row_->defaultAddress) : port);
  }
  int number = ComPortFromName(port);
  if (number == 0) {
    device_ = port;
    port_error_ = ENODEV;
    return 0;
  }
  return Init(number, reader);
}

int CRadio::InitSerial() {
  int number = port_number_;
  ExitSerial();
  port_number_ = number;
  device_ = ComPortDevice(number);
  if (device_.empty()) {
    port_error_ = ENODEV;
    port_number_ = 0;
    return 0;
  }
  if (!port_.Open(device_.c_str())) {
    port_error_ = port_.Error();
    port_number_ = 0;
    return 0;
  }
  port_error_ = 0;
  // Driver queue sizes are the kernel's own on POSIX terminals; nothing to set.
  if (!SetBaud(line_.baud, line_.dataBits, line_.parity, line_.stopBits)) {
    port_error_ = port_.Error();
    port_.Close();
    port_number_ = 0;
    return 0;
  }
  SerialMode(kSerialRtsOnDtrOff);
  if (reader_flag_ && !InitSerialIn()) {
    port_error_ = EAGAIN;
    port_.Close();
    port_number_ = 0;
    return 0;
  }
  return 1;
}

int CRadio::InitNetwork(const std::string& address) {
  ExitSerial();
  std::string host, default_host;
  int tcp_port = 0, default_port = 0;
  CTcpPort::SplitAddress(row_->defaultAddress, 0, default_host, default_port);
  if (!CTcpPort::SplitAddress(address, default_port, host, tcp_port)) {
    device_ = address;
    port_error_ = EINVAL;
    return 0;
  }
  if (!net_.Open(host, tcp_port, kConnectTimeoutMs)) {
    device_ = net_.Address();
    port_error_ = net_.Error();
    return 0;
  }
  device_ = net_.Address();
  network_open_ = true;
  {
    std::lock_guard<std::mutex> lock(answer_mutex_);
    answers_.clear();
    link_lost_ = false;
    refusal_.clear();
  }
  reply_count_ = 0;
  passband_hz_ = 0;
  caps_read_ = 0;
  port_error_ = 0;
  port_number_ = tcp_port;
  if (reader_flag_ && !InitSerialIn()) {
    port_error_ = EAGAIN;
    ExitSerial();
    return 0;
  }
  return 1;
}

std::string CRadio::PortErrorText() const {
  if (network_open_ || (IsNetwork() && port_error_ == net_.Error())) return net_.ErrorText();
  return strerror(port_error_);
}

void CRadio::ExitSerial() {
  ExitSerialIn();
  if (network_open_) {
    net_.Close();
    network_open_ = false;
    port_number_ = 0;
    return;
  }
  if (port_.IsOpen() && port_number_ != 0) {
    port_.Drain(kWriteTimeoutMs);
    Sleep(kCloseSettleMs);
  }
  port_.Close();
  port_number_ = 0;
}

int CRadio::InitSerialIn() {
  if (network_open_) {
    net_.ResetCancel();
  } else {
    if (!port_.IsOpen()) return 0;
    port_.ResetCancel();
  }
  if (!reader_.Start([this](CThread&) { CommInProc(); })) return 0;
  if (!reader_ready_.Wait(kReaderStartTimeoutMs)) {
    ExitSerialIn();
    return 0;
  }
  return 1;
}

void CRadio::ExitSerialIn() {
  if (!reader_.Started()) return;
  if (network_open_) net_.CancelRead();
  else port_.CancelRead();
  std::this_thread::yield();
  if (!reader_.Join(kReaderStopTimeoutMs)) {
    // The read is stopped by now; what still runs is an InChar override that blocks,
    // which must not be cut off while it touches the object.
    reader_.Join(INFINITE);
  }
  if (network_open_) net_.ResetCancel();
  else port_.ResetCancel();
}

void CRadio::CommInProc() {
  SetCurrentThreadHighest();
  reader_ready_.Set();
  unsigned char buffer[kReadChunk];
  while (reader_flag_) {
    int n = network_open_ ? net_.Read(buffer, kReadChunk) : port_.Read(buffer, kReadChunk);
    if (n < 0 && network_open_) {
      // The peer closed the connection: an operation waiting for its answer stops waiting.
      std::lock_guard<std::mutex> lock(answer_mutex_);
      link_lost_ = true;
      answer_cond_.notify_all();
    }
    if (n <= 0) break;  // stopped, or the device went away
    for (int i = 0; i < n; ++i) InChar(static_cast<signed char>(buffer[i]));
  }
}

void CRadio::PushAnswer(const std::string& line) {
  std::lock_guard<std::mutex> lock(answer_mutex_);
  answers_.push_back(line);
  answer_cond_.notify_all();
}

void CRadio::ClearAnswers() {
  std::lock_guard<std::mutex> lock(answer_mutex_);
  answers_.clear();
  refusal_.clear();
}

int CRadio::WaitAnswer(std::string& line, DWORD timeout) {
  if (reader_.Started()) {
    std::unique_lock<std::mutex> lock(answer_mutex_);
    answer_cond_.wait_for(lock, std::chrono::milliseconds(timeout),
                          [this] { return !answers_.empty() || link_lost_; });
    if (answers_.empty()) return 0;
    line = answers_.front();
    answers_.pop_front();
    return 1;
  }
  // No reader thread: the answer is read here, through the same reply parser.
  DWORD start = GetTickCount();
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(answer_mutex_);
      if (!answers_.empty()) {
        line = answers_.front();
        answers_.pop_front();
        return 1;
      }
      if (link_lost_ || !network_open_) return 0;
    }
    DWORD spent = GetTickCount() - start;
    if (spent >= timeout) return 0;
    unsigned char buffer[kReadChunk];
    int n = net_.ReadTimeout(buffer, kReadChunk, timeout - spent);
    if (n < 0) {
      std::lock_guard<std::mutex> lock(answer_mutex_);
      link_lost_ = true;
      return 0;
    }
    for (int i = 0; i < n; ++i) InChar(static_cast<signed char>(buffer[i]));
  }
}

void CRadio::SetRefusal(const std::string& text) {
  std::lock_guard<std::mutex> lock(answer_mutex_);
  refusal_ = text;
}

std::string CRadio::RefusalText() const {
  std::lock_guard<std::mutex> lock(answer_mutex_);
  return refusal_;
}

int CRadio::TxCom(const char* data, int length) {
  return TxCom(reinterpret_cast<const unsigned char*>(data), length);
}

int CRadio::TxCom(const unsigned char* data, int length) {
  if (network_open_) {
    if (port_number_ == 0 || length <= 0) return 1;
    if (!net_.Write(data, length, kWriteTimeoutMs)) {
      port_error_ = net_.Error();
      port_number_ = 0;
      return 0;
    }
    return 1;
  }
  if (port_number_ == 0 || !port_.IsOpen()) return 1;
  if (length <= 0) return 1;
  if (!port_.Write(data, length, kWriteTimeoutMs)) {
    port_error_ = port_.Error();
    port_number_ = 0;
    return 0;
  }
  return 1;
}

int CRadio::SetBaud(int baud, int dataBits, int parity, int stopBits) {
  if (!port_.IsOpen() || port_number_ == 0) return 0;
  for (int i = 0; i < kQueueEmptyChecks; ++i) {
    if (port_.OutQueue() <= 0 && port_.InQueue() <= 0) break;
    Sleep(kQueueEmptyPauseMs);
  }
  Sleep(kAfterQueuesEmptyMs);
  SerialLine line{baud, dataBits, parity, stopBits};
  if (!port_.SetLine(line)) return 0;
  // DTR held on, RTS not driven: the flow-control state the receivers are wired for.
  port_.SetModemLines(0, 1);
  return 1;
}

void CRadio::SerialMode(int mode) {
  switch (mode) {
    case kSerialRtsOnDtrOff: port_.SetModemLines(1, 0); break;
    case kSerialRtsOffDtrOn: port_.SetModemLines(0, 1); break;
    case kSerialRtsOffDtrOff: port_.SetModemLines(0, 0); break;
    case kSerialRtsOnDtrOn: port_.SetModemLines(1, 1); break;
    default: break;
  }
}

int CRadio::MakeBCDRevers(int value, int digits, unsigned char* out) {
  int n = (digits + 1) / 2 * 2;
  unsigned v = value < 0 ? 0u : unsigned(value);
  for (int i = 0; i < n / 2; ++i) {
    unsigned low = v % 10;
    v /= 10;
    unsigned high = v % 10;
    v /= 10;
    out[i] = static_cast<unsigned char>((high << 4) | low);
  }
  return n / 2;
}

int CRadio::MakeBCD(int value, int digits, unsigned char* out) {
  if (digits <= 0) return 0;
  int bytes = (digits + 1) / 2;
  unsigned v = value < 0 ? 0u : unsigned(value);
  // Fill from the last byte: its low nibble is the least significant digit.
  for (int i = bytes - 1; i >= 0; --i) {
    unsigned low = v % 10;
    v /= 10;
    unsigned high = v % 10;
    v /= 10;
    out[i] = static_cast<unsigned char>((high << 4) | low);
  }
  if (digits % 2) out[0] &= 0x0F;
  return bytes;
}

void CRadio::Pause(DWORD ms) { Sleep(ms); }

int CRadio::Radio_OnOff(int on) {
  const RadioOps* ops = ops_;
  return ops->onOff ? ops->onOff(*this, on) : 0;
}

int CRadio::Radio_SetFrq(double kHz) {
  const RadioOps* ops = ops_;
  if (!ops->setFrq || !row_) return 0;
  if (!std::isfinite(kHz) || kHz < row_->minKHz || kHz > row_->maxKHz) return 0;
  return ops->setFrq(*this, kHz);
}

int CRadio::Radio_SetMode(int mode) {
  const RadioOps* ops = ops_;
  return ops->setMode ? ops->setMode(*this, mode) : 0;
}

int CRadio::Radio_SetZFWidth(int kHz) {
  const RadioOps* ops = ops_;
  return ops->setZFWidth ? ops->setZFWidth(*this, kHz) : 0;
}

int CRadio::Radio_SetAtt(int on) {
  const RadioOps* ops = ops_;
  return ops->setAtt ? ops->setAtt(*this, on) : 0;
}

int CRadio::Radio_SetAGC(int on) {
  const RadioOps* ops = ops_;
  return ops->setAGC ? ops->setAGC(*this, on) : 0;
}

int CRadio::Radio_SetNB(int on) {
  const RadioOps* ops = ops_;
  return ops->setNB ? ops->setNB(*this, on) : 0;
}

int CRadio::Radio_SetVolume(int level) {
  const RadioOps* ops = ops_;
  if (!ops->setVolume || level < 0 || level > kLevelMax) return 0;
  return ops->setVolume(*this, level);
}

int CRadio::Radio_SetSquelch(int level) {
  const RadioOps* ops = ops_;
  if (!ops->setSquelch || level < 0 || level > kLevelMax) return 0;
  return ops->setSquelch(*this, level);
}

int CRadio::Radio_SetPTT(int on) {
  const RadioOps* ops = ops_;
  return ops->setPTT ? ops->setPTT(*this, on) : 0;
}

int CRadio::Radio_GetSMeter() {
  const RadioOps* ops = ops_;
  return ops->getSMeter ? ops->getSMeter(*this) : 0;
}

void CRadio::InChar(int c) {
  const RadioOps* ops = ops_;
  if (ops->parse) ops->parse(*this, c);
}
