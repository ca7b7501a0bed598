#include "spl/audio/wave_file_source.h"

#include "spl/audio/audio_block.h"
#include "spl/audio/wave_player.h"
#include "spl/primitives/nsp.h"

CWaveFileSource::CWaveFileSource(std::string path, bool real_time)
    : path_(std::move(path)), real_time_(real_time) {}

CWaveFileSource::~CWaveFileSource() {
  StopIo();  // the I/O thread reads the player
  CloseBackend();
}

int CWaveFileSource::OpenBackend(WaveDirection direction, const WavePcmFormat& format) {
  if (direction != kWaveCapture) {
    SetError(path_ + ": a wave file can only be captured from");
    return 0;
  }
  player_ = std::make_unique<CWavePlayer>();
  if (!player_->Open(path_.c_str(), format.frames_per_buffer)) {
    SetError(path_ + ": " + player_->LastError());
    player_.reset();
    return 0;
  }
  int file_rate = int(player_->FileFormat()->nSamplesPerSec);
  if (file_rate != format.rate) {
    SetError(path_ + ": recorded at " + std::to_string(file_rate) + " Hz, capture runs at " +
             std::to_string(format.rate) + " Hz");
    CloseBackend();
    return 0;
  }
  if (!NewAudioBlock(&block_, format.frames_per_buffer)) {
    SetError("out of memory");
    CloseBackend();
    return 0;
  }
  // A card delivers its first period after one period; the file may run that far ahead.
  pacer_.Init(format.rate, format.frames_per_buffer);
  return 1;
}

void CWaveFileSource::StartBackend() { pacer_.Restart(); }

int CWaveFileSource::Transfer(WAVEHDR* hdr) {
  const int channels = Format().channels;
  int frames = int(hdr->dwBufferLength) / (2 * channels);
  if (frames > block_->count) frames = block_->count;
  int got = player_->Decompress(block_);
  if (got < 0) got = 0;
  if (got > frames) got = frames;
  auto* out = reinterpret_cast<int16_t*>(hdr->lpData);
  for (int i = 0; i < got; ++i) {
    float v = block_->data[i];
    int16_t s = int16_t(v >= 32767.0f ? 32767 : v <= -32768.0f ? -32768 : int(v));
    for (int c = 0; c < channels; ++c) out[i * channels + c] = s;
  }
  hdr->dwBytesRecorded = DWORD(got * 2 * channels);
  if (got < frames) SetAtEnd();  // a short buffer is the last one
  if (real_time_) pacer_.Advance(got, [this] { return Cancelled(); });
  return 1;
}

void CWaveFileSource::CloseBackend() {
  if (player_) player_->Close();
  player_.reset();
  FreeAudioBlock(block_);
  block_ = nullptr;
}
