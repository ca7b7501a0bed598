// CWaveRecorder: records blocks into a wave file through the compressor. Stop writes the
// samples still staged in the compressor before it closes the file, so nothing is lost.
#pragma once
#include <string>

#include "spl/audio/compress_audio.h"
#include "spl/audio/wave_file.h"

class CWaveRecorder : public CCompressAudio {
 public:
  ~CWaveRecorder() override;

  // Compressor for format's tag (rate, block size, channels of the capture), then the file,
  // created with the compressor's own codec format so the header describes the data.
  // 1 or 0 (LastError says why); a recording still running is stopped first.
  int Start(const char* path, const WAVEFORMATEX* format, int rate, int samplesPerBlock,
            int channels);
  // Compresses and writes one block; 0 when no recording runs or a write failed.
  int Record(const AudioBlock* block);
  // Flushes the compressor, closes the file; 1 when everything was written.
  int Stop();
  int Recording() const { return file_.IsOpen(); }
  // Compressed bytes written since Start.
  long long WrittenBytes() const { return written_; }
  const std::string& LastError() const { return error_; }

  void WriteData(void* bytes, int n) override;

 private:
  CWaveFile file_;
  bool write_failed_ = false;
  long long written_ = 0;
  std::string error_;
};
