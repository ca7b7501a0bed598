#include "app/core/sim_band.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "spl/audio/audio_block.h"
#include "spl/decoders/cw_transmitter.h"
#include "spl/decoders/fax_transmitter.h"
#include "spl/decoders/psk31_transmitter.h"
#include "spl/decoders/rtty_config.h"
#include "spl/decoders/rtty_transmitter.h"
#include "spl/decoders/sstv_chart.h"
#include "spl/decoders/sstv_transmitter.h"
#include "spl/radio/receiver_table.h"

#ifndef KESTREL_DATA_DIR
#define KESTREL_DATA_DIR "data"
#endif

namespace {

constexpr int kCheckRate = 11025;     // the rate a list is checked at
constexpr int kMinRate = 8000, kMaxRate = 96000;
constexpr int kRenderBlock = 256;     // transmitters render this many samples at a time
constexpr double kNoiseRmsIn3kHz = 300.0;  // band noise, 16-bit units, in a 3 kHz bandwidth
constexpr double kNoiseBandwidthHz = 3000.0;
constexpr double kTailSeconds = 1.0;  // idle after the text, so the last character completes
constexpr int kIdleElements = 16;     // a SITOR-B line refills about one character when idle
constexpr double kPskLeadSeconds = 1.0;  // reversals before the text, for the receiver to lock
constexpr double kKeyMarginHz = 50.0;    // beyond the keying sidebands, for the channel filter
// The low-pass that makes a station's rendering one-sided: its length spans a transition of
// twice the station's lowest tone (the distance to that tone's mirror image).
constexpr double kBlackmanWidth = 5.5;  // transition width x taps / rate of a Blackman window
constexpr int kMinTaps = 15, kMaxTaps = 511;
// S-meter: a station moves the meter while it lies within an SSB passband of the dial.
constexpr double kCarrierHalfWidthKHz = 3.0;
constexpr int kCarrierFloorLevel = 40;
constexpr double kCarrierLevelPerDb = 5.0;

// Weather fax: start tone, phasing and stop tone (shorter phasing than a broadcast keeps one
// transmission to a couple of minutes), its tones, and the test chart.
constexpr double kFaxStartSeconds = 5.0, kFaxPhasingSeconds = 10.0, kFaxStopSeconds = 5.0;
constexpr double kFaxLowHz = 250.0, kFaxHighHz = 2350.0, kFaxCentreHz = 1900.0;
constexpr int kFaxChartWidth = 800;
constexpr int kFaxChunkLines = 8;  // rendered at a time
constexpr int kFaxGrid = 50, kFaxRule = 2, kFaxBorder = 4;
constexpr double kFaxAmplitude = 16000.0;
constexpr double kSstvLowHz = 1050.0, kSstvHighHz = 2350.0, kSstvCentreHz = 1700.0;

// What one station sends, at its own tones (native audio), one transmission after another.
class CSender {
 public:
  virtual ~CSender() = default;
  // A new transmission from its beginning; 0 when the transmitter refuses.
  virtual int Start() = 0;
  // Up to n samples of the transmission; fewer once it has ended.
  virtual int Render(float* out, int n) = 0;
  double low = 0, high = 0, centre = 0;  // native tone span and the tone at the station's kHz
  double amplitude = 32767.0;            // of a steady native tone
};

// Transmitters that queue characters and render block by block.
class CQueueSender : public CSender {
 public:
  ~CQueueSender() override { FreeAudioBlock(block_); }
  int Setup(int rate, const std::string& text, const char* newline, double leadSeconds,
            double tailSeconds, int idle) {
    if (!NewAudioBlock(&block_, kRenderBlock)) return 0;
    text_ = text, newline_ = newline, idle_ = idle;
    lead_ = int64_t(leadSeconds * rate), tail_ = int64_t(tailSeconds * rate);
    return 1;
  }
  int Start() override {
    if (!Reset()) return 0;
    pos_ = block_->count, lead_left_ = lead_, tail_left_ = tail_, queued_ = false;
    return lead_ > 0 || QueueText();
  }
  int Render(float* out, int n) override {
    int k = 0;
    while (k < n) {
      if (pos_ == block_->count && !Refill()) break;
      const int m = std::min(n - k, block_->count - pos_);
      std::copy(block_->data + pos_, block_->data + pos_ + m, out + k);
      pos_ += m, k += m;
    }
    return k;
  }

