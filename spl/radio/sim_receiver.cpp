#include "spl/radio/sim_receiver.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "spl/radio/receiver_table.h"

namespace {

constexpr int kReadChunk = 256;
constexpr int kLevelMax = 255;
constexpr int kPausePollMs = 10;
constexpr int kIdlePollUs = 200;  // how often WaitIdle looks again  // how often a paused receiver looks whether to go on

// One receiver code and the mode it selects, as the receiver reads it.
struct CodeMode {
  int code;
  int mode;
};

int ModeOf(const CodeMode* table, int count, int code) {
  for (int i = 0; i < count; ++i)
    if (table[i].code == code) return table[i].mode;
  return 0;
}
template <int N>
int ModeOf(const CodeMode (&table)[N], int code) {
  return ModeOf(table, N, code);
}

// Receiver-side code books, written from the command-set descriptions.
constexpr CodeMode kRx1Keys[] = {{1, kModeLSB}, {2, kModeUSB}, {3, kModeAMN}, {4, kModeAM},
                                 {5, kModeASD}, {6, kModeASF}, {7, kModeASL}, {8, kModeASU}};
constexpr CodeMode kRx3[] = {{1, kModeUSB}, {2, kModeASF}, {3, kModeCW},  {4, kModeAM},
                             {5, kModeLSB}, {6, kModeFM},  {7, kModeASL}, {8, kModeASU}};
constexpr CodeMode kRx4[] = {{'A', kModeAM}, {'L', kModeLSB}, {'U', kModeUSB},
                             {'C', kModeCW}, {'N', kModeFM},  {'W', kModeWFM}};
constexpr CodeMode kRx5[] = {
    {0, kModeFM}, {1, kModeAM}, {2, kModeLSB}, {3, kModeUSB}, {4, kModeCW}};
constexpr int kRx5Widths[] = {0, 3, 6, 15, 30, 110, 220};  // index = BW code
constexpr CodeMode kRx6[] = {
    {1, kModeAM}, {3, kModeFM}, {5, kModeCW}, {7, kModeUSB}, {8, kModeLSB}};
constexpr CodeMode kRx7[] = {{0, kModeLSB}, {1, kModeUSB}, {2, kModeCW}, {3, kModeCWN},
                             {4, kModeAM},  {5, kModeAMN}, {6, kModeFM}};
constexpr CodeMode kRx8[] = {{0, kModeRTTY}, {1, kModeCW}, {2, kModeUSB}, {3, kModeLSB},
                             {4, kModeAM},   {5, kModeFM}, {6, kModeFAX}, {9, kModeWFM}};
constexpr CodeMode kRx9[] = {{1, kModeLSB}, {2, kModeUSB}, {3, kModeCW},
                             {4, kModeFM},  {5, kModeAM},  {6, kModeRTTY}};
constexpr CodeMode kRx10[] = {{0, kModeLSB},  {1, kModeUSB}, {2, kModeAM}, {3, kModeCW},
                              {4, kModeRTTY}, {5, kModeFM},  {6, kModeWFM}};
constexpr CodeMode kRx15[] = {{1, kModeUSB}, {2, kModeLSB}, {3, kModeRTTY},
                              {4, kModeCW},  {5, kModeFM},  {6, kModeAM}};
constexpr CodeMode kRx18[] = {{0x00, kModeLSB}, {0x01, kModeUSB}, {0x02, kModeCW}, {0x04, kModeAM},
                              {0x08, kModeFM},  {0x82, kModeCWN}, {0x84, kModeAMN}};
constexpr CodeMode kRx19[] = {{16, kModeLSB}, {17, kModeUSB}, {18, kModeCW}, {19, kModeCWN},
                              {20, kModeAM},  {21, kModeAMN}, {23, kModeFM}};
constexpr CodeMode kRx20[] = {{0, kModeAM}, {1, kModeLSB}, {2, kModeUSB}, {3, kModeCW},
                              {4, kModeFM}, {8, kModeAMN}, {11, kModeCWN}};
constexpr CodeMode kRx13[] = {{'D', kModeCW}, {'4', kModeAM}, {'$', kModeUSB}};
constexpr CodeMode kRxPcr[] = {{0, kModeLSB}, {1, kModeUSB}, {2, kModeAM},
                               {3, kModeCW},  {5, kModeFM},  {6, kModeWFM}};
constexpr CodeMode kRxPcr22[] = {{2, kModeAM}, {5, kModeFM}, {6, kModeWFM}};
constexpr int kPcrWidths[] = {3, 6, 15, 50, 230};  // index = filter code
constexpr struct {
  const char* name;
  int mode;
} kRx11[] = {{"LSB", kModeLSB}, {"USB", kModeUSB}, {"CW", kModeCW}, {"AM", kModeAM}};

// Key-code keys: 5-bit code → key number (1..12) or digit ('0'..'9').
constexpr struct {
  int code;
  int key;  // 1..12, or '0'..'9'
} kKeys[] = {{4, 1},    {5, 2},    {6, 3},    {7, 4},    {8, 5},    {9, 6},    {10, 7},   {11, 8},
             {24, 9},   {16, 10},  {30, 11},  {31, 12},  {20, '0'}, {27, '1'}, {23, '2'}, {19, '3'},
             {26, '4'}, {22, '5'}, {18, '6'}, {25, '7'}, {21, '8'}, {17, '9'}};
constexpr int kIdleOne = 9, kIdleZero = 6, kIdleWord = 18, kIdleKey = 400;
constexpr int kWordsPerKey = 6;

// The PCR's fixed command lengths, by first letter.
constexpr struct {
  char letter;
  int length;
} kPcrLengths[] = {{'H', 4}, {'G', 4}, {'J', 5},  {'K', 18},
                   {'L', 7}, {'M', 7}, {'C', 14}, {'I', 3}};

std::string Fmt(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Fmt(const char* format, ...) {
  char buffer[160];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

// The whole text is decimal digits (at least one); value in out.
bool AllDigits(const std::string& s, long long& out) {
  if (s.empty()) return false;
  out = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  return true;
}

bool AllHex(const std::string& s, long long& out) {
  if (s.empty()) return false;
  out = 0;
  for (char c : s) {
    int v = (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
    if (v < 0) return false;
    out = out * 16 + v;
  }
  return true;
}

// A packed BCD byte as its two digits (high, low); false when a nibble is not a digit.
bool Bcd(unsigned char b, int& high, int& low) {
  high = b >> 4;
  low = b & 0xF;
  return high <= 9 && low <= 9;
}

// n bytes of packed BCD, most significant pair first.
bool BcdForward(const unsigned char* p, int n, long long& out) {
  out = 0;
  for (int i = 0; i < n; ++i) {
    int h, l;
    if (!Bcd(p[i], h, l)) return false;
    out = out * 100 + h * 10 + l;
  }
  return true;
}

// n bytes of packed BCD, least significant pair first.
bool BcdReverse(const unsigned char* p, int n, long long& out) {
  out = 0;
  for (int i = n - 1; i >= 0; --i) {
    int h, l;
    if (!Bcd(p[i], h, l)) return false;
    out = out * 100 + h * 10 + l;
  }
  return true;
}

std::string Hex(const std::string& bytes) {
  std::string s;
  for (unsigned char c : bytes) s += Fmt("%02X ", c);
  if (!s.empty()) s.pop_back();
  return s;
}

}  // namespace

CSimReceiver::CSimReceiver() = default;

CSimReceiver::~CSimReceiver() { Exit(); }

int CSimReceiver::Init(int type, int civRadio, int civController) {
  Exit();
  // A receiver reached over the network has no serial line to simulate.
  const ReceiverType* row = FindReceiverType(type);
  if (!row || row->defaultAddress) return 0;
  type_ = type;
  civ_radio_ = type == 14 ? 0x56 : civRadio & 0xFF;
  civ_controller_ = civController & 0xFF;
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return 0;
  char name[128];
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name)) {
    Exit();
    return 0;
  }
  path_ = name;
  slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0 || !stop_.Init() || !CSerialPort::MakeRaw(master_)) {
    Exit();
    return 0;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = SimState{};
    received_.clear();
    commands_.clear();
    faults_.clear();
  }
  pending_.clear();
  key_run_ = -1;
  key_bits_.clear();
  key_words_.clear();
  key_entry_ = 0;
  thread_ = std::thread([this] { Run(); });
  return 1;
}

