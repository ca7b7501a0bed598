#include "spl/audio/wave_recorder.h"

CWaveRecorder::~CWaveRecorder() {
  if (file_.IsOpen()) Stop();
}

int CWaveRecorder::Start(const char* path, const WAVEFORMATEX* format, int rate,
                         int samplesPerBlock, int channels) {
  if (file_.IsOpen()) Stop();
  write_failed_ = false;
  written_ = 0;
  if (!format) {
    error_ = "no format";
    return 0;
  }
  if (!Init(format->wFormatTag, rate, samplesPerBlock, channels)) {
    error_ = "Record Compress::Init error: " + CCompressAudio::LastError();
    return 0;
  }
  if (!file_.Create(path, CodecFormat())) {
    error_ = "Record WaveFile::Create error: " + file_.LastError();
    Exit();
    return 0;
  }
  return 1;
}

void CWaveRecorder::WriteData(void* bytes, int n) {
  if (!file_.Write(bytes, n)) write_failed_ = true;
  else written_ += n;
}

int CWaveRecorder::Record(const AudioBlock* block) {
  if (!file_.IsOpen()) return 0;
  Compress(block);
  if (write_failed_) error_ = "cannot write the recording";
  return !write_failed_;
}

int CWaveRecorder::Stop() {
  if (!file_.IsOpen()) return 0;
  Flush();
  const int closed = file_.Close();
  if (!closed) error_ = file_.LastError();
  Exit();
  return closed && !write_failed_;
}
