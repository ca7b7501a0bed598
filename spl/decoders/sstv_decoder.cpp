#include "spl/decoders/sstv_decoder.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "spl/audio/op_amp.h"
#include "spl/decoders/decoder_windows.h"

namespace {

// The modes, from their published line timings (milliseconds from the start of the line
// period). Martin 1: sync 4.862, porch 0.572, then green, blue, red of 146.432 each, every one
// followed by a 0.572 separator. Scottie 1: separator 1.5, green 138.24, separator 1.5, blue
// 138.24, sync 9.0 and porch 1.5 in the middle of the line, red 138.24; a single 9 ms sync
// precedes the first line. SC2-180: sync 5.5225, porch 0.5, red, green, blue of 235 each.
// Robot 72: sync 9, porch 3, luminance 138, separator 4.5 and porch 1.5, R-Y 69, separator 4.5
// and porch 1.5, B-Y 69; its colours follow the BT.601 studio-range equations that Robot
// equipment uses.
const SstvMode kModes[kSstvModeCount] = {
    {kSstvMartin1, "Martin 1", 44, 256, 960, 10.762332f, 446.446, 4.862, 0.0, 0.0, kSstvRgb,
     kSstvMatrix601Studio,
     {{1, 5.434, 146.432, kSstvWidth},
      {2, 152.438, 146.432, kSstvWidth},
      {0, 299.442, 146.432, kSstvWidth}}},
    {kSstvScottie1, "Scottie 1", 60, 256, 960, 20.13986f, 428.22, 9.0, 279.48, 9.0, kSstvRgb,
     kSstvMatrix601Studio,
     {{1, 1.5, 138.24, kSstvWidth},
      {2, 141.24, 138.24, kSstvWidth},
      {0, 289.98, 138.24, kSstvWidth}}},
    {kSstvSc2180, "SC2-180", 55, 256, 960, 6.7605634f, 711.0225, 5.5225, 0.0, 0.0, kSstvRgb,
     kSstvMatrix601Studio,
     {{0, 6.0225, 235.0, kSstvWidth},
      {1, 241.0225, 235.0, kSstvWidth},
      {2, 476.0225, 235.0, kSstvWidth}}},
    {kSstvRobot72, "Robot 72", 12, 240, 666, 25.6f, 300.0, 9.0, 0.0, 0.0, kSstvYuv,
     kSstvMatrix601Studio,
     {{0, 12.0, 138.0, kSstvWidth},
      {1, 156.0, 69.0, kSstvWidth / 2},
      {2, 231.0, 69.0, kSstvWidth / 2}}},
};

// Inverses of Y = y_offset + y_scale (kr R + kg G + kb B) and of a colour difference
// 128 + c_scale (component - E_Y) / (1 - k): y_gain = 1 / y_scale, v_gain = (1 - kr) / c_scale,
// u_gain = (1 - kb) / c_scale, g_gain = 1 / kg. 601 studio: y_scale 219/255, c_scale 112/255
// (R = 1.164 (Y - 16) + 1.596 (V - 128) ...); 709 full: y_scale 1, c_scale 1/2.
const SstvColourMatrix kMatrices[kSstvMatrixCount] = {
    {"601", 16.0f, 255.0f / 219.0f, 0.299f, 0.114f, (1.0f - 0.299f) * 255.0f / 112.0f,
     (1.0f - 0.114f) * 255.0f / 112.0f, 1.0f / 0.587f},
    {"709", 0.0f, 1.0f, 0.2126f, 0.0722f, 1.5748f, 1.8556f, 1.3982103f},
};

constexpr double kBlackHz = 1500.0, kWhiteHz = 2300.0;  // brightness linear in between
constexpr int kSyncLowHz = 1100, kSyncHighHz = 1300;    // exclusive: the 1200 Hz sync band
constexpr double kSyncHz = 1200.0;
constexpr double kLeaderHz = 1900.0;  // the middle of the picture band
// The picture band of noisy signals: black and white keep most of their level at its soft edges.
constexpr float kPictureLowHz = 1450.0f, kPictureHighHz = 2350.0f;
constexpr float kSnrLowHz = 700.0f, kSnrHighHz = 2800.0f;  // the SNR measure's filter
constexpr int kSnrChunk = 64;              // samples a chunk of the SNR moments
constexpr double kHeaderFromMs = 850.0;    // the header measured: from this long before its end
constexpr double kHeaderToMs = 10.0;       // ... to this long before it (bit edges aside)
constexpr double kSnrBandwidthHz = 3000.0;
constexpr int kChunk = 128;            // normalisation chunk of the demodulator
constexpr float kSilenceFloor = 1.0f;  // one step of 16-bit audio
constexpr int kMaxLevel = 255;
constexpr int kFineSteps = 4;           // fine store positions a raw position
constexpr double kDetailLevels = 32.0;  // a clean pixel this far from its neighbours' median stays
constexpr int kRawExtraLines = 3;      // the raw store holds lines + 3 line periods
constexpr int kSearchLines = 3;        // line periods skipped before the first sync registration
constexpr int kHistogramLines = 12;    // searched this long, the syncs added up decide
constexpr int kHoldOffPercent = 95;    // next registration no sooner than 95 % of a line later
constexpr int kSyncAgreePercent = 2;   // registrations within 2 % of a line agree
constexpr int kMinSyncAgree = 3;       // of the last four registrations
constexpr double kStartLeadMs = 20.0;  // a picture's store starts this long before the VIS end
constexpr float kMixAmplitude = 0.2f;  // sync tone amplitude as a share of the peak average
constexpr int kPeakBlocks = 21;
// VIS and vertical-sync detectors.
constexpr double kCellMs = 3.0;        // one history entry
constexpr int kGroup = 10;             // entries of one 30 ms bit
constexpr int kVisGroups = 11;         // leader, start, 7 code bits, parity, stop
constexpr int kDetectorMaxHz = 3000;   // a crossing frequency counts at most this much
struct HzRange {
  int lo, hi;  // inclusive
  bool Has(int f) const { return f >= lo && f <= hi; }
};
constexpr HzRange kLeader{1850, 1950}, kStartStop{1150, 1250}, kBitOne{1050, 1150},
    kBitZero{1250, 1350};
constexpr int kVisCodeMask = 127;
constexpr double kMaxLastCross = 1.0e6;  // samples: bounds the time kept since the last crossing
// Automatic slant.
constexpr int kSlantFirstLines = 8;      // lines before the first fit
constexpr int kSlantEveryLines = 4;      // fitted again after this many more
constexpr int kSlantMinSyncs = 6;        // syncs found, at the least, for a fit
constexpr int kSyncFillPercent = 60;     // of a sync's positions in the sync band: found
constexpr double kMaxClockError = 0.02;  // a fitted line period further off is refused
constexpr int kTrimRounds = 2;           // least-squares rounds that drop wild syncs
constexpr double kTrimMads = 3.0;        // ... further than this many median deviations
constexpr double kTrimFloor = 2.0;       // ... and at least this many positions

double ClampedAsin(double v) { return std::asin(v < -1.0 ? -1.0 : v > 1.0 ? 1.0 : v); }

// Instantaneous frequency of a half period, without overflow for tiny or negative halves.
int FrequencyOf(double half, int rate) {
  if (half <= 0.5) return rate;
  return int(double(rate) / (2.0 * half));
}

uint8_t Clamp8(double v) { return uint8_t(v < 0.0 ? 0.0 : v > 255.0 ? 255.0 : v); }

// The zero-crossing detector of the start searches (the decoder's members, by reference).
struct DetectorState {
  double& prev;    // the last sample
  double& last_t;  // the last crossing, in samples from the start of the block
  int& sum;        // the crossing frequencies of the cell so far
  int& count;
  int& phase;      // samples into the cell
  int cell;        // samples a cell
  int rate;
};

// Runs the detector over the block x; at the end of every cell, cell(mean, i) gets the cell's
// mean crossing frequency and the sample i it ended on and returns where a picture starts,
// which ends the run, or -1.
template <class Cell>
int RunDetector(DetectorState& d, const float* x, int n, Cell cell) {
  for (int i = 0; i < n; ++i) {
    const double c = x[i], p = d.prev;
    if ((p > 0.0) != (c > 0.0)) {
      const double t = i - (1.0 + p / (c - p));
      d.sum += std::min(FrequencyOf(t - d.last_t, d.rate), kDetectorMaxHz);
      ++d.count;
      d.last_t = t;
    }
    d.prev = c;
    if (++d.phase < d.cell) continue;
    d.phase = 0;
    const int mean = d.sum / std::max(d.count, 1);
    d.sum = d.count = 0;
    const int start = cell(mean, i);
    if (start >= 0) {
      d.last_t -= n;
      return start;
    }
  }
  d.last_t -= n;
  if (d.last_t < -kMaxLastCross) d.last_t = -kMaxLastCross;
  return -1;
}

}  // namespace