void CSimReceiver::Exit() {
  if (thread_.joinable()) {
    stop_.Signal();
    thread_.join();
  }
  stop_.Release();
  for (int* fd : {&master_, &slave_}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

void CSimReceiver::Hangup() { Exit(); }

int CSimReceiver::SendRaw(const std::string& bytes) {
  if (master_ < 0) return 0;
  return write(master_, bytes.data(), bytes.size()) == ssize_t(bytes.size()) ? 1 : 0;
}

void CSimReceiver::SetSignal(int level) {
  signal_ = level < 0 ? 0 : level > kLevelMax ? kLevelMax : level;
}

void CSimReceiver::SetBand(const std::vector<SimCarrier>& carriers, int floor, int noise) {
  std::lock_guard<std::mutex> lock(band_mutex_);
  carriers_ = carriers;
  for (SimCarrier& c : carriers_) c.level = c.level < 0 ? 0 : c.level > kLevelMax ? kLevelMax : c.level;
  floor_ = floor < 0 ? 0 : floor > kLevelMax ? kLevelMax : floor;
  noise_ = noise < 0 ? 0 : noise > kLevelMax ? kLevelMax : noise;
  band_ = !carriers_.empty() || floor_ != 0 || noise_ != 0;
}

int CSimReceiver::LevelAt(double kHz) const {
  std::lock_guard<std::mutex> lock(band_mutex_);
  if (!band_) return signal_;
  int level = -1;
  for (const SimCarrier& c : carriers_)
    if (std::fabs(kHz - c.kHz) <= c.halfWidthKHz + 1e-9 && c.level > level) level = c.level;
  return level >= 0 ? level : floor_;
}

void CSimReceiver::SetListener(std::function<void(const std::string&)> listener) {
  std::lock_guard<std::mutex> lock(mutex_);
  listener_ = std::move(listener);
}

SimState CSimReceiver::State() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_;
}

std::vector<unsigned char> CSimReceiver::Received() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

std::vector<std::string> CSimReceiver::Commands() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return commands_;
}

