#include "spl/platform/codec_stream.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {
// Drivers whose block is one frame take this many frames per call.
constexpr int kFramesPerRun = 4096;

int ToIntSize(long long v) { return v > 0 && v <= INT_MAX ? int(v) : 0; }
}  // namespace

int CCodecStream::Open(const WAVEFORMATEX* src, const WAVEFORMATEX* dst) {
  Close();
  if (!src || !dst) {
    error_ = "no format";
    return 0;
  }
  // 16-bit PCM to 16-bit PCM is the identity, run as an encode through the PCM driver.
  encode_ = CodecIsPcm16(src);
  const WAVEFORMATEX* pcm = encode_ ? src : dst;
  const WAVEFORMATEX* codec = encode_ ? dst : src;
  if (!CodecIsPcm16(pcm)) {
    error_ = "one side of a conversion must be 16-bit PCM";
    return 0;
  }
  if (const char* why = CodecCheckFormat(codec, WaveFormatSize(codec))) {
    error_ = why;
    return 0;
  }
  if (codec->nSamplesPerSec != pcm->nSamplesPerSec || codec->nChannels != pcm->nChannels) {
    error_ = "the codec cannot change rate or channels";
    return 0;
  }
  const CodecDriver* d = CodecFindDriver(codec->wFormatTag);
  if (!d->is_codec) {
    error_ = "the driver is not a codec";
    return 0;
  }
  const uint8_t* raw = reinterpret_cast<const uint8_t*>(codec);
  codec_format_.assign(raw, raw + WaveFormatSize(codec));
  pcm_align_ = pcm->nBlockAlign;
  codec_align_ = codec->nBlockAlign;
  frames_per_block_ = d->frames_per_block(codec);
  const int run = frames_per_block_ == 1 ? kFramesPerRun : frames_per_block_;
  scratch_.assign(size_t(run) * pcm->nChannels, 0);
  state_ = CodecState{};
  driver_ = d;
  return 1;
}

void CCodecStream::Close() {
  driver_ = nullptr;
  codec_format_.clear();
  scratch_.clear();
  scratch_.shrink_to_fit();
}

int CCodecStream::SizeForSource(int src_bytes) const {
  if (!driver_ || src_bytes <= 0) return 0;
  if (encode_) {
    const long long frames = src_bytes / pcm_align_;
    const long long blocks = (frames + frames_per_block_ - 1) / frames_per_block_;
    return ToIntSize(blocks * codec_align_);
  }
  const long long blocks = (src_bytes + codec_align_ - 1) / codec_align_;
  return ToIntSize(blocks * frames_per_block_ * pcm_align_);
}

int CCodecStream::SizeForDestination(int dst_bytes) const {
  if (!driver_ || dst_bytes <= 0) return 0;
  if (encode_) {
    const long long blocks = dst_bytes / codec_align_;
    return ToIntSize(blocks * frames_per_block_ * pcm_align_);
  }
  const long long blocks = dst_bytes / pcm_align_ / frames_per_block_;
  return ToIntSize(blocks * codec_align_);
}

int CCodecStream::Convert(CodecStreamHeader* h, int flags) {
  if (!driver_ || !h || h->srcLength < 0 || h->dstLength < 0 || (h->srcLength && !h->src) ||
      (h->dstLength && !h->dst))
    return 0;
  h->srcLengthUsed = h->dstLengthUsed = 0;
  return encode_ ? EncodeRun(h, flags) : DecodeRun(h, flags);
}

int CCodecStream::EncodeRun(CodecStreamHeader* h, int flags) {
  const WAVEFORMATEX* wfx = reinterpret_cast<const WAVEFORMATEX*>(codec_format_.data());
  const int run = int(scratch_.size()) / wfx->nChannels;
  int frames_left = h->srcLength / pcm_align_;
  for (;;) {
    int frames;
    int bytes;
    if (frames_left >= frames_per_block_) {
      frames = frames_per_block_ == 1 ? std::min(frames_left, run) : frames_per_block_;
      bytes = frames_per_block_ == 1 ? frames * codec_align_ : codec_align_;
      // A one-frame codec fills what room there is; a block codec needs a whole block.
      if (frames_per_block_ == 1) {
        frames = std::min(frames, (h->dstLength - h->dstLengthUsed) / codec_align_);
        bytes = frames * codec_align_;
      }
    } else if (frames_left > 0 && (flags & kCodecConvertEnd)) {
      frames = frames_left;
      bytes = driver_->short_block_bytes(wfx, frames);
    } else {
      break;
    }
    if (frames <= 0 || bytes > h->dstLength - h->dstLengthUsed) break;
    memcpy(scratch_.data(), h->src + h->srcLengthUsed, size_t(frames) * pcm_align_);
    const int written = driver_->encode(wfx, &state_, scratch_.data(), frames, h->dst + h->dstLengthUsed);
    h->dstLengthUsed += written;
    h->srcLengthUsed += frames * pcm_align_;
    frames_left -= frames;
  }
  return 1;
}

int CCodecStream::DecodeRun(CodecStreamHeader* h, int flags) {
  const WAVEFORMATEX* wfx = reinterpret_cast<const WAVEFORMATEX*>(codec_format_.data());
  const int run = int(scratch_.size()) / wfx->nChannels;
  for (;;) {
    const int left = h->srcLength - h->srcLengthUsed;
    const int room_frames = (h->dstLength - h->dstLengthUsed) / pcm_align_;
    int bytes;
    if (left >= codec_align_) {
      if (frames_per_block_ == 1) {
        bytes = std::min({left / codec_align_, run, room_frames}) * codec_align_;
      } else {
        bytes = room_frames >= frames_per_block_ ? codec_align_ : 0;
      }
    } else if (left > 0 && (flags & kCodecConvertEnd)) {
      const int frames = driver_->frames_in_short_block(wfx, left);
      if (frames == 0) {
        h->srcLengthUsed += left;  // a tail too short to carry a frame is dropped
        break;
      }
      bytes = frames <= room_frames ? left : 0;
    } else {
      break;
    }
    if (bytes <= 0) break;
    const int frames = driver_->decode(wfx, h->src + h->srcLengthUsed, bytes, scratch_.data());
    memcpy(h->dst + h->dstLengthUsed, scratch_.data(), size_t(frames) * pcm_align_);
    h->dstLengthUsed += frames * pcm_align_;
    h->srcLengthUsed += bytes;
  }
  return 1;
}
