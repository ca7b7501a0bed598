#include "spl/audio/compress_audio.h"

#include <algorithm>
#include <cstring>

#include "spl/primitives/nsp.h"

CCompressAudio::~CCompressAudio() { Exit(); }

int CCompressAudio::Fail(const std::string& why) {
  Exit();
  error_ = why;
  return 0;
}

void CCompressAudio::Exit() {
  stream_.Close();
  store_.clear();
  store_.shrink_to_fit();
  out_.clear();
  out_.shrink_to_fit();
  pcm_format_.clear();
  codec_format_.clear();
  pcm_bytes_ = codec_bytes_ = staged_ = 0;
}

int CCompressAudio::Init(unsigned short tag, int rate, int samplesPerBlock, int channels) {
  Exit();
  if (rate < kCodecMinRate || rate > kCodecMaxRate || samplesPerBlock < 1 || channels < 1 ||
      channels > kCodecMaxChannels)
    return Fail("rate, block size or channel count out of range");
  pcm_format_.assign(kWaveFormatBaseBytes, 0);
  WAVEFORMATEX* pcm = reinterpret_cast<WAVEFORMATEX*>(pcm_format_.data());
  CodecMakePcm16(rate, channels, pcm);
  const std::vector<::CodecFormat> formats = CodecEnumFormats(tag, pcm);
  const ::CodecFormat* best = nullptr;
  for (const ::CodecFormat& f : formats) {
    const WAVEFORMATEX* w = f.wfx();
    if (!f.driver->is_codec || int(w->nSamplesPerSec) != rate || w->nChannels != channels) continue;
    if (!best || w->nAvgBytesPerSec > best->wfx()->nAvgBytesPerSec) best = &f;
  }
  if (!best) return Fail("no codec offers this format tag at this rate");
  codec_format_ = best->bytes;
  if (!stream_.Open(pcm, CodecFormat())) return Fail(stream_.Error());
  const long long block_bytes = (long long)samplesPerBlock * pcm->nBlockAlign;
  codec_bytes_ = block_bytes > INT32_MAX ? 0 : stream_.SizeForSource(int(block_bytes));
  pcm_bytes_ = stream_.SizeForDestination(codec_bytes_);
  if (codec_bytes_ <= 0 || pcm_bytes_ <= 0 || pcm_bytes_ > INT32_MAX / 2)
    return Fail("the codec cannot size its buffers");
  store_.assign(size_t(pcm_bytes_), 0);  // 2 x pcm_bytes_ bytes of 16-bit samples
  out_.assign(size_t(codec_bytes_), 0);
  return 1;
}

int CCompressAudio::ConvertFront(int bytes, int flags) {
  CodecStreamHeader h;
  h.src = reinterpret_cast<const uint8_t*>(store_.data());
  h.srcLength = bytes;
  h.dst = out_.data();
  h.dstLength = codec_bytes_;
  if (!stream_.Convert(&h, flags) || (h.srcLengthUsed == 0 && h.dstLengthUsed == 0)) return -1;
  const int used = h.srcLengthUsed / 2;
  memmove(store_.data(), store_.data() + used, size_t(staged_ - used) * 2);
  staged_ -= used;
  if (h.dstLengthUsed > 0) WriteData(out_.data(), h.dstLengthUsed);
  return h.dstLengthUsed;
}

int CCompressAudio::Compress(const AudioBlock* block) {
  if (!stream_.IsOpen() || !block || block->count < 1) return 0;
  const int capacity = int(store_.size());
  const int buffer_samples = pcm_bytes_ / 2;
  int produced = 0;
  // A block larger than the store's free room is taken in pieces.
  for (int done = 0; done < block->count;) {
    const int take = std::min(capacity - staged_, block->count - done);
    // Out-of-range samples are clipped: left unwritten they would carry stale store contents.
    nspsbFloatToInt(block->data + done, store_.data() + staged_, take, 16, NSP_ROUND | NSP_CLIP);
    staged_ += take;
    done += take;
    while (staged_ >= buffer_samples) {
      const int n = ConvertFront(pcm_bytes_, kCodecConvertBlockAlign);
      if (n < 0) {
        error_ = "the codec refused a full buffer";
        staged_ = 0;
        return produced;
      }
      produced += n;
    }
  }
  return produced;
}

int CCompressAudio::Flush() {
  if (!stream_.IsOpen()) return 0;
  int produced = 0;
  while (staged_ > 0) {
    const int n = ConvertFront(std::min(staged_ * 2, pcm_bytes_), kCodecConvertEnd);
    if (n <= 0) break;
    produced += n;
  }
  staged_ = 0;  // a part frame that no conversion takes ends here
  return produced;
}