std::vector<std::string> CSimReceiver::Faults() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return faults_;
}

void CSimReceiver::Clear() {
  resync_ = true;
  std::lock_guard<std::mutex> lock(mutex_);
  received_.clear();
  commands_.clear();
  faults_.clear();
}

int CSimReceiver::WaitReceived(size_t count, DWORD timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout),
                           [&] { return received_.size() >= count; })
             ? 1
             : 0;
}

int CSimReceiver::WaitIdle(DWORD timeout) const {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
  for (;;) {
    int waiting = 0;
    if (ioctl(master_, FIONREAD, &waiting) != 0) return 0;
    if (waiting == 0 && !busy_) return 1;
    if (std::chrono::steady_clock::now() >= until) return 0;
    std::this_thread::sleep_for(std::chrono::microseconds(kIdlePollUs));
  }
}

int CSimReceiver::WaitCommands(size_t count, DWORD timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout),
                           [&] { return commands_.size() >= count; })
             ? 1
             : 0;
}

int CSimReceiver::Line(SerialLine& line) const {
  return master_ >= 0 ? CSerialPort::GetLineOf(master_, line) : 0;
}

int CSimReceiver::CurrentBaud() const {
  SerialLine line;
  return Line(line) ? line.baud : 0;
}

void CSimReceiver::Run() {
  unsigned char buffer[kReadChunk];
  for (;;) {
    pollfd pfd[2] = {{master_, POLLIN, 0}, {stop_.Fd(), POLLIN, 0}};
    if (paused_) {
      if (poll(pfd + 1, 1, kPausePollMs) > 0) return;
      continue;
    }
    if (poll(pfd, 2, -1) < 0) continue;
    if (pfd[1].revents) return;
    if (!(pfd[0].revents & POLLIN)) continue;
    busy_ = true;  // before the read, so that WaitIdle never sees the bytes nowhere
    ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) {
      busy_ = false;
      continue;
    }
    if (resync_.exchange(false)) {
      pending_.clear();
      key_run_ = -1;
      key_bits_.clear();
      key_words_.clear();
      key_entry_ = 0;
    }
    for (ssize_t i = 0; i < n; ++i) Feed(buffer[i]);
    // Bytes count as received once they are decoded, so that a waiter sees their effect.
    {
      std::lock_guard<std::mutex> lock(mutex_);
      received_.insert(received_.end(), buffer, buffer + n);
    }
    busy_ = false;
    changed_.notify_all();
  }
}

void CSimReceiver::Commit(const SimState& s, const std::string& what) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    int baud = state_.baud;  // the line rate is the port's, not the command's
    state_ = s;
    state_.baud = baud;
  }
  Command(what);
}

void CSimReceiver::Command(const std::string& text) {
  std::function<void(const std::string&)> listener;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    state_.baud = CurrentBaud();
    commands_.push_back(text);
    listener = listener_;
  }
  changed_.notify_all();
  if (listener) listener(text);
}

void CSimReceiver::Fault(const std::string& text) {
  std::function<void(const std::string&)> listener;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.push_back(text);
    listener = listener_;
  }
  if (listener) listener("fault: " + text);
}

void CSimReceiver::Reply(const std::string& text) {
  ssize_t n = write(master_, text.data(), text.size());
  (void)n;
}