 protected:
  virtual int Reset() = 0;
  virtual int Queue(int ch) = 0;
  virtual void Create(AudioBlock* b) = 0;
  virtual int Pending() const = 0;

 private:
  int QueueText() {
    queued_ = true;
    for (char c : text_) {
      if (c != '\n') {
        if (!Queue(static_cast<unsigned char>(c))) return 0;
        continue;
      }
      for (const char* p = newline_; *p; ++p)
        if (!Queue(*p)) return 0;
    }
    return 1;
  }
  bool Refill() {
    if (tail_left_ <= 0) return false;
    const bool idle = queued_ && Pending() <= idle_;
    Create(block_);
    pos_ = 0;
    if (idle) tail_left_ -= block_->count;
    if (!queued_ && (lead_left_ -= block_->count) <= 0) QueueText();
    return true;
  }

  AudioBlock* block_ = nullptr;
  std::string text_;
  const char* newline_ = "";
  int idle_ = 0;
  int64_t lead_ = 0, tail_ = 0, lead_left_ = 0, tail_left_ = 0;
  int pos_ = 0;
  bool queued_ = false;
};

class CRttySender : public CQueueSender {
 public:
  int Init(const SimStation& s, int rate, int mode) {
    rate_ = rate, mode_ = mode, baud_ = mode == kRttySitorB ? kSitorBaud : s.baud;
    mark_ = s.mark, space_ = s.space, stop_ = s.stopBits;
    const double margin = baud_ + kKeyMarginHz;
    low = std::min(mark_, space_) - margin, high = std::max(mark_, space_) + margin;
    centre = (mark_ + space_) / 2.0;
    // SITOR-B's RX copies follow some characters behind the DX ones.
    const double lag = mode == kRttySitorB ? 6.0 * 7.0 / baud_ : 0.0;
    return Setup(rate, s.text, "\r\n", 0.0, kTailSeconds + lag, kIdleElements) && Start();
  }

 protected:
  int Reset() override {
    tx_.SetMode(mode_);
    tx_.SetBaud(float(baud_));
    tx_.SetStopBits(float(stop_));
    tx_.SetFreq(mark_, space_);
    return tx_.Init(rate_, kRenderBlock);
  }
  int Queue(int ch) override { return tx_.Transmit(ch); }
  void Create(AudioBlock* b) override { tx_.CreateAudio(b); }
  int Pending() const override { return tx_.GetBitCount(); }

 private:
  CRttyTransmitter tx_;
  int rate_ = 0, mode_ = 0, mark_ = 0, space_ = 0;
  double baud_ = 0, stop_ = 0;
};

class CCwSender : public CQueueSender {
 public:
  int Init(const SimStation& s, int rate) {
    rate_ = rate, tone_ = s.tone, wpm_ = s.wpm;
    low = tone_ - 2 * kKeyMarginHz, high = tone_ + 2 * kKeyMarginHz, centre = tone_;
    return Setup(rate, s.text, " ", 0.0, kTailSeconds, 0) && Start();
  }

 protected:
  int Reset() override { return tx_.Init(rate_, kRenderBlock) && tx_.SetMode(tone_, wpm_); }
  int Queue(int ch) override { return tx_.Transmit(ch); }
  void Create(AudioBlock* b) override { tx_.CreateAudio(b); }
  int Pending() const override { return tx_.GetBitCount(); }

