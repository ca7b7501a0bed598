#include "spl/decoders/sstv_transmitter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "spl/image/dib_section.h"

namespace {

constexpr double kSyncHz = 1200.0;
constexpr double kBlackHz = 1500.0;
constexpr double kWhiteHz = 2300.0;
constexpr double kLeaderHz = 1900.0;  // also the colour-difference zero of Robot 72
constexpr double kVisOneHz = 1100.0, kVisZeroHz = 1300.0;
constexpr double kVisBitMs = 30.0;
constexpr int kVisDataBits = 7;
constexpr double kMsPerSecond = 1000.0;
constexpr double kMinRate = 4000.0, kMaxRate = 192000.0;
constexpr double kMaxPpm = 10000.0;
constexpr double kMaxAmplitude = 32767.0;
constexpr int kMaxSide = 32768;

// What an element of a line sends: a fixed tone, or a scan of one picture component.
enum Part { kEnd = 0, kTone, kRed, kGreen, kBlue, kLuma, kRedDiff, kBlueDiff };

struct Element {
  int part;
  double ms;      // the whole element; a scan's pixels share it evenly
  double hz;      // kTone only
  int pixels;     // scans only: values sent across the 320-pixel line
};

constexpr int kMaxElements = 12;
constexpr int kMaxPrefix = 2;

// One row per mode, from the published mode descriptions (J. L. Barber, "Proposal for SSTV
// mode specifications", Dayton 2000), milliseconds as published. Line times follow from the
// elements: Martin 1 446.446 ms, Scottie 1 428.22 ms, SC2-180 711.0225 ms, Robot 72 300 ms.
struct ModeRow {
  int mode;
  const char* name;   // the tool's name
  const char* title;  // as operators say it
  int vis;
  int lines;
  Element prefix[kMaxPrefix];  // sent once, before line 0
  Element line[kMaxElements];
};

constexpr ModeRow kModes[] = {
    {kSstvTxMartin1, "martin1", "Martin 1", 44, 256, {},
     {{kTone, 4.862, kSyncHz, 0}, {kTone, 0.572, kBlackHz, 0},
      {kGreen, 146.432, 0, kSstvTxWidth}, {kTone, 0.572, kBlackHz, 0},
      {kBlue, 146.432, 0, kSstvTxWidth}, {kTone, 0.572, kBlackHz, 0},
      {kRed, 146.432, 0, kSstvTxWidth}, {kTone, 0.572, kBlackHz, 0}}},
    // The line sync sits between blue and red; a starting sync opens the first line.
    {kSstvTxScottie1, "scottie1", "Scottie 1", 60, 256, {{kTone, 9.0, kSyncHz, 0}},
     {{kTone, 1.5, kBlackHz, 0}, {kGreen, 138.240, 0, kSstvTxWidth}, {kTone, 1.5, kBlackHz, 0},
      {kBlue, 138.240, 0, kSstvTxWidth}, {kTone, 9.0, kSyncHz, 0}, {kTone, 1.5, kBlackHz, 0},
      {kRed, 138.240, 0, kSstvTxWidth}}},
    {kSstvTxSc2_180, "sc2-180", "Wraase SC2-180", 55, 256, {},
     {{kTone, 5.5225, kSyncHz, 0}, {kTone, 0.500, kBlackHz, 0},
      {kRed, 235.0, 0, kSstvTxWidth}, {kGreen, 235.0, 0, kSstvTxWidth},
      {kBlue, 235.0, 0, kSstvTxWidth}}},
    // Colour differences at half the horizontal resolution; the separator before each tells
    // which one follows (1500 Hz: R-Y, 2300 Hz: B-Y).
    {kSstvTxRobot72, "robot72", "Robot 72", 12, 240, {},
     {{kTone, 9.0, kSyncHz, 0}, {kTone, 3.0, kBlackHz, 0}, {kLuma, 138.0, 0, kSstvTxWidth},
      {kTone, 4.5, kBlackHz, 0}, {kTone, 1.5, kLeaderHz, 0},
      {kRedDiff, 69.0, 0, kSstvTxWidth / 2}, {kTone, 4.5, kWhiteHz, 0},
      {kTone, 1.5, kLeaderHz, 0}, {kBlueDiff, 69.0, 0, kSstvTxWidth / 2}}},
};

constexpr const char* kModeNames[] = {"martin1", "scottie1", "sc2-180", "robot72", nullptr};

// The VIS header before the code bits: leader, break, leader, start bit; the stop bit follows
// the seven code bits and the even-parity bit.
struct HeadTone {
  double ms, hz;
};
constexpr HeadTone kHeadTones[] = {{300.0, kLeaderHz}, {10.0, kSyncHz}, {300.0, kLeaderHz},
                                   {kVisBitMs, kSyncHz}};
constexpr int kHeadToneCount = int(sizeof(kHeadTones) / sizeof(kHeadTones[0]));
constexpr int kHeadBitCount = kVisDataBits + 1;  // data bits, least significant first, parity
constexpr int kHeadElements = kHeadToneCount + kHeadBitCount + 1;  // + stop bit
constexpr double kStopBitHz = kSyncHz;

// Y and colour-difference weights: Y = offset + scale x (kr R + kg G + kb B); a difference is
// 128 + c_scale x (component - E_Y) / (1 - k). 601 studio gives the published Robot values,
// e.g. Y = 16 + (65.738 R + 129.057 G + 25.064 B) / 256.
struct ColorMatrix {
  double kr, kb, y_offset, y_scale, c_scale;
};
constexpr ColorMatrix kMatrices[] = {
    {0.299, 0.114, 16.0, 219.0 / 255.0, 112.0 / 255.0},  // kSstvYcc601Studio
    {0.2126, 0.0722, 0.0, 1.0, 0.5},                      // kSstvYcc709Full
};
constexpr int kMatrixCount = int(sizeof(kMatrices) / sizeof(kMatrices[0]));

const ModeRow* FindRow(int mode) {
  for (const ModeRow& r : kModes)
    if (r.mode == mode) return &r;
  return nullptr;
}

int CountElements(const Element* e, int max) {
  int n = 0;
  while (n < max && e[n].part != kEnd) ++n;
  return n;
}

double SumMs(const Element* e, int n) {
  double ms = 0.0;
  for (int i = 0; i < n; ++i) ms += e[i].ms;
  return ms;
}

double ValueHz(double v) { return kBlackHz + v * (kWhiteHz - kBlackHz) / 255.0; }

int Clamp255(double v) { return int(std::clamp(std::lround(v), 0L, 255L)); }

// Area-averaging scale of a width x height picture onto kSstvTxWidth x lines; pixel(x, y, rgb)
// reads one source pixel. Every destination pixel takes at least one source pixel.
template <typename PixelFn>
void Resample(int width, int height, int lines, std::vector<uint8_t>& out, PixelFn pixel) {
  out.assign(size_t(kSstvTxWidth) * lines * 3, 0);
  for (int y = 0; y < lines; ++y) {
    const int y0 = int((long long)y * height / lines);
    const int y1 = std::max(y0 + 1, int((long long)(y + 1) * height / lines));
    for (int x = 0; x < kSstvTxWidth; ++x) {
      const int x0 = int((long long)x * width / kSstvTxWidth);
      const int x1 = std::max(x0 + 1, int((long long)(x + 1) * width / kSstvTxWidth));
      double sum[3] = {0.0, 0.0, 0.0};
      uint8_t rgb[3];
      for (int sy = y0; sy < y1; ++sy)
        for (int sx = x0; sx < x1; ++sx) {
          pixel(sx, sy, rgb);
          for (int c = 0; c < 3; ++c) sum[c] += rgb[c];
        }
      const double n = double(x1 - x0) * double(y1 - y0);
      uint8_t* d = &out[(size_t(y) * kSstvTxWidth + x) * 3];
      for (int c = 0; c < 3; ++c) d[c] = uint8_t(Clamp255(sum[c] / n));
    }
  }
}

}  // namespace

