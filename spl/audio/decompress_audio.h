// CDecompressAudio: turns a codec's byte stream, pulled through ReadData (which the owner
// overrides to read a wave file, say), back into blocks of float samples.
#pragma once
#include <string>
#include <vector>

#include "spl/audio/audio_block.h"
#include "spl/platform/codec_stream.h"

class CDecompressAudio {
 public:
  CDecompressAudio() = default;
  virtual ~CDecompressAudio();
  CDecompressAudio(const CDecompressAudio&) = delete;
  CDecompressAudio& operator=(const CDecompressAudio&) = delete;

  // tag: the codec's format tag (1 = PCM); rate: 1000 ... 192000 Hz; samplesPerBlock >= 1,
  // the size of the blocks that will be filled. Decodes the mono format of that tag and rate
  // with the highest data rate. 1 or 0 (LastError says why); releases an earlier Init.
  int Init(unsigned short tag, int rate, int samplesPerBlock);
  // The same for a given codec format, such as the one read from a wave file; 16-bit PCM of
  // its rate and channels comes out (two channels: the blocks get interleaved frames).
  int Init(const WAVEFORMATEX* codecFormat, int samplesPerBlock);
  // Fills the block with decoded samples and returns how many: fewer than the block holds
  // only at the end of the data (the rest of the block is zeroed), then 0.
  int Decompress(AudioBlock* block);
  // Forgets decoded and pending data and the end of the stream, as after a seek of the source.
  void Restart();
  void Exit();

  // Must fill up to n compressed bytes and return how many; 0 is the end of the data.
  virtual int ReadData(void* buffer, int n) { return 0; }

  const WAVEFORMATEX* PcmFormat() const { return reinterpret_cast<const WAVEFORMATEX*>(pcm_format_.data()); }
  const WAVEFORMATEX* CodecFormat() const { return reinterpret_cast<const WAVEFORMATEX*>(codec_format_.data()); }
  int PcmBufferBytes() const { return int(pcm_.size()) * 2; }
  int CodecBufferBytes() const { return int(codec_.size()); }
  const std::string& LastError() const { return error_; }

 private:
  int Fail(const std::string& why);
  int Open(int samplesPerBlock);
  // Reads and converts the next codec buffer; 0 when nothing more will come.
  int Refill();

  std::vector<uint8_t> pcm_format_, codec_format_;
  CCodecStream stream_;
  std::vector<int16_t> pcm_;   // decoded samples
  std::vector<uint8_t> codec_; // codec bytes read and not yet converted
  int pcm_have_ = 0, pcm_pos_ = 0, codec_have_ = 0;
  bool ended_ = false;
  std::string error_;
};