const SstvMode* SstvModeByNumber(int mode) {
  for (const SstvMode& m : kModes)
    if (m.mode == mode) return &m;
  return nullptr;
}

const SstvMode* SstvModeByVis(int vis) {
  for (const SstvMode& m : kModes)
    if (m.vis == vis) return &m;
  return nullptr;
}

const SstvColourMatrix* SstvColourMatrixAt(int matrix) {
  return matrix >= 0 && matrix < kSstvMatrixCount ? &kMatrices[matrix] : nullptr;
}

int CSstvDecoder::SetColourMatrix(int matrix) {
  if (matrix != kSstvMatrixOfMode && !SstvColourMatrixAt(matrix)) return 0;
  matrix_ = matrix;
  return 1;
}

const SstvMode* SstvModeAt(int index) {
  return index >= 0 && index < kSstvModeCount ? &kModes[index] : nullptr;
}

CSstvDecoder::CSstvDecoder() : geometry_(&kModes[0]) {
  positions_ = geometry_->image_positions + int(geometry_->sync_positions + 0.5f);
  sync_int_ = int(geometry_->sync_positions + 0.5f);
  timing_ = NominalTiming(kSstvMartin1);
}

CSstvDecoder::~CSstvDecoder() { Release(); }

void CSstvDecoder::ReleaseMode() {
  std::free(raw_);
  raw_ = nullptr;
  raw_size_ = 0;
  std::free(fine_);
  fine_ = nullptr;
  std::free(fine_sync_);
  fine_sync_ = nullptr;
  fine_size_ = fine_pos_ = 0;
  std::free(level_table_);
  level_table_ = nullptr;
  std::free(sync_hist_);
  sync_hist_ = nullptr;
  std::free(sync_raw_);
  sync_raw_ = nullptr;
  FreeAudioBlock(position_block_);
  position_block_ = nullptr;
  if (line_bitmap_) DeleteObject(line_bitmap_);
  if (picture_) DeleteObject(picture_);
  line_bitmap_ = picture_ = nullptr;
}

void CSstvDecoder::Release() {
  ready_ = false;
  ReleaseMode();
  for (AudioBlock** b : {&band_, &output_, &tone_, &picture_band_}) {
    FreeAudioBlock(*b);
    *b = nullptr;
  }
}

int CSstvDecoder::Init(int sampleRate, int blockSize) {
  if (decoding_) {
    sample_rate_ = sampleRate, block_size_ = blockSize;
    reinit_pending_ = true;
    return 1;
  }
  Release();
  sample_rate_ = sampleRate, block_size_ = blockSize;
  if (sampleRate < 6000 || sampleRate > 192000 || blockSize < 16 || blockSize > 65536 ||
      taps_ < 2 || taps_ > 4096 || low_ < 1 || low_ >= high_ || high_ >= sampleRate / 2)
    return 0;
  det_cell_ = int(kCellMs / (1000.0 / sampleRate));
  if (!vis_tones_.Init(sampleRate)) return 0;
  if (!band_pass_.Init(sampleRate, blockSize, taps_) ||
      !band_pass_.CreateBP(float(low_), float(high_), unsigned(window_)))
    return 0;
  if (!NewAudioBlock(&band_, blockSize) || !NewAudioBlock(&output_, blockSize)) return 0;
  if (!picture_pass_.Init(sampleRate, blockSize, taps_) ||
      !picture_pass_.CreateBP(kPictureLowHz, kPictureHighHz, kFilterWindowHamming) ||
      !NewAudioBlock(&picture_band_, blockSize))
    return 0;
  if (!snr_pass_.Init(sampleRate, blockSize, taps_) ||
      !snr_pass_.CreateBP(kSnrLowHz, kSnrHighHz, kFilterWindowHamming))
    return 0;
  // White noise of variance v leaves the filter with v x sum(h^2), a tone with the power gain
  // g^2 of the filter at its frequency; in 3 kHz the noise has v x 3000 / (rate / 2).
  double h2 = 0.0;
  std::complex<double> g = 0.0;
  const float* h = snr_pass_.GetCoeff();
  for (int k = 0; k <= snr_pass_.GetTaps(); ++k) {
    h2 += double(h[k]) * h[k];
    g += double(h[k]) * std::polar(1.0, -2.0 * M_PI * kLeaderHz * k / sampleRate);
  }
  noise_share_ = h2 > 0.0 ? std::norm(g) * kSnrBandwidthHz / (sampleRate / 2.0) / h2 : 1.0;
  const size_t chunks = size_t(std::ceil(kHeaderFromMs / 1000.0 * sampleRate / kSnrChunk)) + 4;
  chunk_m2_.assign(chunks, 0.0);
  chunk_m4_.assign(chunks, 0.0);
  samples_ = block_start_ = chunks_ = 0;
  acc_m2_ = acc_m4_ = 0.0;
  snr_db_ = kSstvSnrUnknown;
  narrow_ = false;
  if (mix_sync_ && (!NewAudioBlock(&tone_, blockSize) || !tone_gen_.Init(sampleRate, blockSize)))
    return 0;
  COpAmp op;
  op.Set(band_, 0.0f);
  op.Set(output_, 0.0f);
  op.Set(picture_band_, 0.0f);
  ready_ = true;
  if (!SetMode(mode_, timing_table_[mode_])) {
    ready_ = false;
    return 0;
  }
  return 1;
}

