// A capture device that reads a wave file instead of a sound card, so the whole audio loop
// runs without one: in real time (the buffers come as fast as a card would deliver them) or
// as fast as the file can be read, for batch work. 16-bit PCM files of one or two channels
// are read as they are; codec files through the decompressor (mono). A source with one
// channel feeding a stereo capture is duplicated into both, a stereo file feeding a mono
// capture gives its left channel. The file's rate must be the capture rate.
#pragma once
#include <memory>
#include <string>

#include "spl/platform/wave_device.h"

class CWaveFile;
class CFileDecompressor;

class CWaveFileSource : public CWaveDevice {
 public:
  CWaveFileSource(std::string path, bool real_time);
  ~CWaveFileSource() override;

 protected:
  int OpenBackend(WaveDirection direction, const WavePcmFormat& format) override;
  int Transfer(WAVEHDR* hdr) override;
  void StartBackend() override;
  void CloseBackend() override;

 private:
  // Reads up to `frames` frames of the file as 16-bit samples of the file's channel count.
  int ReadFrames(int16_t* dst, int frames);
  std::string path_;
  bool real_time_;
  std::unique_ptr<CWaveFile> file_;
  std::unique_ptr<CFileDecompressor> decompressor_;
  int file_channels_ = 1;
  long long data_left_ = 0;  // PCM bytes still to read
  long long frames_sent_ = 0;
  int64_t start_counter_ = 0;
};
