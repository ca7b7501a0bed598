// Wave files for the decode and transmit modes: a reader that hands a PCM or float file out in
// sound-card-sized 16-bit blocks at the file's own rate, and a writer of mono 16-bit PCM blocks.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "spl/audio/audio_block.h"
#include "spl/audio/wave_file.h"
#include "spl/dsp/audio_squelch.h"

// What every decode command says of its --squelch option.
void PrintSquelchUsage(FILE* to);

class CWavBlockReader {
 public:
  CWavBlockReader() = default;
  CWavBlockReader(const CWavBlockReader&) = delete;
  CWavBlockReader& operator=(const CWavBlockReader&) = delete;
  ~CWavBlockReader();

  // Opens a PCM file of 8 to 32 bits or a 32-bit float file, plain or extensible, of which the
  // first channel is used, to be read in blocks of block_size samples narrowed to 16 bits. 0
  // with Error() set for a file that is missing, damaged, of a codec, or holds no samples. A
  // file cut off inside its data is read as far as it goes, with Truncated() set and the
  // notice "kestrel: PATH: truncated: N of M bytes of data" on standard error, once a file.
  int Open(const std::string& path, int block_size);
  // The next block (measured, tick 0), owned by the reader and valid until the next call; the
  // last one may be short, and with pad it is filled up with silence to the block size instead.
  // Null at the end of the file.
  AudioBlock* Next(bool pad = false);
  // Stretches of a block (as long as the station measures, at most kSquelchMeasure samples)
  // whose audio squelch level (0 ... 255) lies below level come out as silence, as the station
  // mutes its blocks; 0 lets everything through. 1, or 0 before Open.
  int SetSquelch(int level);
  int Rate() const { return rate_; }
  long long Frames() const { return frames_; }
  int Truncated() const { return file_.Truncated(); }
  const std::string& Error() const { return error_; }

 private:
  CWaveFile file_;
  AudioBlock* block_ = nullptr;
  CAudioSquelch squelch_;
  AudioBlock* span_ = nullptr;  // one stretch being measured
  int squelch_level_ = 0;
  WaveSampleLayout layout_;
  std::vector<uint8_t> raw_;
  std::vector<int16_t> narrowed_;
  int rate_ = 0, block_size_ = 0;
  long long frames_ = 0, left_ = 0;
  std::string error_;
};

class CWavWriter {
 public:
  CWavWriter() = default;
  CWavWriter(const CWavWriter&) = delete;
  CWavWriter& operator=(const CWavWriter&) = delete;
  ~CWavWriter();  // closes (completing the header) when Close was not called

  // Creates a mono 16-bit PCM file at rate. 0 with Error() set.
  int Create(const std::string& path, int rate);
  // Appends the block's samples, rounded and clipped to 16 bits. 1 or 0.
  int Write(const AudioBlock* block);
  int Write(const float* samples, int n);
  // Completes the header; 1 when the file is whole.
  int Close();
  const std::string& Error() const { return error_; }

 private:
  CWaveFile file_;
  bool open_ = false;
  std::string error_;
};