int CSstvDecoder::SetFilter(int low, int high, int taps, int window) {
  low_ = low, high_ = high, taps_ = taps, window_ = window;
  return Init(sample_rate_, block_size_);
}

int CSstvDecoder::MixSync(int on) {
  mix_sync_ = on != 0;
  return Init(sample_rate_, block_size_);
}

double CSstvDecoder::NominalTiming(int mode) const {
  const SstvMode* m = SstvModeByNumber(mode);
  if (!m) return 0.0;
  const int p = m->image_positions + int(m->sync_positions + 0.5f);
  // The published line period sets the pace: P positions per line.
  return double(p) / (m->line_ms / 1000.0 * sample_rate_);
}

int CSstvDecoder::SetMode(int mode, double timing) {
  if (mode < 0 || mode >= kSstvModeSlots) return 0;
  if (!(timing == 0.0 || (timing > 0.0 && timing < 1.0))) return 0;
  ReleaseMode();
  if (const SstvMode* row = SstvModeByNumber(mode)) geometry_ = row;
  mode_ = mode;
  positions_ = geometry_->image_positions + int(geometry_->sync_positions + 0.5f);
  sync_int_ = int(geometry_->sync_positions + 0.5f);
  timing_ = timing != 0.0 ? timing : NominalTiming(geometry_->mode);
  timing_table_[mode] = timing_;
  double scans_end = 0.0;
  for (const SstvScan& sc : geometry_->scans) scans_end = std::max(scans_end, sc.start_ms + sc.length_ms);
  line_end_ = std::min(positions_, int(std::ceil(scans_end * positions_ / geometry_->line_ms)) + 1);
  // A store of another size: whatever was being written starts over.
  write_pos_ = line_count_ = block_pos_ = 0;
  owed_ = 0;
  raw_size_ = (geometry_->lines + kRawExtraLines) * positions_;
  raw_ = static_cast<uint8_t*>(std::calloc(size_t(raw_size_), 1));
  fine_size_ = raw_size_ * kFineSteps;
  fine_ = static_cast<uint8_t*>(std::calloc(size_t(fine_size_), 1));
  fine_sync_ = static_cast<uint8_t*>(std::calloc(size_t(fine_size_), 1));
  fine_pos_ = fine_owed_ = 0;
  fine_clock_ = 0.0;
  level_table_ = static_cast<uint8_t*>(std::malloc(kMaxLevel + 1));
  sync_hist_ = static_cast<uint16_t*>(std::calloc(size_t(positions_), sizeof(uint16_t)));
  sync_raw_ = static_cast<uint8_t*>(std::calloc(size_t(raw_size_), 1));
  fitted_ = false;
  if (!raw_ || !fine_ || !fine_sync_ || !level_table_ || !sync_hist_ || !sync_raw_) {
    raw_size_ = fine_size_ = 0;
    return 0;
  }
  for (int v = 0; v <= kMaxLevel; ++v) level_table_[v] = uint8_t(kMaxLevel - v);
  line_bitmap_ = Create(kSstvWidth, 1, 24, 0);
  picture_ = Create(kSstvWidth, geometry_->lines, 24, 0);
  if (!line_bitmap_ || !picture_ || !NewAudioBlock(&position_block_, positions_)) return 0;
  COpAmp().Set(position_block_, 0.0f);
  ReportState();
  return 1;
}

double CSstvDecoder::GetTiming(int mode) const {
  return mode >= 0 && mode < kSstvModeSlots ? timing_table_[mode] : 0.0;
}

void CSstvDecoder::SetTiming(int mode, double t) {
  if (mode < 0 || mode >= kSstvModeSlots || !(t >= 0.0 && t < 1.0)) return;
  if (mode == mode_) {
    timing_ = t != 0.0 ? t : NominalTiming(geometry_->mode);
    timing_table_[mode] = timing_;
  } else {
    timing_table_[mode] = t;
  }
}

unsigned long CSstvDecoder::GetState() const {
  return (receiving_ ? kSstvReceiving : 0) | (searching_ ? kSstvSearching : 0);
}

void CSstvDecoder::ReportState() { StateChange(GetState()); }

void CSstvDecoder::InitReceive(int from_sample, double first_line_pos) {
  narrow_ = false;  // a VIS start sets it from the header's SNR
  line_offset_ = 0;
  offset_fraction_ = 0.0;
  registrations_ = 0;
  searching_ = true;
  receiving_ = true;
  hold_off_ = -kSearchLines * positions_;
  write_pos_ = line_count_ = block_pos_ = 0;
  owed_ = 0;
  clock_ = 0.0;
  fine_pos_ = fine_owed_ = 0;
  fine_clock_ = 0.0;
  sync_run_ = 0;
  receive_from_ = from_sample;
  first_line_pos_ = first_line_pos;
  history_fill_ = 0;
  if (raw_) std::memset(raw_, 0, size_t(raw_size_));
  if (fine_) std::memset(fine_, 0, size_t(fine_size_));
  if (fine_sync_) std::memset(fine_sync_, 0, size_t(fine_size_));
  if (sync_raw_) std::memset(sync_raw_, 0, size_t(raw_size_));
  fitted_ = false;
  if (sync_hist_) std::memset(sync_hist_, 0, sizeof(uint16_t) * size_t(positions_));
  ReportState();
}

