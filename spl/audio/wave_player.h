// CWavePlayer: plays a wave file of any installed codec as blocks of float samples, the file's
// own format driving the decompressor; positions are byte offsets into the data. Integer PCM
// of 24 and 32 bits, 32-bit float and files of more than two channels (of which the first is
// played) are narrowed to 16-bit PCM on the way in.
#pragma once
#include <string>

#include "spl/audio/decompress_audio.h"
#include "spl/audio/wave_file.h"

class CWavePlayer : public CDecompressAudio {
 public:
  CWavePlayer();
  ~CWavePlayer() override;

  // Opens the file and sets up the decompressor for blocks of samplesPerBlock (>= 1).
  // 1 or 0 (LastError says why, as "WaveFile::Open error: ..." and the like).
  int Open(const char* path, int samplesPerBlock);
  void Close();
  // Continues at byte offset (0 ... data size, a multiple of the block align) of the data,
  // counted from its first byte.
  int SeekData(int offset);
  const WAVEFORMATEX* FileFormat() const;
  int DataSize() const { return data_size_; }
  long long FactFrames() const { return file_.FactFrames(); }
  // The file's data were cut off: DataSize() of DeclaredDataSize() bytes are there.
  int Truncated() const { return file_.Truncated(); }
  long long DeclaredDataSize() const { return file_.DeclaredDataSize(); }
  int FileTag() const { return file_.FileTag(); }
  const std::string& LastError() const { return error_; }

  int ReadData(void* buffer, int n) override;

 private:
  CWaveFile file_;
  std::vector<uint8_t> format_;  // the largest format size
  int data_start_ = 0;
  int data_size_ = 0;
  int narrow_ = 0;                 // the file's samples go through WaveNarrowFrames
  WaveSampleLayout layout_;
  int out_channels_ = 0;
  std::vector<uint8_t> raw_;       // file bytes of one read
  std::vector<int16_t> narrowed_;
  std::string error_;
};