 private:
  CCwTransmitter tx_;
  int rate_ = 0, tone_ = 0, wpm_ = 0;
};

// The BPSK31 transmitter keys through a process-wide state; this sender keeps its own copy
// and swaps it in around each use, so that it never disturbs another transmitter.
class CPskSender : public CQueueSender {
 public:
  int Init(const SimStation& s, int rate) {
    rate_ = rate, tone_ = s.tone;
    low = tone_ - kKeyMarginHz, high = tone_ + kKeyMarginHz, centre = tone_;
    return Setup(rate, s.text, "\n", kPskLeadSeconds, kTailSeconds, 0) && Start();
  }

 protected:
  int Reset() override { return tx_.Init(tone_, rate_, kRenderBlock); }
  int Queue(int ch) override { return tx_.Transmit(ch); }
  void Create(AudioBlock* b) override { tx_.CreateAudio(b); }
  int Pending() const override { return tx_.GetBitCount(); }

 private:
  CPSK31Transmitter tx_;
  int rate_ = 0, tone_ = 0;
};

// A test chart: white, a black border, a grid, a gray ramp across the middle rows.
std::vector<uint8_t> DrawFaxChart(int width, int height) {
  std::vector<uint8_t> p(size_t(width) * height, 255);
  const int ramp0 = height / 2 - kFaxGrid / 4, ramp1 = height / 2 + kFaxGrid / 4;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const bool edge = x < kFaxBorder || y < kFaxBorder || x >= width - kFaxBorder ||
                        y >= height - kFaxBorder;
      const bool rule = x % kFaxGrid < kFaxRule || y % kFaxGrid < kFaxRule;
      uint8_t v = edge || rule ? 0 : 255;
      if (y >= ramp0 && y < ramp1 && !edge) v = uint8_t(255 * x / (width - 1));
      p[size_t(y) * width + x] = v;
    }
  return p;
}

// The fax transmitter renders a whole picture at once; this sender hands it a few lines at a
// time (start tone and phasing with the first, stop tone with the last) to stay small.
class CFaxSender : public CSender {
 public:
  int Init(const SimStation& s, int rate) {
    rate_ = rate, ioc_ = s.ioc, lpm_ = s.lpm, lines_ = s.lines;
    low = kFaxLowHz, high = kFaxHighHz, centre = kFaxCentreHz, amplitude = kFaxAmplitude;
    chart_ = DrawFaxChart(kFaxChartWidth, lines_);
    return Start();
  }
  int Start() override {
    row_ = 0, pos_ = 0;
    buffer_.clear();
    return tx_.Init(rate_, ioc_, lpm_, 0);
  }
  int Render(float* out, int n) override {
    int k = 0;
    while (k < n) {
      if (pos_ == buffer_.size() && !Refill()) break;
      const int m = int(std::min(size_t(n - k), buffer_.size() - pos_));
      std::copy(buffer_.begin() + long(pos_), buffer_.begin() + long(pos_) + m, out + k);
      pos_ += size_t(m), k += m;
    }
    return k;
  }

 private:
  bool Refill() {
    buffer_.clear(), pos_ = 0;
    if (row_ >= lines_) return false;
    const int rows = std::min(kFaxChunkLines, lines_ - row_);
    const bool first = row_ == 0, last = row_ + rows == lines_;
    tx_.SetTimes(first ? kFaxStartSeconds : 0.0, first ? kFaxPhasingSeconds : 0.0,
                 last ? kFaxStopSeconds : 0.0);
    tx_.Transmit(chart_.data() + size_t(row_) * kFaxChartWidth, kFaxChartWidth, rows, buffer_);
    row_ += rows;
    return !buffer_.empty();
  }

  CFaxTransmitter tx_;
  std::vector<uint8_t> chart_;
  std::vector<float> buffer_;
  size_t pos_ = 0;
  int rate_ = 0, ioc_ = 0, lpm_ = 0, lines_ = 0, row_ = 0;
};