void CSimReceiver::Feed(unsigned char c) {
  if (type_ == 1 || type_ == 2) {
    ParseKeyCodes(c);
    return;
  }
  pending_ += char(c);
  Parse();
}

void CSimReceiver::Parse() {
  switch (type_) {
    case 3:
    case 4:
    case 8:
    case 15:
    case 16:
    case 17:
      ParseLines('\r');
      break;
    case 5:
    case 11:
      ParseLines('\n');
      break;
    case 9:
      ParseLines(';');
      break;
    case 6:
      ParseType6();
      break;
    case 7:
    case 18:
    case 19:
    case 20:
    case 23:
      ParseFive();
      break;
    case 13:
      ParseType13();
      break;
    case 10:
    case 14:
      ParseCiv();
      break;
    case 12:
    case 22:
      ParsePcr();
      break;
    default:
      Fault("no command set for type " + std::to_string(type_) + ": " + Hex(pending_));
      pending_.clear();
      break;
  }
}

// ---- Types 1 and 2: pulse-distance key codes. ----

void CSimReceiver::ParseKeyCodes(unsigned char c) {
  if (c == 0x00) {
    if (key_run_ == kIdleOne || key_run_ == kIdleZero) {
      key_bits_.push_back(key_run_ == kIdleOne ? 1 : 0);
    } else if (key_run_ == kIdleWord) {
      int code = 0;
      for (int b : key_bits_) code = code * 2 + b;
      key_words_.push_back({int(key_bits_.size()), code});
      key_bits_.clear();
    } else if (key_run_ >= 0) {
      Fault(Fmt("key pulse after %d idle bytes", key_run_));
      key_bits_.clear();
      key_words_.clear();
    }
    key_run_ = 0;
    return;
  }
  if (c != 0xFF) {
    Fault(Fmt("byte %02X on a key-code line", c));
    key_run_ = -1;
    key_bits_.clear();
    key_words_.clear();
    return;
  }
  if (key_run_ < 0) return;  // idle line
  ++key_run_;
  if (key_run_ == kIdleWord + kIdleKey) {
    int code = 0;
    for (int b : key_bits_) code = code * 2 + b;
    key_words_.push_back({int(key_bits_.size()), code});
    key_bits_.clear();
    KeyDone();
    key_run_ = -1;
  }
}

void CSimReceiver::KeyDone() {
  std::vector<std::pair<int, int>> words;
  words.swap(key_words_);
  if (int(words.size()) != kWordsPerKey) {
    Fault(Fmt("key sent %d times, not %d", int(words.size()), kWordsPerKey));
    return;
  }
  for (const auto& w : words) {
    if (w != words[0]) {
      Fault("key repetitions differ");
      return;
    }
  }
  KeyWord(words[0].first, words[0].second);
}

void CSimReceiver::KeyWord(int bits, int code) {
  if (key_entry_ == 2) {  // after key 12 comes the fraction as one 8-bit word
    if (bits != 8) {
      Fault(Fmt("fraction word of %d bits", bits));
      key_entry_ = 0;
      return;
    }
    key_fraction_ = code;
    key_entry_ = 3;
    return;
  }
  if (bits != 5) {
    Fault(Fmt("key word of %d bits", bits));
    return;
  }
  int key = -1;
  for (const auto& k : kKeys)
    if (k.code == code) key = k.key;
  if (key < 0) {
    Fault(Fmt("unknown key code %d", code));
    return;
  }
  if (key >= '0' && key <= '9') {
    if (key_entry_ == 1)
      key_digits_ += char(key);
    else
      Fault("digit key outside a frequency entry");
    return;
  }
  if (key == 9) {
    key_entry_ = 1;
    key_digits_.clear();
    return;
  }
  if (key == 10) {
    long long whole;
    if (key_entry_ == 1 && AllDigits(key_digits_, whole) && key_digits_.size() >= 3) {
      std::lock_guard<std::mutex> lock(mutex_);
      state_.frqKHz = double(whole);
    } else if (key_entry_ == 3 && state_.frqKHz >= 0) {
      std::lock_guard<std::mutex> lock(mutex_);
      state_.frqKHz = std::floor(state_.frqKHz) + key_fraction_ / 256.0;
    } else {
      Fault("enter key without a frequency entry");
      key_entry_ = 0;
      return;
    }
    bool fraction = key_entry_ == 3;
    key_entry_ = 0;
    Command(Fmt(fraction ? "frq %.6f" : "frq %.0f", State().frqKHz));
    return;
  }
  if (key == 12) {
    if (type_ != 1) Fault("fraction key on a receiver without fractions");
    key_entry_ = 2;
    return;
  }
  if (type_ == 1 && key >= 1 && key <= 8 && key_entry_ == 0) {
    int mode = ModeOf(kRx1Keys, key);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      state_.mode = mode;
    }
    Command("mode " + ModeName(mode));
    return;
  }
  Fault(Fmt("key %d not expected here", key));
}