int CSstvTransmitter::Init(int mode, int rate, double clockPpm, double amplitude) {
  const ModeRow* row = FindRow(mode);
  if (!row || !(rate >= kMinRate && rate <= kMaxRate) ||
      !(clockPpm >= -kMaxPpm && clockPpm <= kMaxPpm) ||
      !(amplitude > 0.0 && amplitude <= kMaxAmplitude))
    return 0;
  mode_ = mode, rate_ = rate, ppm_ = clockPpm, amplitude_ = amplitude;
  row_ = row;
  picture_.clear();
  stage_ = 3;
  sample_ = 0;
  return 1;
}

int CSstvTransmitter::SetColorMatrix(int matrix) {
  if (matrix < 0 || matrix >= kMatrixCount) return 0;
  matrix_ = matrix;
  return 1;
}

int CSstvTransmitter::GetLines() const {
  return row_ ? static_cast<const ModeRow*>(row_)->lines : 0;
}

int CSstvTransmitter::GetVis() const { return row_ ? static_cast<const ModeRow*>(row_)->vis : 0; }

const char* CSstvTransmitter::GetName() const {
  return row_ ? static_cast<const ModeRow*>(row_)->title : "";
}

double CSstvTransmitter::HeaderMs() {
  double ms = 0.0;
  for (const HeadTone& t : kHeadTones) ms += t.ms;
  return ms + (kHeadBitCount + 1) * kVisBitMs;
}