void CSstvDecoder::StopReceiving() {
  vis_tones_.Reset();  // what it heard is the picture's, not a VIS
  receiving_ = false;
  searching_ = false;
  sync_seen_ = 0;
  line_count_ = 0;
  write_pos_ = fine_pos_ = 0;
  history_fill_ = 0;
}

void CSstvDecoder::Run(int on) {
  write_pos_ = line_count_ = block_pos_ = fine_pos_ = 0;
  if (on == 0) {
    receiving_ = false;
    searching_ = false;
    sync_seen_ = 0;
    return;
  }
  InitReceive(0, -1.0);
}

void CSstvDecoder::AutoSync() {
  if (!receiving_) return;
  searching_ = true;
  line_offset_ = 0;
  offset_fraction_ = 0.0;
  registrations_ = 0;
  sync_run_ = 0;
  fitted_ = false;
  if (sync_hist_) std::memset(sync_hist_, 0, sizeof(uint16_t) * size_t(positions_));
  ReportState();
}

void CSstvDecoder::SetSync(int delta) {
  long long off = (long long)line_offset_ + delta;
  if (off < 0) off = 0;
  if (off > positions_ - 1) off = positions_ - 1;
  fit_origin_ += double(off - line_offset_);
  line_offset_ = int(off);
  if (line_offset_ == positions_ - 1) offset_fraction_ = 0.0;
  ShowSSTV(-1);
}

CWindowList* CSstvDecoder::ListOf(int kind) {
  switch (kind) {
    case kSstvInputChannel: return &input_windows_;
    case kSstvPositionChannel: return &position_windows_;
    case kSstvOutputChannel: return &output_windows_;
    default: return nullptr;
  }
}

int CSstvDecoder::Connect(HWND window, int kind) {
  CWindowList* l = ListOf(kind);
  return l ? ConnectDecoderWindow(*l, window) : 0;
}

int CSstvDecoder::DisConnect(HWND window, int kind) {
  CWindowList* l = ListOf(kind);
  return l ? DisConnectDecoderWindow(*l, window) : 0;
}

void CSstvDecoder::MeasureSnr(const float* x, int n) {
  block_start_ = samples_;
  const size_t ring = chunk_m2_.size();
  for (int i = 0; i < n; ++i) {
    const double v2 = double(x[i]) * x[i];
    acc_m2_ += v2, acc_m4_ += v2 * v2;
    if (++samples_ % kSnrChunk) continue;
    chunk_m2_[size_t(chunks_ % (long long)ring)] = acc_m2_;
    chunk_m4_[size_t(chunks_ % (long long)ring)] = acc_m4_;
    ++chunks_;
    acc_m2_ = acc_m4_ = 0.0;
  }
}

double CSstvDecoder::HeaderSnr(long long end) const {
  const long long ring = (long long)chunk_m2_.size();
  const long long lo = end - (long long)(kHeaderFromMs / 1000.0 * sample_rate_);
  const long long hi = end - (long long)(kHeaderToMs / 1000.0 * sample_rate_);
  double m2 = 0.0, m4 = 0.0;
  long long n = 0;
  for (long long k = std::max(0LL, chunks_ - ring); k < chunks_; ++k) {
    if (k * kSnrChunk < lo || (k + 1) * kSnrChunk > hi) continue;
    m2 += chunk_m2_[size_t(k % ring)], m4 += chunk_m4_[size_t(k % ring)];
    n += kSnrChunk;
  }
  if (n == 0 || m2 <= 0.0) return kSstvSnrUnknown;
  m2 /= double(n), m4 /= double(n);
  // Tone power S and noise N from m2 = S + N and m4 = 1.5 S^2 + 6 S N + 3 N^2.
  const double s = std::sqrt(std::max(0.0, 2.0 * m2 * m2 - 2.0 / 3.0 * m4));
  const double noise = (m2 - s) * noise_share_;
  if (s <= 0.0) return -kSstvSnrUnknown;
  if (noise <= s * std::pow(10.0, -kSstvSnrUnknown / 10.0)) return kSstvSnrUnknown;
  return 10.0 * std::log10(s / noise);
}

namespace {

// Scales a chunk to a peak of 1. A chunk without a positive sample keeps its sign; silence
// stays silent.
void ScaleToPeak(float* v, int n) {
  float peak = 0.0f, mag = 0.0f;
  for (int k = 0; k < n; ++k) {
    peak = std::max(peak, v[k]);
    mag = std::max(mag, std::fabs(v[k]));
  }
  const float scale = peak > 0.0f ? 1.0f / peak : mag > 0.0f ? 1.0f / mag : 0.0f;
  for (int k = 0; k < n; ++k) v[k] *= scale;
}

}  // namespace

void CSstvDecoder::TrackPictureBand(const float* y, int i) {
  const double c = y[i], p = pic_prev_;
  if ((p > 0.0) != (c > 0.0)) {
    const double ac = std::fabs(ClampedAsin(c)), ap = std::fabs(ClampedAsin(p));
    const double t = ap + ac > 0.0 ? i - ac / (ap + ac) : double(i);
    const double half = t - pic_last_cross_;
    picture_level_ = LevelOf(pic_prev_half_ > 0.0 && half > 0.0 ? 0.5 * (half + pic_prev_half_) : half);
    pic_prev_half_ = half;
    pic_last_cross_ = float(t);
  }
  pic_prev_ = float(c);
}

int CSstvDecoder::LevelOf(double half) const {
  if (half <= 0.0) return level_;
  const double f = sample_rate_ / (2.0 * half);
  const double v = std::floor((kWhiteHz - f) * kMaxLevel / (kWhiteHz - kBlackHz) + 0.5);
  return v < 0.0 ? 0 : v > kMaxLevel ? kMaxLevel : int(v);
}

