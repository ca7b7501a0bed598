// A conversion stream between 16-bit PCM and one codec format (either direction): sizes
// buffers both ways and converts whole codec blocks, or at the end of the stream also the
// last short block.
#pragma once
#include <cstdint>
#include <vector>

#include "spl/platform/codec.h"

// One conversion: the caller's source and destination buffers and what was used of each.
struct CodecStreamHeader {
  const uint8_t* src = nullptr;
  int srcLength = 0;
  int srcLengthUsed = 0;
  uint8_t* dst = nullptr;
  int dstLength = 0;
  int dstLengthUsed = 0;
};

// Convert flags: whole blocks only, or the end of the stream (a short last block too).
constexpr int kCodecConvertBlockAlign = 0x04;
constexpr int kCodecConvertEnd = 0x20;

class CCodecStream {
 public:
  CCodecStream() = default;
  CCodecStream(const CCodecStream&) = delete;
  CCodecStream& operator=(const CCodecStream&) = delete;

  // src and dst: one is 16-bit PCM, the other a checked format of an installed codec with the
  // same rate and channels. 1 or 0 (Error() says why); an open stream is closed first.
  int Open(const WAVEFORMATEX* src, const WAVEFORMATEX* dst);
  void Close();
  int IsOpen() const { return driver_ != nullptr; }
  const char* Error() const { return error_; }

  // Destination bytes that src_bytes of source can produce (whole blocks, rounded up); 0 if none.
  int SizeForSource(int src_bytes) const;
  // Source bytes whose conversion fits dst_bytes of destination (whole blocks); 0 if none.
  int SizeForDestination(int dst_bytes) const;

  // Converts as much of h->src into h->dst as fits; sets srcLengthUsed and dstLengthUsed.
  // Without kCodecConvertEnd only whole blocks are converted. 1, or 0 on bad arguments.
  int Convert(CodecStreamHeader* h, int flags);

 private:
  int EncodeRun(CodecStreamHeader* h, int flags);
  int DecodeRun(CodecStreamHeader* h, int flags);

  const CodecDriver* driver_ = nullptr;
  std::vector<uint8_t> codec_format_;
  bool encode_ = true;
  int pcm_align_ = 0;        // bytes per PCM frame
  int codec_align_ = 0;      // bytes per codec block
  int frames_per_block_ = 0;
  CodecState state_{};
  std::vector<int16_t> scratch_;  // one block of PCM, aligned for the driver
  const char* error_ = "";
};
