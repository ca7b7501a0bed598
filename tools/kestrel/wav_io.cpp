#include "tools/kestrel/wav_io.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>


namespace {
constexpr int kPcmTag = 1;
constexpr int kPcmBits = 16;
constexpr float kMaxSample = 32767.0f;
constexpr float kMinSample = -32768.0f;
}  // namespace

CWavBlockReader::~CWavBlockReader() {
  FreeAudioBlock(block_);
  file_.Close();
}

int CWavBlockReader::Open(const std::string& path, int block_size) {
  file_.Close();
  FreeAudioBlock(block_);
  block_ = nullptr;
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
  const int tag = wfx->wFormatTag, bits = wfx->wBitsPerSample, channels = wfx->nChannels;
  rate_ = int(wfx->nSamplesPerSec);
  free(wfx);
  if (!file_.IsOpen()) {
    error_ = file_.LastError();
    if (error_.empty()) error_ = "cannot open the file";
    return 0;
  }
  if (tag != kPcmTag || bits != kPcmBits || channels < 1 || channels > 2) {
    error_ = "not a 16-bit PCM mono or stereo wave file";
    file_.Close();
    return 0;
  }
  channels_ = channels;
  frames_ = left_ = data / (2 * channels_);
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
  return 1;
}

AudioBlock* CWavBlockReader::Next(bool pad) {
  if (!block_ || left_ <= 0) return nullptr;
  const int frames = int(std::min<long long>(left_, block_size_));
  std::vector<int16_t> raw(size_t(frames) * size_t(channels_));
  const int got = file_.Read(raw.data(), int(raw.size() * sizeof(int16_t)));
  const int whole = got / int(sizeof(int16_t)) / channels_;
  if (whole <= 0) {
    left_ = 0;
    return nullptr;
  }
  left_ = whole < frames ? 0 : left_ - frames;  // a short read is the file's real end
  for (int i = 0; i < whole; ++i) block_->data[i] = raw[size_t(i) * size_t(channels_)];
  int count = whole;
  if (pad) {
    std::fill(block_->data + whole, block_->data + block_size_, 0.0f);
    count = block_size_;
  }
  block_->count = count;
  MeasureAudioBlock(block_);
  block_->tick = 0;
  return block_;
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