// ---- ASCII command sets. ----

void CSimReceiver::ParseLines(char terminator) {
  for (;;) {
    size_t end = pending_.find(terminator);
    if (end == std::string::npos) return;
    std::string command = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    if (terminator == '\n') {
      if (command.empty() || command.back() != '\r') {
        Fault("line without carriage return: " + command);
        continue;
      }
      command.pop_back();
    }
    AsciiCommand(command);
  }
}

void CSimReceiver::AsciiCommand(const std::string& c) {
  long long n;
  auto set = [this](auto fn) {
    std::lock_guard<std::mutex> lock(mutex_);
    fn(state_);
  };
  auto mode = [&](int m) {
    if (!m) {
      Fault("unknown mode in " + c);
      return;
    }
    set([m](SimState& s) { s.mode = m; });
    Command("mode " + ModeName(m));
  };
  auto frq = [&](double kHz) {
    set([kHz](SimState& s) { s.frqKHz = kHz; });
    Command(Fmt("frq %.3f", kHz));
  };
  auto power = [&](int on) {
    set([on](SimState& s) { s.on = on; });
    Command(Fmt("on %d", on));
  };
  std::string head1 = c.substr(0, 1), head2 = c.substr(0, 2),
              rest1 = c.size() > 1 ? c.substr(1) : "", rest2 = c.size() > 2 ? c.substr(2) : "";
  switch (type_) {
    case 3:
      if (head2 == "FU" && rest2.size() == 7 && AllDigits(rest2, n)) return frq(n / 100.0);
      if (head2 == "MU" && AllDigits(rest2, n)) return mode(ModeOf(kRx3, int(n)));
      break;
    case 4:
      if (c.size() == 11 && c[4] == '.') {
        long long whole, frac;
        if (AllDigits(c.substr(0, 4), whole) && AllDigits(c.substr(5, 5), frac)) {
          int m = ModeOf(kRx4, c[10]);
          if (!m) break;
          set([m](SimState& s) { s.mode = m; });
          return frq(whole * 1000.0 + frac / 100.0);
        }
      }
      break;
    case 5:
      if (head2 == "VA" && AllDigits(rest2, n)) return frq(n / 1000.0);
      if (head2 == "MD" && AllDigits(rest2, n)) return mode(ModeOf(kRx5, int(n)));
      if (head2 == "BW" && AllDigits(rest2, n) && n >= 0 && n < 7) {
        int w = kRx5Widths[n];
        set([w, n](SimState& s) {
          s.ifw = w;
          s.filter = int(n);
        });
        return Command(Fmt("ifw %d", w));
      }
      if (head2 == "RQ" && rest2.size() == 3 && AllDigits(rest2, n) && n <= kLevelMax) {
        int level = kLevelMax - int(n);  // the receiver counts from the other end
        set([level](SimState& s) { s.sql = level; });
        return Command(Fmt("sql %d", level));
      }
      break;
    case 8:
    case 16:
    case 17: {
      bool wide = type_ == 17;
      if (head1 == (wide ? "T" : "H") && rest1.size() == 1 && AllDigits(rest1, n) && n <= 1) {
        return power(int(n));
      }
      if (wide && c == "H1") return;  // selects the receiver before F and D
      if (head1 == "F" && rest1.size() == (wide ? 10u : 8u) && AllDigits(rest1, n))
        return frq(type_ == 16 ? n / 100.0 : n / 1000.0);
      if (head1 == "D" && AllDigits(rest1, n)) {
        int m = ModeOf(kRx8, int(n));
        if (m == kModeWFM && !wide) m = 0;
        return mode(m);
      }
      if (wide && head1 == "A" && rest1.size() == 1 && AllDigits(rest1, n) && n <= 1) {
        set([n](SimState& s) { s.att = int(n); });
        return Command(Fmt("att %d", int(n)));
      }
      break;
    }
    case 9:
      if (head2 == "FA" && rest2.size() == 11 && AllDigits(rest2, n)) return frq(n / 1000.0);
      if (head2 == "MD" && AllDigits(rest2, n)) return mode(ModeOf(kRx9, int(n)));
      break;
    case 11: {
      const std::string prefix = "$PICOA,90,01,";
      if (c.compare(0, prefix.size(), prefix) != 0) break;
      std::string body = c.substr(prefix.size());
      if (body.compare(0, 4, "RXF,") == 0) {
        std::string v = body.substr(4);
        char* end = nullptr;
        double mhz = strtod(v.c_str(), &end);
        size_t dot = v.find('.');
        if (!v.empty() && *end == 0 && dot != std::string::npos && v.size() - dot - 1 == 6)
          return frq(mhz * 1000.0);
      }
      if (body.compare(0, 5, "MODE,") == 0) {
        for (const auto& m : kRx11)
          if (body.substr(5) == m.name) return mode(m.mode);
      }
      break;
    }
    case 15:
      if (head1 == "F" && rest1.size() == 7 && AllDigits(rest1, n)) return frq(n / 100.0);
      if (head1 == "M" && rest1.size() == 1 && AllDigits(rest1, n))
        return mode(ModeOf(kRx15, int(n)));
      if (c == "G-" || c == "G0") {
        int on = c == "G-";
        set([on](SimState& s) { s.att = on; });
        return Command(Fmt("att %d", on));
      }
      if (head1 == "W" && AllDigits(rest1, n)) {
        set([n](SimState& s) { s.ifw = int(n); });
        return Command(Fmt("ifw %d", int(n)));
      }
      break;
  }
  Fault("not a command: \"" + c + "\"");
}