class CSstvSender : public CSender {
 public:
  int Init(const SimStation& s, int rate) {
    low = kSstvLowHz, high = kSstvHighHz, centre = kSstvCentreHz;
    amplitude = kSstvTxDefaultAmplitude;
    const int mode = CSstvTransmitter::ModeFromName(s.mode.c_str());
    std::vector<uint8_t> rgb;
    return mode >= 0 && tx_.Init(mode, rate) &&
           MakeSstvChart(kSstvTxWidth, tx_.GetLines(), rgb) &&
           tx_.SetPicture(rgb.data(), kSstvTxWidth, tx_.GetLines());
  }
  int Start() override {
    tx_.Rewind();
    return 1;
  }
  int Render(float* out, int n) override { return tx_.Generate(out, n); }

 private:
  CSstvTransmitter tx_;
};

// Each kind's checks and sender: null with why set when the settings cannot work.
using SenderMaker = std::unique_ptr<CSender> (*)(const SimStation& s, int rate, std::string& why);

template <class Sender>
std::unique_ptr<CSender> Made(std::unique_ptr<Sender> sender, int ok, const SimStation& s,
                              std::string& why) {
  if (ok) return sender;
  why = "the " + s.kind + " transmitter refuses these settings or this text";
  return nullptr;
}

std::unique_ptr<CSender> MakeRtty(const SimStation& s, int rate, std::string& why) {
  const bool sitor = s.kind == "sitor";
  if (!sitor && !(s.baud >= 10.0 && s.baud <= 300.0)) return why = "baud outside 10 ... 300", nullptr;
  if (!(s.stopBits >= 1.0 && s.stopBits <= 2.0)) return why = "stop bits outside 1 ... 2", nullptr;
  auto r = std::make_unique<CRttySender>();
  const int ok = r->Init(s, rate, sitor ? kRttySitorB : kRttyAsync);
  return Made(std::move(r), ok, s, why);
}

std::unique_ptr<CSender> MakeCw(const SimStation& s, int rate, std::string& why) {
  if (s.wpm < 5 || s.wpm > 60) return why = "wpm outside 5 ... 60", nullptr;
  auto r = std::make_unique<CCwSender>();
  const int ok = r->Init(s, rate);
  return Made(std::move(r), ok, s, why);
}

std::unique_ptr<CSender> MakePsk(const SimStation& s, int rate, std::string& why) {
  auto r = std::make_unique<CPskSender>();
  const int ok = r->Init(s, rate);
  return Made(std::move(r), ok, s, why);
}

std::unique_ptr<CSender> MakeFax(const SimStation& s, int rate, std::string& why) {
  if (s.lpm < 60 || s.lpm > 240 || s.lines < 16 || s.lines > 2000)
    return why = "lpm outside 60 ... 240 or lines outside 16 ... 2000", nullptr;
  auto r = std::make_unique<CFaxSender>();
  const int ok = r->Init(s, rate);
  return Made(std::move(r), ok, s, why);
}

std::unique_ptr<CSender> MakeSstv(const SimStation& s, int rate, std::string& why) {
  auto r = std::make_unique<CSstvSender>();
  const int ok = r->Init(s, rate);
  return Made(std::move(r), ok, s, why);
}

// The station kinds: name, whether the station's text is sent, how its sender is made.
struct KindRow {
  const char* name;
  bool text;
  SenderMaker make;
};
constexpr KindRow kKinds[] = {{"rtty", true, MakeRtty}, {"sitor", true, MakeRtty},
                              {"cw", true, MakeCw},     {"bpsk31", true, MakePsk},
                              {"fax", false, MakeFax},  {"sstv", false, MakeSstv}};

// The station's sender at this rate, or null with why set.
std::unique_ptr<CSender> MakeSender(const SimStation& s, int rate, std::string& why) {
  const KindRow* kind = nullptr;
  for (const KindRow& k : kKinds)
    if (s.kind == k.name) kind = &k;
  if (!kind) return why = "unknown kind \"" + s.kind + "\"", nullptr;
  if (!(s.kHz > 0.0)) return why = "frequency not positive", nullptr;
  if (!(s.levelDb >= -30.0 && s.levelDb <= 60.0)) return why = "level outside -30 ... 60 dB", nullptr;
  if (!(s.pauseSeconds >= 0.0 && s.pauseSeconds <= 3600.0) ||
      !(s.startSeconds >= 0.0 && s.startSeconds <= 3600.0))
    return why = "pause or start outside 0 ... 3600 s", nullptr;
  if (kind->text && s.text.empty()) return why = "no text to send", nullptr;
  std::unique_ptr<CSender> sender = kind->make(s, rate, why);
  if (sender && !(sender->low > 0.0 && sender->high < rate / 2.0))
    return why = "tones outside 0 ... " + std::to_string(rate / 2) + " Hz", nullptr;
  return sender;
}

