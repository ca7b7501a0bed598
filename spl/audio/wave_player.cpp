#include "spl/audio/wave_player.h"

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
  if (!Init(wfx, samplesPerBlock)) {
    error_ = "DecompressAudio::Init error: " + CDecompressAudio::LastError();
    file_.Close();
    return 0;
  }
  return 1;
}

void CWavePlayer::Close() {
  if (file_.IsOpen()) file_.Close();
  Exit();
  data_size_ = data_start_ = 0;
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

int CWavePlayer::ReadData(void* buffer, int n) { return file_.Read(buffer, n); }