// ---- Type 6: P1 frames with interleaved hex digits. ----

void CSimReceiver::ParseType6() {
  for (;;) {
    if (pending_.empty()) return;
    unsigned char first = pending_[0];
    if (first != 0x81 && first != 0x83) {
      Fault(Fmt("byte %02X outside a frame", first));
      pending_.erase(0, 1);
      continue;
    }
    size_t end = pending_.find(char(0x80));
    if (end == std::string::npos) return;
    std::string f = pending_.substr(0, end + 1);
    pending_.erase(0, end + 1);
    // Digits alternate between the 0x30 and the 0x60 rows.
    auto digits = [&](size_t from, size_t count, long long& value) {
      value = 0;
      for (size_t i = 0; i < count; ++i) {
        int base = i % 2 ? 0x60 : 0x30;
        int v = (unsigned char)f[from + i] - base;
        if (v < 0 || v > 15) return false;
        value = value * 16 + v;
      }
      return true;
    };
    long long v;
    if (first == 0x81 && f.size() == 13 && f.compare(1, 3, "P1J") == 0 && f[10] == '!' &&
        f[11] == ',' && digits(4, 6, v)) {
      double kHz = v / 376.6352233886719;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.frqKHz = kHz;
      }
      Command(Fmt("frq %.3f", kHz));
      continue;
    }
    if (first == 0x81 && f.size() == 8 && f.compare(1, 4, "P1M0") == 0 && f[6] == '"') {
      int m = ModeOf(kRx6, (unsigned char)f[5] - 0x60);
      if (m) {
        {
          std::lock_guard<std::mutex> lock(mutex_);
          state_.mode = m;
        }
        Command("mode " + ModeName(m));
        continue;
      }
    }
    if (first == 0x83 && f.size() == 8 && f.compare(1, 3, "P1N") == 0 && f[6] == '"' &&
        digits(4, 2, v)) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.vol = int(v);
      }
      Command(Fmt("vol %d", int(v)));
      continue;
    }
    Fault("bad frame " + Hex(f));
  }
}

// ---- Types 7, 18, 19, 20, 23: four parameter bytes and a command byte. ----