double CSstvTransmitter::GetPrefixMs() const {
  if (!row_) return 0.0;
  const ModeRow* r = static_cast<const ModeRow*>(row_);
  return SumMs(r->prefix, CountElements(r->prefix, kMaxPrefix));
}

double CSstvTransmitter::GetLineMs() const {
  if (!row_) return 0.0;
  const ModeRow* r = static_cast<const ModeRow*>(row_);
  return SumMs(r->line, CountElements(r->line, kMaxElements));
}

double CSstvTransmitter::GetDurationMs() const {
  return row_ ? HeaderMs() + GetPrefixMs() + GetLines() * GetLineMs() : 0.0;
}

long long CSstvTransmitter::GetTotalSamples() const {
  if (!row_) return 0;
  // Sample n is taken at sender time n x step; every one before the end belongs to the signal.
  const double step = (1.0 + ppm_ * 1e-6) / rate_;
  return (long long)std::ceil(GetDurationMs() / kMsPerSecond / step);
}

int CSstvTransmitter::ModeFromName(const char* name) {
  if (!name) return -1;
  for (const ModeRow& r : kModes)
    if (std::strcmp(r.name, name) == 0) return r.mode;
  return -1;
}

const char* CSstvTransmitter::ModeName(int mode) {
  const ModeRow* r = FindRow(mode);
  return r ? r->name : nullptr;
}

const char* const* CSstvTransmitter::ModeNames() { return kModeNames; }