// Parses "a\nb\\c" escapes.
bool Unescape(const std::string& in, std::string& out) {
  out.clear();
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '\\') {
      out += in[i];
      continue;
    }
    if (++i == in.size()) return false;
    if (in[i] == 'n')
      out += '\n';
    else if (in[i] == '\\')
      out += '\\';
    else
      return false;
  }
  return true;
}

bool ToNumber(const std::string& v, double& out) {
  char* end = nullptr;
  out = std::strtod(v.c_str(), &end);
  return !v.empty() && end && *end == 0 && std::isfinite(out);
}

bool ToInt(const std::string& v, int& out) {
  double d;
  if (!ToNumber(v, d) || d != std::floor(d) || std::fabs(d) > 1e6) return false;
  out = int(d);
  return true;
}

// One key=value of a station line; false when the key is unknown or the value bad.
bool SetKey(SimStation& s, const std::string& key, const std::string& value) {
  if (key == "level") return ToNumber(value, s.levelDb);
  if (key == "pause") return ToNumber(value, s.pauseSeconds);
  if (key == "start") return ToNumber(value, s.startSeconds);
  if (key == "baud") return ToNumber(value, s.baud);
  if (key == "stop") return ToNumber(value, s.stopBits);
  if (key == "mark") return ToInt(value, s.mark);
  if (key == "space") return ToInt(value, s.space);
  if (key == "tone") return ToInt(value, s.tone);
  if (key == "wpm") return ToInt(value, s.wpm);
  if (key == "ioc") return ToInt(value, s.ioc);
  if (key == "lpm") return ToInt(value, s.lpm);
  if (key == "lines") return ToInt(value, s.lines);
  if (key == "mode") return s.mode = value, !value.empty();
  if (key == "decoder") return s.decoder = value, value == "rtty" || value == "synop";
  return false;
}

// One non-comment line into s; false with why.
bool ParseLine(const std::string& line, SimStation& s, std::string& why) {
  const size_t bar = line.find('|');
  std::istringstream fields(line.substr(0, bar));
  std::string freq, token;
  if (!(fields >> freq >> s.kind)) return why = "frequency and kind expected", false;
  if (!ToNumber(freq, s.kHz)) return why = "bad frequency \"" + freq + "\"", false;
  while (fields >> token) {
    const size_t eq = token.find('=');
    if (eq == std::string::npos || !SetKey(s, token.substr(0, eq), token.substr(eq + 1)))
      return why = "bad setting \"" + token + "\"", false;
  }
  if (bar != std::string::npos) {
    std::string text = line.substr(bar + 1);
    text.erase(0, text.find_first_not_of(" \t"));
    text.erase(text.find_last_not_of(" \t\r") + 1);
    if (!Unescape(text, s.text)) return why = "bad escape in the text", false;
  }
  return true;
}

}  // namespace

std::string SimStationError(const SimStation& station, int rate) {
  std::string why;
  return MakeSender(station, rate, why) ? std::string() : why;
}

int LoadSimStations(const std::string& path, std::vector<SimStation>& out, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    if (error) *error = path + ": cannot be read";
    return 0;
  }
  std::vector<SimStation> list;
  std::string line, why;
  for (int number = 1; std::getline(in, line); ++number) {
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    SimStation s;
    s.line = number;
    if (!ParseLine(line, s, why) || !(why = SimStationError(s, kCheckRate)).empty()) {
      if (error) *error = path + ":" + std::to_string(number) + ": " + why;
      return 0;
    }
    list.push_back(std::move(s));
  }
  out = std::move(list);
  return 1;
}