void CSstvDecoder::Decode(AudioBlock* block) {
  if (!ready_ || !block || block->count < block_size_) return;
  decoding_ = true;
  band_pass_.Filter(block, band_, 1);
  PostAudioBlock(input_windows_, band_, kSstvInputChannel);
  // The SNR measure's own filter is flat over the header's tones: their envelope then stays
  // constant through it (the unwindowed band-pass ripples). Only a header is measured.
  if (!receiving_) {
    snr_pass_.Filter(block, output_, 0);
    MeasureSnr(output_->data, block_size_);
  }
  // Stretches below one step of 16-bit audio carry no tone: what the filter leaves of digital
  // silence would otherwise cross zero at random and pass for a sync or a VIS.
  float* x = band_->data;
  for (int i = 0; i < block_size_; i += kChunk) {
    const int n = std::min(kChunk, block_size_ - i);
    float mag = 0.0f;
    for (int k = i; k < i + n; ++k) mag = std::max(mag, std::fabs(x[k]));
    if (mag < kSilenceFloor) std::fill(x + i, x + i + n, 0.0f);
  }
  receive_from_ = 0;
  if (!receiving_) {
    if (avis_ && tone_vis_) RunToneVis(band_->data, block_size_);
    else if (avis_) RunVis(band_->data, block_size_);
    else RunVerticalSync(band_->data, block_size_);
  }
  // The picture band only while a noisy picture comes in (the first block's few samples of
  // stale filter history lie before the picture); silence as in the band-pass.
  const bool narrow = narrow_ && receiving_;
  float* y = picture_band_->data;
  if (narrow) {
    picture_pass_.Filter(block, picture_band_, 1);
    for (int i = 0; i < block_size_; i += kChunk) {
      const int n = std::min(kChunk, block_size_ - i);
      if (std::all_of(x + i, x + i + n, [](float v) { return v == 0.0f; }))
        std::fill(y + i, y + i + n, 0.0f);
    }
  }
  const int search_run = std::max(3, int(geometry_->sync_ms * kSyncHz / 1000.0));
  for (int i = 0; i < block_size_; ++i) {
    if (i % kChunk == 0) {
      const int n = std::min(kChunk, block_size_ - i);
      ScaleToPeak(x + i, n);
      // The picture band alike: crossing times come from the shape of a unit sine.
      if (narrow) ScaleToPeak(y + i, n);
    }
    if (narrow) TrackPictureBand(y, i);
    const double c = x[i], p = prev_;
    const bool live = receiving_ && i >= receive_from_;
    if ((p > 0.0) != (c > 0.0)) {
      const double ac = std::fabs(ClampedAsin(c)), ap = std::fabs(ClampedAsin(p));
      const double t = ap + ac > 0.0 ? i - ac / (ap + ac) : double(i);
      const double half = t - last_cross_;
      const int f = FrequencyOf(half, sample_rate_);
      SyncRun(f);
      // The level takes the whole period (this half and the one before): a crossing's timing
      // error then weighs half as much, at a resolution still finer than a position.
      const int wide = LevelOf(prev_half_ > 0.0 && half > 0.0 ? 0.5 * (half + prev_half_) : half);
      level_ = narrow ? picture_level_ : wide;
      prev_half_ = half;
      if (live && searching_) {
        // A sync counts once a run of crossings has stayed in the band, so that a lone noise
        // crossing never registers; it is placed where the run began.
        if (f > kSyncLowHz && f < kSyncHighHz) {
          if (sync_run_ == 0) sync_run_start_ = write_pos_;
          if (++sync_run_ == search_run && hold_off_ >= 0) Register(sync_run_start_);
        } else {
          sync_run_ = 0;
        }
      }
      // The fine store first: a raw position may complete a line, which is then read.
      const bool in_sync = f > kSyncLowHz && f < kSyncHighHz;
      for (; fine_owed_ > 0 && receiving_ && fine_pos_ < fine_size_; --fine_owed_) {
        fine_sync_[fine_pos_] = in_sync;
        fine_[fine_pos_++] = level_table_[level_];
      }
      fine_owed_ = 0;
      for (; owed_ > 0 && receiving_; --owed_) WritePosition(level_, f, block->tick);
      owed_ = 0;
      last_cross_ = float(t);
    }
    prev_ = float(c);
    if (live) {
      for (clock_ += timing_; clock_ >= 1.0; clock_ -= 1.0) ++owed_;
      for (fine_clock_ += timing_ * kFineSteps; fine_clock_ >= 1.0; fine_clock_ -= 1.0)
        ++fine_owed_;
    }
    output_->data[i] = float(level_);
  }
  last_cross_ -= float(block_size_);
  if (last_cross_ < -kMaxLastCross) last_cross_ = float(-kMaxLastCross);
  pic_last_cross_ -= float(block_size_);
  if (pic_last_cross_ < -kMaxLastCross) pic_last_cross_ = float(-kMaxLastCross);
  MeasureAudioBlock(output_);
  output_->tick = block->tick;
  PostAudioBlock(output_windows_, output_, kSstvOutputChannel);

  peak_sum_ += block->peak;
  if (++peak_count_ >= kPeakBlocks) {
    peak_average_ = peak_sum_ / float(peak_count_);
    peak_sum_ = 0.0f;
    peak_count_ = 0;
  }
  if (mix_sync_ && tone_ && sync_freq_ > 0 && sync_seen_ > 0) {
    tone_gen_.SetAmpl(kMixAmplitude * peak_average_);
    tone_gen_.SetFreq(float(sync_freq_));
    tone_gen_.Generate(tone_, 0, block_size_);
    COpAmp op;
    op.Add(tone_, block, 0);
    op.Mul(block, 0.5f, 1);
  }
  decoding_ = false;
  if (reinit_pending_) {
    reinit_pending_ = false;
    Init(sample_rate_, block_size_);
  }
}

void CSstvDecoder::SyncRun(int f) {
  if (f > kSyncLowHz && f < kSyncHighHz) {
    sync_sum_ += f;
    ++sync_count_;
    if (sync_count_ > sync_int_ / 3) {
      sync_freq_ = sync_sum_ / sync_count_;
      sync_seen_ = positions_ / 2;
    }
  } else {
    if (sync_seen_ > 0) --sync_seen_;
    sync_sum_ = sync_count_ = 0;
  }
}

void CSstvDecoder::WritePosition(int v, int f, uint32_t tick) {
  if (!raw_ || !position_block_ || write_pos_ < 0 || write_pos_ >= raw_size_) {
    // Nothing may go past the store; a picture that reaches its end is over.
    StopReceiving();
    return;
  }
  if (block_pos_ >= position_block_->count) block_pos_ = 0;
  position_block_->data[block_pos_++] = float(v);
  if (block_pos_ >= position_block_->count) {
    MeasureAudioBlock(position_block_);
    position_block_->tick = tick;
    PostAudioBlock(position_windows_, position_block_, kSstvPositionChannel);
    block_pos_ = 0;
  }
  if (searching_ && sync_hist_ && write_pos_ >= kSearchLines * positions_ && f > kSyncLowHz &&
      f < kSyncHighHz) {
    uint16_t& h = sync_hist_[write_pos_ % positions_];
    if (h < UINT16_MAX) ++h;
  }
  sync_raw_[write_pos_] = f > kSyncLowHz && f < kSyncHighHz;
  raw_[write_pos_++] = level_table_[v];
  if (searching_ && hold_off_ < 0) ++hold_off_;
  LineStep();
}

