#include "tools/kestrel/wav_io.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <vector>

namespace {
constexpr int kPcmBits = 16;
constexpr float kMaxSample = 32767.0f;
constexpr float kMinSample = -32768.0f;
}  // namespace

CWavBlockReader::~CWavBlockReader() {
  FreeAudioBlock(block_);
  FreeAudioBlock(span_);
  file_.Close();
}

int CWavBlockReader::Open(const std::string& path, int block_size) {
  file_.Close();
  FreeAudioBlock(block_);
  block_ = nullptr;
  squelch_level_ = 0;
  error_.clear();
  if (block_size < 1) {
    error_ = "block size must be positive";
    return 0;
  }
  WAVEFORMATEX* wfx = static_cast<WAVEFORMATEX*>(calloc(1, size_t(file_.MaxFormatSize())));
  if (!wfx) {
    error_ = "out of memory";
    return 0;
  }
  const int data = file_.Open(path.c_str(), wfx);
  rate_ = int(wfx->nSamplesPerSec);
  const int known = WaveSampleLayoutOf(wfx, &layout_);
  free(wfx);
  if (!file_.IsOpen()) {
    error_ = file_.LastError();
    if (error_.empty()) error_ = "cannot open the file";
    return 0;
  }
  if (!known) {
    error_ = "not a PCM or floating-point wave file";
    file_.Close();
    return 0;
  }
  frames_ = left_ = data / (layout_.bytes * layout_.channels);
  if (frames_ == 0) {
    error_ = "the file holds no samples";
    file_.Close();
    return 0;
  }
  block_size_ = block_size;
  if (!NewAudioBlock(&block_, block_size_)) {
    error_ = "out of memory";
    file_.Close();
    return 0;
  }
  // Commands open a file twice (a probe for its rate, then the reading): one notice a file.
  static std::set<std::string> noticed;
  if (file_.Truncated() && noticed.insert(path).second)
    fprintf(stderr, "kestrel: %s: truncated: %d of %lld bytes of data\n", path.c_str(), data,
            file_.DeclaredDataSize());
  return 1;
}

AudioBlock* CWavBlockReader::Next(bool pad) {
  if (!block_ || left_ <= 0) return nullptr;
  const int frames = int(std::min<long long>(left_, block_size_));
  const int frame_bytes = layout_.bytes * layout_.channels;
  raw_.resize(size_t(frames) * size_t(frame_bytes));
  const int whole = file_.Read(raw_.data(), int(raw_.size())) / frame_bytes;
  if (whole <= 0) {
    left_ = 0;
    return nullptr;
  }
  left_ = whole < frames ? 0 : left_ - frames;  // a short read is the file's real end
  narrowed_.resize(size_t(whole));
  WaveNarrowFrames(raw_.data(), whole, layout_, 1, narrowed_.data());
  for (int i = 0; i < whole; ++i) block_->data[i] = narrowed_[size_t(i)];
  int count = whole;
  if (pad) {
    std::fill(block_->data + whole, block_->data + block_size_, 0.0f);
    count = block_size_;
  }
  block_->count = count;
  // Stretch by stretch of the measured length, so that a long block at a high rate is not
  // silenced whole for a quiet beginning.
  for (int at = 0; squelch_level_ > 0 && at < count; at += span_->count) {
    const int n = std::min(span_->count, count - at);
    std::copy(block_->data + at, block_->data + at + n, span_->data);
    std::fill(span_->data + n, span_->data + span_->count, 0.0f);
    if (CAudioSquelch::Level(squelch_.GetSpecDiff(span_)) < squelch_level_)
      std::fill(block_->data + at, block_->data + at + n, 0.0f);
  }
  MeasureAudioBlock(block_);
  block_->tick = 0;
  return block_;
}

void PrintSquelchUsage(FILE* to) {
  fprintf(to,
          "--squelch LEVEL (0 ... %d, default %d as in the station, 0 = off) gives the decoder\n"
          "silence for blocks whose audio squelch level (kestrel squelch) lies below LEVEL.\n",
          kMaxSquelchLevel, kDefaultSquelchLevel);
}

int CWavBlockReader::SetSquelch(int level) {
  if (!block_) return 0;
  squelch_level_ = 0;
  if (level <= 0) return 1;
  // The measure wants a power of two, and no more samples than the station measures.
  int n = 4;
  while (n * 2 <= std::min(block_size_, kSquelchMeasure)) n *= 2;
  FreeAudioBlock(span_);
  span_ = nullptr;
  if (!squelch_.Init(rate_, n) || !NewAudioBlock(&span_, n)) return 0;
  squelch_level_ = level;
  return 1;
}

CWavWriter::~CWavWriter() {
  if (open_) Close();
}

int CWavWriter::Create(const std::string& path, int rate) {
  if (open_) Close();
  error_.clear();
  WAVEFORMATEX* wfx = file_.GetWFX(rate, kPcmBits, 1);
  if (!wfx) {
    error_ = "out of memory";
    return 0;
  }
  const int ok = file_.Create(path.c_str(), wfx);
  free(wfx);
  if (!ok) {
    error_ = file_.LastError().empty() ? "cannot create the file" : file_.LastError();
    return 0;
  }
  open_ = true;
  return 1;
}

int CWavWriter::Write(const float* samples, int n) {
  if (!open_) return 0;
  std::vector<int16_t> out(size_t(std::max(n, 0)));
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = int16_t(std::lrint(std::clamp(samples[i], kMinSample, kMaxSample)));
  if (!file_.Write(out.data(), int(out.size() * sizeof(int16_t)))) {
    error_ = "write failed";
    return 0;
  }
  return 1;
}

int CWavWriter::Write(const AudioBlock* block) { return Write(block->data, block->count); }

int CWavWriter::Close() {
  if (!open_) return 0;
  open_ = false;
  if (!file_.Close()) {
    error_ = "cannot complete the file";
    return 0;
  }
  return 1;
}