std::string DefaultSimStationsPath() { return std::string(KESTREL_DATA_DIR) + "/simband.txt"; }

std::vector<SimCarrier> SimBandCarriers(const std::vector<SimStation>& stations) {
  std::vector<SimCarrier> carriers;
  for (const SimStation& s : stations) {
    const double level = kCarrierFloorLevel + kCarrierLevelPerDb * s.levelDb;
    carriers.push_back({s.kHz, int(std::clamp(level, 0.0, 255.0)), kCarrierHalfWidthKHz});
  }
  return carriers;
}

// One station on the band: its sender and schedule, and the channel filter that turns its
// native rendering into a one-sided signal that can be moved to any audio frequency.
struct CSimBand::Channel {
  std::unique_ptr<CSender> sender;
  double kHz = 0.0;
  float gain = 0.0f;  // native amplitude to the wanted level, times 2 for the one side kept
  bool sending = false;
  int64_t silence = 0;  // samples of pause left
  int64_t pause = 0;
  bool heard = false;
  std::vector<float> taps;
  std::vector<std::complex<float>> history;  // twice the taps, written twice: one straight run
  int at = 0;
  std::complex<double> down{1.0, 0.0}, down_step{1.0, 0.0}, up{1.0, 0.0};
  double mix_hz = 0.0;  // the native frequency moved to 0 Hz before the low-pass
};

CSimBand::CSimBand() = default;
CSimBand::~CSimBand() = default;

int CSimBand::Init(const std::vector<SimStation>& stations, int sampleRate, Tuning tuning,
                   unsigned seed) {
  if (sampleRate < kMinRate || sampleRate > kMaxRate) {
    error_ = "sample rate outside " + std::to_string(kMinRate) + " ... " + std::to_string(kMaxRate);
    return 0;
  }
  std::vector<std::unique_ptr<Channel>> channels;
  const double noise_in_band = kNoiseRmsIn3kHz * kNoiseRmsIn3kHz;
  for (const SimStation& s : stations) {
    auto c = std::make_unique<Channel>();
    std::string why;
    c->sender = MakeSender(s, sampleRate, why);
    if (!c->sender) {
      char where[64];
      snprintf(where, sizeof where, "%.3f kHz: ", s.kHz);
      error_ = where + why;
      return 0;
    }
    CSender& tx = *c->sender;
    c->kHz = s.kHz;
    // A steady tone of amplitude a has the power a^2 / 2.
    const double wanted = std::sqrt(2.0 * noise_in_band * std::pow(10.0, s.levelDb / 10.0));
    c->gain = float(2.0 * wanted / tx.amplitude);
    c->pause = std::max<int64_t>(1, int64_t(s.pauseSeconds * sampleRate));
    c->silence = int64_t(s.startSeconds * sampleRate);
    c->sending = c->silence == 0;
    c->mix_hz = (tx.low + tx.high) / 2.0;
    c->down_step = std::polar(1.0, -2.0 * M_PI * c->mix_hz / sampleRate);
    // Blackman-windowed sinc, cut midway between the span's edge and the lowest mirror image.
    const double half = (tx.high - tx.low) / 2.0, cut = (half + c->mix_hz + tx.low) / 2.0;
    int n = int(std::ceil(kBlackmanWidth * sampleRate / (2.0 * tx.low))) | 1;
    n = std::clamp(n, kMinTaps, kMaxTaps);
    c->taps.resize(size_t(n));
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
      const double m = i - (n - 1) / 2.0, w = 2.0 * M_PI * i / (n - 1);
      const double sinc = m == 0.0 ? 2.0 * cut / sampleRate
                                   : std::sin(2.0 * M_PI * cut / sampleRate * m) / (M_PI * m);
      const double h = sinc * (0.42 - 0.5 * std::cos(w) + 0.08 * std::cos(2.0 * w));
      c->taps[size_t(i)] = float(h);
      sum += h;
    }
    for (float& t : c->taps) t = float(t / sum);
    c->history.assign(size_t(2 * n), {0.0f, 0.0f});
    channels.push_back(std::move(c));
  }
  channels_ = std::move(channels);
  tuning_ = std::move(tuning);
  rate_ = sampleRate;
  random_.seed(seed);
  gauss_.reset();
  noise_sigma_ = float(kNoiseRmsIn3kHz * std::sqrt(sampleRate / 2.0 / kNoiseBandwidthHz));
  samples_ = 0;
  error_.clear();
  return 1;
}