void CSstvDecoder::Register(int pos) {
  reg_pos_[registrations_ % kMaxRegistrations] = pos;
  ++registrations_;
  hold_off_ = -(kHoldOffPercent * positions_) / 100;
  if (registrations_ >= kMaxRegistrations) FinishAutoSync();
}

void CSstvDecoder::FinishAutoSync() {
  const int p = positions_;
  const int newest = reg_pos_[(registrations_ - 1) % kMaxRegistrations];
  // Deviations from the newest registration within -P/2 ... P/2: syncs on both sides of a
  // line's wrap average to the wrap, not to the middle of the line.
  int dev[kMaxRegistrations];
  for (int k = 0; k < kMaxRegistrations; ++k) {
    int d = (reg_pos_[k] - newest) % p;
    if (d < -p / 2) d += p;
    if (d >= p - p / 2) d -= p;
    dev[k] = d;
  }
  int sorted[kMaxRegistrations];
  std::copy(dev, dev + kMaxRegistrations, sorted);
  std::sort(sorted, sorted + kMaxRegistrations);
  const int median = sorted[kMaxRegistrations / 2 - 1];
  const int tol = std::max(3, p * kSyncAgreePercent / 100);
  int agree = 0;
  double sum = 0.0;
  for (int d : dev)
    if (std::abs(d - median) <= tol) ++agree, sum += d;
  if (agree < kMinSyncAgree) return;  // a stray registration among them: keep searching
  // Measured like the picture's levels, the sync needs no correction for their delay.
  TakeSync(RefineSync(newest + sum / agree), tol);
}

// When the line syncs are too weak to register one by one (deep noise), their places added up
// over the lines searched so far still stand out: the sync-long window holding the most of
// them, near where the VIS put it when there was one.
void CSstvDecoder::FinishFromHistogram() {
  const int p = positions_;
  if (!sync_hist_ || p < 2) return;
  const double per_ms = p / geometry_->line_ms;
  const int len = std::max(1, int(std::lround(geometry_->sync_ms * per_ms)));
  const int tol = std::max(3, p * kSyncAgreePercent / 100);
  int lo = 0, hi = p - 1;
  if (first_line_pos_ >= 0.0) {
    const int expected = int(std::floor(first_line_pos_ + geometry_->sync_at_ms * per_ms));
    lo = expected - tol, hi = expected + tol;
  }
  auto at = [&](int i) { return int(sync_hist_[((i % p) + p) % p]); };
  int best = 0, first = 0, last = 0;
  for (int s = lo; s <= hi; ++s) {
    int sum = 0;
    for (int k = 0; k < len; ++k) sum += at(s + k);
    if (sum > best) best = sum, first = last = s;
    else if (sum == best && best > 0) last = s;
  }
  if (best > 0) TakeSync(0.5 * (first + last), tol);
}

void CSstvDecoder::TakeSync(double sync_start, int tol) {
  const int p = positions_;
  const double line_start = sync_start - geometry_->sync_at_ms * p / geometry_->line_ms;
  double off;
  if (first_line_pos_ >= 0.0) {
    // Whole line periods since the expected start of line 0.
    const double n = std::floor((line_start - first_line_pos_) / p + 0.5);
    off = line_start - n * p;
  } else {
    // Started by hand or by a long sync: a line start just short of a whole period is one
    // that came a little before the store began, not a line lost.
    off = std::fmod(line_start, double(p));
    if (off < 0.0) off += p;
    if (off > p - tol) off = 0.0;
  }
  off = std::clamp(off, 0.0, double(p - 1));
  line_offset_ = int(off);
  offset_fraction_ = off - line_offset_;
  fitted_ = false;
  hold_off_ = 0;
  searching_ = false;
  ShowSSTV(-1);
  ReportState();
}

// The registrations give the sync to within a few positions; every sync-band position of the
// lines searched so far places it better: the start of the sync-long window that holds the
// most of them, near the estimate (the middle of equally good windows).
double CSstvDecoder::RefineSync(double estimate) const {
  const int p = positions_;
  if (!sync_hist_ || p < 2) return estimate;
  const int len = std::max(1, int(std::lround(geometry_->sync_ms * p / geometry_->line_ms)));
  const int tol = std::max(3, p * kSyncAgreePercent / 100);
  const int centre = int(std::floor(estimate));
  auto at = [&](int i) { return int(sync_hist_[((i % p) + p) % p]); };
  int best = -1, first = 0, last = 0;
  for (int s = centre - tol; s <= centre + tol; ++s) {
    int sum = 0;
    for (int k = 0; k < len; ++k) sum += at(s + k);
    if (sum > best) best = sum, first = last = s;
    else if (sum == best) last = s;
  }
  if (best <= 0) return estimate;
  return 0.5 * (first + last);
}

void CSstvDecoder::SetAutoSlant(int on) {
  auto_slant_ = on != 0;
  if (!auto_slant_ && fitted_) {
    fitted_ = false;
    ShowSSTV(-1);
  }
}

double CSstvDecoder::GetClockPpm() const {
  return fitted_ ? (fit_period_ / positions_ - 1.0) * 1e6 : 0.0;
}

double CSstvDecoder::LineStart(int y) const {
  return fitted_ ? fit_origin_ + y * fit_period_
                 : double(y) * positions_ + line_offset_ + offset_fraction_;
}

double CSstvDecoder::LineScale() const { return fitted_ ? fit_period_ / positions_ : 1.0; }

