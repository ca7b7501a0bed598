// CBlockResampler: brings blocks at the sampling rate the sound card or the file delivers to
// the rate and block size a decoder times its lines at (the picture decoders were built at
// 11025 Hz). High-quality band-limited resampling (libsoxr, linear phase), so that neither the
// tones nor the line timing change; at equal rates the samples pass unchanged.
#pragma once

#include <functional>
#include <vector>

#include "spl/audio/audio_block.h"

struct soxr;

class CBlockResampler {
 public:
  // Each full output block; the block stays the resampler's and is reused.
  using Sink = std::function<void(AudioBlock*)>;

  CBlockResampler() = default;
  CBlockResampler(const CBlockResampler&) = delete;
  CBlockResampler& operator=(const CBlockResampler&) = delete;
  ~CBlockResampler();

  // inRate, outRate 1000 ... 384000 Hz, outBlock 1 ... 65536. Releases what an earlier Init
  // made. 1 or 0.
  int Init(double inRate, double outRate, int outBlock);
  // n input samples; sink gets every output block completed by them.
  void Push(const float* x, int n, const Sink& sink);
  // A block's samples; the blocks it completes carry its tick.
  void Push(const AudioBlock* block, const Sink& sink);
  // End of the input: the samples still inside the filter come out, the last block padded
  // with silence. Ready for a new signal afterwards.
  void Flush(const Sink& sink);
  bool PassesThrough() const { return soxr_ == nullptr; }

 private:
  void Release();
  void Emit(const float* y, int n, const Sink& sink);

  soxr* soxr_ = nullptr;
  AudioBlock* block_ = nullptr;
  int block_size_ = 0, filled_ = 0;
  uint32_t tick_ = 0;
  std::vector<float> out_;  // soxr's output before it is cut into blocks
};