void CSimBand::Generate(int16_t* out, int n) {
  if (!out || n <= 0) return;
  if (!rate_) {
    std::fill(out, out + n, int16_t(0));
    return;
  }
  double dial = 0.0;
  int mode = kModeUSB;
  if (tuning_) tuning_(dial, mode);
  const bool lsb = mode == kModeLSB;
  native_.resize(size_t(n));
  mix_.assign(size_t(n), 0.0f);
  for (auto& cp : channels_) {
    Channel& c = *cp;
    // The schedule runs whether the station is heard or not.
    for (int i = 0; i < n;) {
      if (c.sending) {
        i += c.sender->Render(native_.data() + i, n - i);
        if (i < n) c.sending = false, c.silence = c.pause;
      } else {
        const int k = int(std::min<int64_t>(c.silence, n - i));
        std::fill(native_.begin() + i, native_.begin() + i + k, 0.0f);
        i += k, c.silence -= k;
        if (c.silence == 0) c.sending = c.sender->Start() != 0, c.silence = c.sending ? 0 : c.pause;
      }
    }
    // Where the station's reference tone lands in the receiver's audio.
    const double audio = (lsb ? dial - c.kHz : c.kHz - dial) * 1000.0;
    const bool heard = audio >= kEdgeHz && audio <= rate_ / 2.0 - kEdgeHz;
    if (!heard) {
      c.heard = false;
      continue;
    }
    if (!c.heard) std::fill(c.history.begin(), c.history.end(), std::complex<float>());
    c.heard = true;
    const double centre = c.sender->centre;
    // USB: native f is heard at f - centre + audio; LSB: at centre - f + audio.
    const double up_hz = lsb ? audio + centre - c.mix_hz : c.mix_hz - centre + audio;
    const std::complex<double> up_step = std::polar(1.0, 2.0 * M_PI * up_hz / rate_);
    const int taps = int(c.taps.size());
    for (int i = 0; i < n; ++i) {
      const std::complex<float> d(std::complex<double>(native_[size_t(i)], 0.0) * c.down);
      c.history[size_t(c.at)] = c.history[size_t(c.at + taps)] = d;
      c.at = c.at + 1 == taps ? 0 : c.at + 1;
      std::complex<float> bb(0.0f, 0.0f);
      const std::complex<float>* h = c.history.data() + c.at;
      for (int k = 0; k < taps; ++k) bb += c.taps[size_t(k)] * h[k];
      if (lsb) bb = std::conj(bb);
      const std::complex<float> u(c.up);
      mix_[size_t(i)] += c.gain * (bb.real() * u.real() - bb.imag() * u.imag());
      c.down *= c.down_step;
      c.up *= up_step;
    }
    // The rotators drift from unit length by rounding; put them back once a call.
    c.down /= std::abs(c.down);
    c.up /= std::abs(c.up);
  }
  for (int i = 0; i < n; ++i) {
    const float v = mix_[size_t(i)] + noise_sigma_ * gauss_(random_);
    out[i] = int16_t(std::lrint(std::clamp(v, -32768.0f, 32767.0f)));
  }
  samples_ += n;
}

double SimStationCentreHz(const SimStation& s) {
  if (s.kind == "rtty" || s.kind == "sitor") return (s.mark + s.space) / 2.0;
  if (s.kind == "fax") return kFaxCentreHz;
  if (s.kind == "sstv") return kSstvCentreHz;
  return s.tone;
}