void CSimReceiver::ParseFive() {
  while (pending_.size() >= 5) {
    std::string frame = pending_.substr(0, 5);
    pending_.erase(0, 5);
    const auto* f = reinterpret_cast<const unsigned char*>(frame.data());
    unsigned char cmd = f[4];
    bool zeros3 = f[0] == 0 && f[1] == 0 && f[2] == 0;
    long long value = -1;
    int m = 0;
    int power = -1;
    switch (type_) {
      case 7:
      case 23:
        if (cmd == 0x0A && BcdReverse(f, 4, value))
          value *= 10;  // 10-Hz units → Hz
        else if (cmd == 0x0C && zeros3)
          m = ModeOf(kRx7, f[3]);
        break;
      case 18:
        if ((cmd == 0x00 || cmd == 0x80) && zeros3 && f[3] == 0)
          power = cmd == 0x00;
        else if (cmd == 0x01 && BcdForward(f, 4, value))
          value *= 10;
        else if (cmd == 0x07 && f[1] == 0 && f[2] == 0 && f[3] == 0)
          m = ModeOf(kRx18, f[0]);
        break;
      case 19:
        if ((cmd == 0x80 || cmd == 0x00) && zeros3 && f[3] == 0)
          power = cmd == 0x80;
        else if (cmd == 0x08 && BcdReverse(f, 4, value))
          value *= 10;
        else if (cmd == 0x0A && zeros3)
          m = ModeOf(kRx19, f[3]);
        break;
      case 20:
        if (cmd == 0x00 && zeros3 && (f[3] == 0x00 || f[3] == 0x80)) {
          power = f[3] == 0x00;
        } else if (cmd == 0x01) {
          int h100 = f[0] >> 4, flag = f[0] & 0xF, a, b, c, d, e, g;
          int step = flag == 1 ? 0 : flag == 2 ? 1 : flag == 4 ? 2 : flag == 8 ? 3 : -1;
          if (h100 <= 9 && step >= 0 && Bcd(f[1], a, b) && Bcd(f[2], c, d) && Bcd(f[3], e, g))
            value = e * 100000000LL + g * 10000000LL + c * 1000000LL + d * 100000LL + a * 10000LL +
                    b * 1000LL + h100 * 100LL + step * 25LL;
        } else if (cmd == 0x80 && zeros3) {
          m = ModeOf(kRx20, f[3]);
        }
        break;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (value >= 0) state_.frqKHz = value / 1000.0;
      if (m) state_.mode = m;
      if (power >= 0) state_.on = power;
    }
    if (value >= 0)
      Command(Fmt("frq %.3f", value / 1000.0));
    else if (m)
      Command("mode " + ModeName(m));
    else if (power >= 0)
      Command(Fmt("on %d", power));
    else
      Fault("bad frame " + Hex(frame));
  }
}

// ---- Type 13: C2 frames. ----

void CSimReceiver::ParseType13() {
  for (;;) {
    if (pending_.empty()) return;
    if ((unsigned char)pending_[0] != 0xC2) {
      Fault(Fmt("byte %02X outside a frame", (unsigned char)pending_[0]));
      pending_.erase(0, 1);
      continue;
    }
    if (pending_.size() < 8) return;
    std::string frame = pending_.substr(0, 8);
    pending_.erase(0, 8);
    const auto* f = reinterpret_cast<const unsigned char*>(frame.data());
    long long hz;
    int m = ModeOf(kRx13, f[1]);
    if (f[6] != 0xC2 || f[7] != 0x00 || !m || !BcdForward(f + 2, 4, hz)) {
      Fault("bad frame " + Hex(frame));
      continue;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      state_.frqKHz = hz / 1000.0;
      state_.mode = m;
    }
    Command(Fmt("frq %.3f %s", hz / 1000.0, ModeName(m).c_str()));
  }
}

// ---- Types 10 and 14: CI-V frames (and type 10's plain power frame). ----

void CSimReceiver::ParseCiv() {
  for (;;) {
    if (pending_.empty()) return;
    unsigned char first = pending_[0];
    if (type_ == 10 && first == 0x00) {  // power: 00 00 00 on/off 20
      if (pending_.size() < 5) return;
      std::string frame = pending_.substr(0, 5);
      pending_.erase(0, 5);
      const auto* f = reinterpret_cast<const unsigned char*>(frame.data());
      if (f[1] == 0 && f[2] == 0 && f[3] <= 1 && f[4] == 0x20) {
        {
          std::lock_guard<std::mutex> lock(mutex_);
          state_.on = f[3];
        }
        Command(Fmt("on %d", f[3]));
      } else {
        Fault("bad frame " + Hex(frame));
      }
      continue;
    }
    if (first != 0xFE) {
      Fault(Fmt("byte %02X outside a frame", first));
      pending_.erase(0, 1);
      continue;
    }
    size_t end = pending_.find(char(0xFD));
    if (end == std::string::npos) return;
    std::string frame = pending_.substr(0, end + 1);
    pending_.erase(0, end + 1);
    const auto* f = reinterpret_cast<const unsigned char*>(frame.data());
    int n = int(frame.size());
    if (n < 6 || f[1] != 0xFE || f[2] != civ_radio_ || f[3] != civ_controller_) {
      Fault("frame not for this receiver " + Hex(frame));
      continue;
    }
    unsigned char cmd = f[4];
    const unsigned char* data = f + 5;
    int len = n - 6;
    long long v;
    SimState s = State();
    std::string what;
    if (cmd == 0x05 && (len == 5 || (type_ == 10 && len == 4)) && BcdReverse(data, len, v)) {
      s.frqKHz = v / 1000.0;
      what = Fmt("frq %.3f", s.frqKHz);
    } else if (cmd == (type_ == 10 ? 0x01 : 0x06) && len == 1 && ModeOf(kRx10, data[0]) &&
               !(type_ == 14 && data[0] == 6)) {
      s.mode = ModeOf(kRx10, data[0]);
      what = "mode " + ModeName(s.mode);
    } else if (type_ == 14 && cmd == 0x14 && len == 3 && (data[0] == 0x01 || data[0] == 0x03) &&
               BcdForward(data + 1, 2, v) && v <= kLevelMax) {
      (data[0] == 0x01 ? s.vol : s.sql) = int(v);
      what = Fmt(data[0] == 0x01 ? "vol %d" : "sql %d", int(v));
    } else if (type_ == 14 && cmd == 0x1C && len == 2 && data[0] == 0x00 && data[1] <= 1) {
      s.ptt = data[1];
      what = Fmt("ptt %d", data[1]);
    } else {
      Fault("bad frame " + Hex(frame));
      continue;
    }
    Commit(s, what);
  }
}