// Every complete line's sync is looked for near where the geometry so far puts it (the start of
// the sync-long window with the most sync-band positions), and a straight line is fitted
// through them by least squares, twice dropping syncs far off it: its slope is the line period.
void CSstvDecoder::FitSlant() {
  if (!auto_slant_ || !sync_raw_ || searching_ || line_count_ < kSlantFirstLines) return;
  const int p = positions_;
  const double per_ms = p / geometry_->line_ms;
  const int len = std::max(1, int(std::lround(geometry_->sync_ms * per_ms)));
  const int tol = std::max(3, p * kSyncAgreePercent / 100);
  const double sync_at = geometry_->sync_at_ms * per_ms;
  std::vector<double> ys, ss;
  for (int y = 0; y < line_count_; ++y) {
    const int centre = int(std::floor(LineStart(y) + sync_at * LineScale()));
    if (centre - tol < 0 || centre + tol + len > write_pos_) continue;
    int count = 0;
    for (int k = 0; k < len; ++k) count += sync_raw_[centre - tol + k];
    int best = count, first = centre - tol, last = first;
    for (int s = centre - tol + 1; s <= centre + tol; ++s) {
      count += sync_raw_[s + len - 1] - sync_raw_[s - 1];
      if (count > best) best = count, first = last = s;
      else if (count == best) last = s;
    }
    if (best * 100 < len * kSyncFillPercent) continue;
    double at = 0.5 * (first + last);
    // Placed again among the fine positions (a quarter position apart) near it: the fit is
    // then exact enough for one-pixel detail. Fine positions K k ... K k + K - 1 share the
    // times of raw position k, so a fine window's centre lies (K - 1) / 2K raw positions after
    // that of the raw window starting at the same time.
    {
      const int flen = len * kFineSteps;
      const int fc = int(std::floor(kFineSteps * at));
      const int f0 = fc - 2 * kFineSteps, f1 = fc + 2 * kFineSteps;
      if (f0 >= 0 && f1 + flen <= fine_pos_) {
        int cnt = 0;
        for (int k = 0; k < flen; ++k) cnt += fine_sync_[f0 + k];
        int fb = cnt, ff = f0, fl = f0;
        for (int s = f0 + 1; s <= f1; ++s) {
          cnt += fine_sync_[s + flen - 1] - fine_sync_[s - 1];
          if (cnt > fb) fb = cnt, ff = fl = s;
          else if (cnt == fb) fl = s;
        }
        at = (0.5 * (ff + fl) + 0.5) / kFineSteps - 0.5;
      }
    }
    ys.push_back(y);
    ss.push_back(at);
  }
  double a = 0.0, b = 0.0;
  std::vector<bool> use(ys.size(), true);
  for (int round = 0; round <= kTrimRounds; ++round) {
    double n = 0, sy = 0, ss_ = 0, syy = 0, sys = 0;
    for (size_t i = 0; i < ys.size(); ++i)
      if (use[i]) n += 1, sy += ys[i], ss_ += ss[i], syy += ys[i] * ys[i], sys += ys[i] * ss[i];
    const double det = n * syy - sy * sy;
    if (n < kSlantMinSyncs || det <= 0.0) return;
    b = (n * sys - sy * ss_) / det;
    a = (ss_ - b * sy) / n;
    if (round == kTrimRounds) break;
    std::vector<double> dev;
    for (size_t i = 0; i < ys.size(); ++i) dev.push_back(std::fabs(ss[i] - a - b * ys[i]));
    std::vector<double> sorted = dev;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double limit = std::max(kTrimFloor, kTrimMads * sorted[sorted.size() / 2]);
    for (size_t i = 0; i < ys.size(); ++i) use[i] = dev[i] <= limit;
  }
  if (std::fabs(b / p - 1.0) > kMaxClockError) return;
  fit_period_ = b;
  fit_origin_ = a - sync_at * (b / p);
  fitted_ = true;
}

void CSstvDecoder::LineStep() {
  // Once the line start is known a line is complete with its last scan; before that, when the
  // next line period has been written as well.
  const double done = searching_ ? double(line_count_ + 2) * positions_
                                 : std::ceil(LineStart(line_count_) + line_end_ * LineScale());
  if (write_pos_ < done) return;
  if (!searching_) ShowSSTV(line_count_);
  if (!receiving_) return;  // the owner stopped or restarted inside the callback
  ++line_count_;
  if (searching_ && line_count_ >= kHistogramLines) FinishFromHistogram();
  if (!searching_ && line_count_ >= kSlantFirstLines &&
      (line_count_ - kSlantFirstLines) % kSlantEveryLines == 0 && auto_slant_) {
    const bool was = fitted_;
    const double period = fit_period_;
    FitSlant();
    // A changed slant moves every line shown so far.
    if (fitted_ && (!was || std::fabs(fit_period_ - period) > 1e-3)) ShowSSTV(-1);
  }
  if (line_count_ >= geometry_->lines) {
    StopReceiving();
    ShowSSTV(-1);
    ReportState();
  }
}

void CSstvDecoder::PushHistory(int value, int length) {
  const int16_t v = int16_t(std::clamp(value, -32768, 32767));
  if (history_fill_ < length) {
    history_[history_fill_++] = v;
    return;
  }
  std::memmove(history_, history_ + 1, sizeof(int16_t) * size_t(length - 1));
  history_[length - 1] = v;
}

// Mean of the 10 entries from `first`, leaving out the highest and the lowest: one cell hit by
// a noise crossing, or shared with the neighbouring bit, cannot move a group out of its range.
// A cell without crossings (silence) makes the whole group no tone (-1).
int CSstvDecoder::GroupMean(int first) const {
  int sum = 0, lo = history_[first], hi = history_[first];
  for (int k = first; k < first + kGroup; ++k) {
    if (history_[k] <= 0) return -1;
    sum += history_[k];
    lo = std::min(lo, int(history_[k]));
    hi = std::max(hi, int(history_[k]));
  }
  return (sum - lo - hi) / (kGroup - 2);
}

// The code of a complete VIS in the history, -1 when there is none (-2: parity fails).
int CSstvDecoder::DecodeVisHistory() {
  if (history_fill_ < kVisHistory) return -1;
  if (!kLeader.Has(GroupMean(0)) || !kStartStop.Has(GroupMean(kGroup)) ||
      !kStartStop.Has(GroupMean((kVisGroups - 1) * kGroup)))
    return -1;
  int code = 0, ones = 0;
  for (int g = kVisGroups - 2; g >= 2; --g) {
    const int m = GroupMean(g * kGroup);
    int bit;
    if (kBitOne.Has(m)) bit = 1;
    else if (kBitZero.Has(m)) bit = 0;
    else return -1;
    code = (code << 1) | bit;
    ones += bit;
  }
  return ones % 2 == 0 ? code & kVisCodeMask : -2;
}