int CSstvTransmitter::SetPicture(const uint8_t* rgb, int width, int height) {
  if (!row_ || !rgb || width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return 0;
  Resample(width, height, GetLines(), picture_, [&](int x, int y, uint8_t* p) {
    const uint8_t* s = rgb + (size_t(y) * width + x) * 3;
    p[0] = s[0], p[1] = s[1], p[2] = s[2];
  });
  Rewind();
  return 1;
}

int CSstvTransmitter::SetPicture(HBITMAP picture) {
  CDibSection dib;
  if (!row_ || !IsBitmapObject(picture)) return 0;
  const int width = dib.Width(picture), height = std::abs(dib.Height(picture));
  if (width < 1 || height < 1) return 0;
  Resample(width, height, GetLines(), picture_, [&](int x, int y, uint8_t* p) {
    const COLORREF c = dib.PixelColor(picture, x, y);
    p[0] = uint8_t(GetRValue(c)), p[1] = uint8_t(GetGValue(c)), p[2] = uint8_t(GetBValue(c));
  });
  Rewind();
  return 1;
}

void CSstvTransmitter::Rewind() {
  sample_ = 0;
  time_ = 0.0;
  phase_ = 0.0;
  if (picture_.empty()) {
    stage_ = 3;
    return;
  }
  stage_ = 0, line_ = 0, element_ = 0, pixel_ = 0;
  LoadSegment();
}

double CSstvTransmitter::ScanHz(int part, int line, int pixel) const {
  const ModeRow* r = static_cast<const ModeRow*>(row_);
  const Element& e = r->line[element_];
  // The source pixels this value stands for (two per colour-difference value).
  const int x0 = pixel * kSstvTxWidth / e.pixels;
  const int x1 = std::max(x0 + 1, (pixel + 1) * kSstvTxWidth / e.pixels);
  double rgb[3] = {0.0, 0.0, 0.0};
  for (int x = x0; x < x1; ++x)
    for (int c = 0; c < 3; ++c) rgb[c] += picture_[(size_t(line) * kSstvTxWidth + x) * 3 + c];
  for (double& c : rgb) c /= double(x1 - x0);
  switch (part) {
    case kRed: return ValueHz(rgb[0]);
    case kGreen: return ValueHz(rgb[1]);
    case kBlue: return ValueHz(rgb[2]);
    default: break;
  }
  // Y and colour differences are sent as whole values, like the bytes of a frame store.
  const ColorMatrix& m = kMatrices[matrix_];
  const double ey = m.kr * rgb[0] + (1.0 - m.kr - m.kb) * rgb[1] + m.kb * rgb[2];
  if (part == kLuma) return ValueHz(Clamp255(m.y_offset + m.y_scale * ey));
  if (part == kRedDiff) return ValueHz(Clamp255(128.0 + m.c_scale * (rgb[0] - ey) / (1.0 - m.kr)));
  return ValueHz(Clamp255(128.0 + m.c_scale * (rgb[2] - ey) / (1.0 - m.kb)));
}

// Times are computed from the start of their stage or line, never summed element by element
// over the picture, so rounding cannot pile up over hundreds of lines.
void CSstvTransmitter::LoadSegment() {
  const ModeRow* r = static_cast<const ModeRow*>(row_);
  const double ms = 1.0 / kMsPerSecond;
  if (stage_ == 0) {
    double start = 0.0, len = kVisBitMs, hz = kStopBitHz;
    for (int i = 0; i < element_ && i < kHeadToneCount; ++i) start += kHeadTones[i].ms;
    if (element_ < kHeadToneCount) {
      len = kHeadTones[element_].ms, hz = kHeadTones[element_].hz;
    } else {
      const int bit = element_ - kHeadToneCount;  // kVisDataBits is the parity bit
      start += bit * kVisBitMs;
      int ones = 0;
      for (int b = 0; b < kVisDataBits; ++b) ones += (r->vis >> b) & 1;
      const int value = bit < kVisDataBits ? (r->vis >> bit) & 1 : ones & 1;
      if (bit < kHeadBitCount) hz = value ? kVisOneHz : kVisZeroHz;
    }
    seg_ = {(start + len) * ms, hz};
    return;
  }
  if (stage_ == 1) {
    const double start = HeaderMs() + SumMs(r->prefix, element_);
    seg_ = {(start + r->prefix[element_].ms) * ms, r->prefix[element_].hz};
    return;
  }
  if (stage_ == 2) {
    const Element& e = r->line[element_];
    double start = HeaderMs() + GetPrefixMs() + line_ * GetLineMs() + SumMs(r->line, element_);
    if (e.part == kTone) {
      seg_ = {(start + e.ms) * ms, e.hz};
      return;
    }
    const double pixel_ms = e.ms / e.pixels;
    seg_ = {(start + (pixel_ + 1) * pixel_ms) * ms, ScanHz(e.part, line_, pixel_)};
  }
}

bool CSstvTransmitter::Seek(double t) {
  const ModeRow* r = static_cast<const ModeRow*>(row_);
  while (stage_ != 3 && seg_.end <= t) {
    // The tone up to the element's edge, then the next element from there.
    phase_ += seg_.hz * (seg_.end - time_);
    time_ = seg_.end;
    if (stage_ == 0) {
      if (++element_ == kHeadElements) {
        element_ = 0;
        stage_ = CountElements(r->prefix, kMaxPrefix) ? 1 : 2;
      }
    } else if (stage_ == 1) {
      if (++element_ == CountElements(r->prefix, kMaxPrefix)) element_ = 0, stage_ = 2;
    } else {
      const Element& e = r->line[element_];
      if (e.part != kTone && pixel_ + 1 < e.pixels) {
        ++pixel_;
      } else {
        pixel_ = 0;
        if (++element_ == CountElements(r->line, kMaxElements)) {
          element_ = 0;
          if (++line_ == r->lines) stage_ = 3;
        }
      }
    }
    if (stage_ != 3) LoadSegment();
  }
  return stage_ != 3;
}

int CSstvTransmitter::Generate(float* out, int n) {
  if (!out || n < 1 || picture_.empty()) return 0;
  const long long total = GetTotalSamples();
  const double step = (1.0 + ppm_ * 1e-6) / rate_;
  int done = 0;
  while (done < n && sample_ < total) {
    const double t = double(sample_) * step;
    if (!Seek(t)) break;
    phase_ += seg_.hz * (t - time_);
    time_ = t;
    phase_ -= std::floor(phase_);
    out[done++] = float(amplitude_ * std::sin(2.0 * M_PI * phase_));
    ++sample_;
  }
  return done;
}

int CSstvTransmitter::Transmit(std::vector<float>& out) {
  if (picture_.empty()) return 0;
  const long long left = GetTotalSamples() - sample_;
  if (left <= 0) return 1;
  const size_t at = out.size();
  out.resize(at + size_t(left));
  const int chunk = 1 << 20;
  size_t written = 0;
  while (written < size_t(left)) {
    const int want = int(std::min<size_t>(chunk, size_t(left) - written));
    const int got = Generate(out.data() + at + written, want);
    written += size_t(got);
    if (got < want) break;
  }
  out.resize(at + written);
  return 1;
}