// ---- Types 12 and 22: the PCR command set. ----

void CSimReceiver::ParsePcr() {
  for (;;) {
    while (!pending_.empty() && (pending_[0] == '\r' || pending_[0] == '\n')) pending_.erase(0, 1);
    if (pending_.empty()) return;
    int length = 0;
    for (const auto& l : kPcrLengths)
      if (l.letter == pending_[0]) length = l.length;
    if (!length) {
      Fault(Fmt("byte %02X where a command starts", (unsigned char)pending_[0]));
      pending_.erase(0, 1);
      continue;
    }
    if (int(pending_.size()) < length) return;
    std::string c = pending_.substr(0, length);
    pending_.erase(0, length);
    long long v;
    SimState s = State();
    std::string what;
    const CodeMode* modes = type_ == 12 ? kRxPcr : kRxPcr22;
    int modeCount = type_ == 12 ? int(std::size(kRxPcr)) : int(std::size(kRxPcr22));
    if (c == "H101" || c == "H100") {
      if (c == "H101" && s.on == 1) {
        Command("keepalive");
        continue;
      }
      s.on = c == "H101";
      what = Fmt("on %d", s.on);
    } else if (c[0] == 'K' && AllDigits(c.substr(1), v)) {
      long long hz = v / 1000000;
      int mode = int(v / 10000 % 100), filter = int(v / 100 % 100), tail = int(v % 100);
      int m = ModeOf(modes, modeCount, mode);
      if (!m || filter > 4 || tail != 0) {
        Fault("bad tuning command " + c);
        continue;
      }
      s.frqKHz = hz / 1000.0;
      s.mode = m;
      s.filter = filter;
      s.ifw = kPcrWidths[filter];
      what = Fmt("frq %.3f %s %d", s.frqKHz, ModeName(m).c_str(), s.ifw);
    } else if (c[0] == 'J' && AllHex(c.substr(3), v)) {
      std::string reg = c.substr(1, 2);
      if (reg == "40")
        s.vol = int(v), what = Fmt("vol %d", int(v));
      else if (reg == "41")
        s.sql = int(v), what = Fmt("sql %d", int(v));
      else if (reg == "47" && v <= 1)
        s.att = int(v), what = Fmt("att %d", int(v));
      else if (reg == "45" && v <= 1)
        s.agc = int(v), what = Fmt("agc %d", int(v));
      else if (reg == "46" && v <= 1)
        s.nb = int(v), what = Fmt("nb %d", int(v));
      else
        what = "set " + c;  // tone squelch, IF shift and the other start-up registers
    } else if (c == "I1?" || c == "I0?") {
      int level = LevelAt(s.frqKHz);
      int noise, floor;
      {
        std::lock_guard<std::mutex> lock(band_mutex_);
        noise = band_ ? noise_ : 0;
        floor = floor_;
      }
      if (noise > 0 && level == floor) {
        noise_state_ = noise_state_ * 1103515245u + 12345u;  // a fixed sequence per run
        level = std::min(kLevelMax, level + int((noise_state_ >> 16) % unsigned(noise + 1)));
      }
      int open = level >= (s.sql < 0 ? 0 : s.sql);
      if (c == "I1?")
        Reply(Fmt("I1%02X\r\n", level));
      else
        Reply(type_ == 12 ? (open ? "I007\r\n" : "I004\r\n") : (open ? "I003\r\n" : "I000\r\n"));
      what = c == "I1?" ? "smeter?" : "squelch?";
    } else if (c[0] == 'G' || c[0] == 'L' || c[0] == 'M' || c[0] == 'C') {
      what = "set " + c;
    } else {
      Fault("not a command: " + c);
      continue;
    }
    Commit(s, what);
  }
}