int CSstvDecoder::RunVis(const float* x, int n) {
  DetectorState d{det_prev_, det_last_t_, det_sum_, det_count_, det_phase_, det_cell_,
                  sample_rate_};
  return RunDetector(d, x, n, [&](int mean, int i) {
    PushHistory(mean, kVisHistory);
    const int code = DecodeVisHistory();
    if (code == -2) last_vis_ = 0;
    if (code < 0) return -1;
    history_fill_ = 0;
    return StartFromVis(code, i);
  });
}

void CSstvDecoder::SetToneVis(int on) {
  tone_vis_ = on != 0;
  vis_tones_.Reset();
}

int CSstvDecoder::RunToneVis(const float* x, int n) {
  int end = 0;
  const int code = vis_tones_.Feed(x, n, &end);
  return code < 0 ? -1 : StartFromVis(code, end - 1);
}

int CSstvDecoder::StartFromVis(int code, int i) {
  last_vis_ = code;
  const SstvMode* row = SstvModeByVis(code);
  if (!row || !avis_) return -1;  // an unknown mode: keep listening
  if (!SetMode(row->mode, timing_table_[row->mode])) return -1;
  // i may lie before the block (a detector that decides a little later): the store then
  // starts with the block, and the first line that much sooner.
  const int from = std::max(0, i + 1 - int(kStartLeadMs / 1000.0 * sample_rate_));
  const double first = (i + 1 - from) * timing_ + row->first_line_ms * positions_ / row->line_ms;
  InitReceive(from, first);
  snr_db_ = HeaderSnr(block_start_ + i + 1);
  narrow_ = snr_db_ < kSstvNarrowBelowDb;
  return from;
}

int CSstvDecoder::RunVerticalSync(const float* x, int n) {
  DetectorState d{det_prev_, det_last_t_, det_sum_, det_count_, det_phase_, det_cell_,
                  sample_rate_};
  return RunDetector(d, x, n, [&](int mean, int i) {
    PushHistory(mean, kVerticalHistory);
    if (history_fill_ < kVerticalHistory ||
        !kStartStop.Has(GroupMean(kVerticalHistory - kGroup)))
      return -1;
    history_fill_ = 0;
    InitReceive(i + 1, -1.0);
    return i + 1;
  });
}


// Raw position k holds the level of the first crossing after the clock owed it, as does fine
// position kFineSteps (k + 1) - 1: each fine position stands for the span around it.
double CSstvDecoder::FineMean(double from, double to) const {
  const double u0 = kFineSteps * (from + 1.0) - 0.5, u1 = kFineSteps * (to + 1.0) - 0.5;
  if (!fine_ || !(u1 > u0)) return 0.0;
  const int m0 = int(std::floor(u0)), m1 = int(std::floor(u1));
  auto at = [&](int m) { return m < 0 || m >= fine_size_ ? 0.0 : double(fine_[m]); };
  if (m0 == m1) return at(m0);
  double sum = at(m0) * (m0 + 1 - u0) + at(m1) * (u1 - m1);
  for (int m = m0 + 1; m < m1; ++m) sum += at(m);
  return sum / (u1 - u0);
}

double CSstvDecoder::ScanValue(int y, const SstvScan& scan, int pixel) const {
  const double per_ms = positions_ / geometry_->line_ms * LineScale();
  const double width = scan.length_ms / scan.pixels * per_ms;
  const double at = LineStart(y) +
                    (scan.start_ms + (pixel + 0.5) * scan.length_ms / scan.pixels) * per_ms;
  // Every pixel is the mean over its own span, wherever the slant puts it among the positions.
  auto box = [&](double c) { return FineMean(c - 0.5 * width, c + 0.5 * width); };
  const double b = box(at);
  // The median of it and its neighbours removes the wild values that noise crossings make and
  // keeps edges where they are; a clean picture keeps the pixel where it stands far from the
  // median, which is detail (a one-pixel line) that the median would erase.
  const double a = box(at - width), c = box(at + width);
  const double med = std::max(std::min(a, b), std::min(std::max(a, b), c));
  const double v = !narrow_ && std::fabs(b - med) > kDetailLevels ? b : med;
  // A sender's clock off by e makes its tones off by e as well: back to the published ones.
  const double e = LineScale() - 1.0;
  return v * (1.0 + e) + e * kBlackHz * kMaxLevel / (kWhiteHz - kBlackHz);
}

HBITMAP CSstvDecoder::GetLine(int y) {
  if (!line_bitmap_ || !raw_ || !SstvModeByNumber(mode_) || y < 0 || y >= geometry_->lines)
    return line_bitmap_;
  double value[3][kSstvWidth] = {};
  for (const SstvScan& s : geometry_->scans)
    for (int j = 0; j < s.pixels && j < kSstvWidth; ++j) value[s.channel][j] = ScanValue(y, s, j);
  uint8_t* out = line_bitmap_->pixels;
  const SstvColourMatrix& m =
      kMatrices[matrix_ == kSstvMatrixOfMode ? geometry_->matrix : matrix_];
  for (int i = 0; i < kSstvWidth; ++i) {
    uint8_t r, g, b;
    if (geometry_->colour == kSstvRgb) {
      r = Clamp8(value[0][i]), g = Clamp8(value[1][i]), b = Clamp8(value[2][i]);
    } else {
      // Each pair of pixels shares its colour differences.
      const float Y = float(int(value[0][i] + 0.5));
      const float V = float(int(value[1][i / 2] + 0.5)) - 128.0f;
      const float U = float(int(value[2][i / 2] + 0.5)) - 128.0f;
      const float E = (Y - m.y_offset) * m.y_gain;
      const float red = E + m.v_gain * V;
      const float blue = E + m.u_gain * U;
      const float green = (E - m.kb * blue - m.kr * red) * m.g_gain;
      r = Clamp8(red), g = Clamp8(green), b = Clamp8(blue);
    }
    out[3 * i] = b;
    out[3 * i + 1] = g;
    out[3 * i + 2] = r;
  }
  return line_bitmap_;
}

HBITMAP CSstvDecoder::GetPicture() {
  if (!picture_ || !line_bitmap_) return picture_;
  const int rows = std::abs(picture_->height);
  for (int y = 0; y < rows; ++y) {
    HBITMAP line = GetLine(y);
    const int stored = picture_->height > 0 ? rows - 1 - y : y;
    std::memcpy(picture_->pixels + size_t(stored) * picture_->bpl, line->pixels,
                size_t(kSstvWidth) * 3);
  }
  return picture_;
}
