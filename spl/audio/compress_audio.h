// CCompressAudio: turns blocks of float samples into a codec's byte stream, handed piece by
// piece to WriteData, which the owner overrides to write them (into a wave file, say).
#pragma once
#include <string>
#include <vector>

#include "spl/audio/audio_block.h"
#include "spl/platform/codec_stream.h"

class CCompressAudio {
 public:
  CCompressAudio() = default;
  virtual ~CCompressAudio();
  CCompressAudio(const CCompressAudio&) = delete;
  CCompressAudio& operator=(const CCompressAudio&) = delete;

  // tag: the codec's format tag (1 = PCM); rate: 1000 ... 192000 Hz; samplesPerBlock >= 1,
  // the size of the blocks that will come; channels: 1 or 2 (blocks then hold interleaved
  // frames). Takes the codec's format of that rate and channels with the highest data rate.
  // 1 or 0 (LastError says why); releases what an earlier Init made.
  int Init(unsigned short tag, int rate, int samplesPerBlock, int channels);
  // Stages the block's samples (rounded, clipped to 16 bits) and converts every full PCM
  // buffer; returns the compressed bytes handed to WriteData. Samples of an incomplete
  // buffer wait for the next call or for Flush.
  int Compress(const AudioBlock* block);
  // Converts what is staged as the end of the stream; returns the bytes handed to
  // WriteData. Call it before the file is closed, or the last samples are lost.
  int Flush();
  void Exit();

  // Receives every piece of compressed output.
  virtual void WriteData(void* bytes, int n) {}

  const WAVEFORMATEX* PcmFormat() const { return reinterpret_cast<const WAVEFORMATEX*>(pcm_format_.data()); }
  const WAVEFORMATEX* CodecFormat() const { return reinterpret_cast<const WAVEFORMATEX*>(codec_format_.data()); }
  int PcmBufferBytes() const { return pcm_bytes_; }
  int CodecBufferBytes() const { return codec_bytes_; }
  int StagedSamples() const { return staged_; }
  const std::string& LastError() const { return error_; }

 private:
  int Fail(const std::string& why);
  // Converts the front of the store; returns the output bytes, -1 when nothing could be done.
  int ConvertFront(int bytes, int flags);

  std::vector<uint8_t> pcm_format_, codec_format_;
  CCodecStream stream_;
  int pcm_bytes_ = 0;    // one PCM buffer: exactly fills the codec buffer
  int codec_bytes_ = 0;  // one codec buffer
  std::vector<int16_t> store_;  // staging store: two PCM buffers
  std::vector<uint8_t> out_;    // the codec buffer
  int staged_ = 0;              // samples in the store
  std::string error_;
};
