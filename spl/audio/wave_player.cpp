#include "spl/audio/wave_player.h"

#include <cstring>

#include "spl/platform/codec.h"

namespace {
constexpr int kMaxPlayedChannels = 2;  // what the decompressor hands out interleaved
}  // namespace

CWavePlayer::CWavePlayer() : format_(size_t(file_.MaxFormatSize()), 0) {}

CWavePlayer::~CWavePlayer() { Close(); }

int CWavePlayer::Open(const char* path, int samplesPerBlock) {
  Close();
  WAVEFORMATEX* wfx = reinterpret_cast<WAVEFORMATEX*>(format_.data());
  data_size_ = file_.Open(path, wfx);
  if (!data_size_) {
    error_ = "WaveFile::Open error: " + file_.LastError();
    return 0;
  }
  data_start_ = file_.SeekCur(0);
  narrow_ = WaveNeedsNarrowing(wfx);
  WAVEFORMATEX pcm;
  if (narrow_) {
    WaveSampleLayoutOf(wfx, &layout_);
    out_channels_ = layout_.channels <= kMaxPlayedChannels ? layout_.channels : 1;
    CodecMakePcm16(int(wfx->nSamplesPerSec), out_channels_, &pcm);
  }
  if (!Init(narrow_ ? &pcm : wfx, samplesPerBlock)) {
    error_ = "DecompressAudio::Init error: " + CDecompressAudio::LastError();
    file_.Close();
    return 0;
  }
  return 1;
}

void CWavePlayer::Close() {
  if (file_.IsOpen()) file_.Close();
  Exit();
  data_size_ = data_start_ = narrow_ = out_channels_ = 0;
}

int CWavePlayer::SeekData(int offset) {
  if (!file_.IsOpen() || offset < 0 || offset > data_size_) return 0;
  if (file_.SeekSet(data_start_ + offset) != data_start_ + offset) return 0;
  Restart();
  return 1;
}

const WAVEFORMATEX* CWavePlayer::FileFormat() const {
  return reinterpret_cast<const WAVEFORMATEX*>(format_.data());
}

int CWavePlayer::ReadData(void* buffer, int n) {
  if (!narrow_) return file_.Read(buffer, n);
  const int frames = n / (2 * out_channels_);
  if (frames <= 0) return 0;
  const int frame_bytes = layout_.bytes * layout_.channels;
  raw_.resize(size_t(frames) * size_t(frame_bytes));
  const int whole = file_.Read(raw_.data(), int(raw_.size())) / frame_bytes;
  narrowed_.resize(size_t(whole) * size_t(out_channels_));
  WaveNarrowFrames(raw_.data(), whole, layout_, out_channels_, narrowed_.data());
  const int bytes = int(narrowed_.size() * sizeof(int16_t));
  if (bytes > 0) memcpy(buffer, narrowed_.data(), size_t(bytes));
  return bytes;
}
