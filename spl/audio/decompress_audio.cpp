#include "spl/audio/decompress_audio.h"

#include <algorithm>
#include <cstring>

#include "spl/primitives/nsp.h"

CDecompressAudio::~CDecompressAudio() { Exit(); }

int CDecompressAudio::Fail(const std::string& why) {
  Exit();
  error_ = why;
  return 0;
}

void CDecompressAudio::Exit() {
  stream_.Close();
  pcm_.clear();
  pcm_.shrink_to_fit();
  codec_.clear();
  codec_.shrink_to_fit();
  pcm_format_.clear();
  codec_format_.clear();
  pcm_have_ = pcm_pos_ = codec_have_ = 0;
  ended_ = false;
}

void CDecompressAudio::Restart() {
  pcm_have_ = pcm_pos_ = codec_have_ = 0;
  ended_ = false;
}

int CDecompressAudio::Init(unsigned short tag, int rate, int samplesPerBlock) {
  Exit();
  if (rate < kCodecMinRate || rate > kCodecMaxRate || samplesPerBlock < 1)
    return Fail("rate or block size out of range");
  WAVEFORMATEX pcm;
  CodecMakePcm16(rate, 1, &pcm);
  const std::vector<::CodecFormat> formats = CodecEnumFormats(tag, &pcm);
  const ::CodecFormat* best = nullptr;
  for (const ::CodecFormat& f : formats) {
    const WAVEFORMATEX* w = f.wfx();
    if (!f.driver->is_codec || int(w->nSamplesPerSec) != rate || w->nChannels != 1) continue;
    if (!best || w->nAvgBytesPerSec > best->wfx()->nAvgBytesPerSec) best = &f;
  }
  if (!best) return Fail("no codec offers this format tag at this rate");
  codec_format_ = best->bytes;
  return Open(samplesPerBlock);
}

int CDecompressAudio::Init(const WAVEFORMATEX* codecFormat, int samplesPerBlock) {
  Exit();
  if (!codecFormat || samplesPerBlock < 1) return Fail("no format or block size");
  // Checked before its extra bytes are trusted to lie within the record.
  if (const char* why = CodecCheckFormat(codecFormat, CodecMaxFormatSize())) return Fail(why);
  const uint8_t* raw = reinterpret_cast<const uint8_t*>(codecFormat);
  codec_format_.assign(raw, raw + WaveFormatSize(codecFormat));
  return Open(samplesPerBlock);
}

int CDecompressAudio::Open(int samplesPerBlock) {
  const WAVEFORMATEX* codec = CodecFormat();
  pcm_format_.assign(kWaveFormatBaseBytes, 0);
  WAVEFORMATEX* pcm = reinterpret_cast<WAVEFORMATEX*>(pcm_format_.data());
  CodecMakePcm16(int(codec->nSamplesPerSec), codec->nChannels, pcm);
  if (!stream_.Open(codec, pcm)) return Fail(stream_.Error());
  // One second of PCM, and the codec bytes that produce it; at least one codec block, and a
  // PCM buffer that holds all the codec buffer can give.
  const int second = int(pcm->nAvgBytesPerSec);
  const int codec_bytes = std::max(stream_.SizeForDestination(second), int(codec->nBlockAlign));
  const int pcm_bytes = std::max(second, stream_.SizeForSource(codec_bytes));
  if (codec_bytes <= 0 || pcm_bytes <= 0) return Fail("the codec cannot size its buffers");
  codec_.assign(size_t(codec_bytes), 0);
  pcm_.assign(size_t(pcm_bytes) / 2, 0);
  return 1;
}

int CDecompressAudio::Refill() {
  if (ended_) return 0;
  const int capacity = int(codec_.size());
  int got = 0;
  if (codec_have_ < capacity) {
    got = ReadData(codec_.data() + codec_have_, capacity - codec_have_);
    got = std::clamp(got, 0, capacity - codec_have_);  // an override may promise too much
    codec_have_ += got;
  }
  const bool end = got == 0;
  CodecStreamHeader h;
  h.src = codec_.data();
  h.srcLength = codec_have_;
  h.dst = reinterpret_cast<uint8_t*>(pcm_.data());
  h.dstLength = int(pcm_.size()) * 2;
  if (!stream_.Convert(&h, end ? kCodecConvertEnd : kCodecConvertBlockAlign)) {
    ended_ = true;
    return 0;
  }
  memmove(codec_.data(), codec_.data() + h.srcLengthUsed, size_t(codec_have_ - h.srcLengthUsed));
  codec_have_ -= h.srcLengthUsed;
  pcm_have_ = h.dstLengthUsed / 2;
  pcm_pos_ = 0;
  // The end-of-stream conversion takes everything left; the next refill finds the end.
  if (end) ended_ = true;
  return 1;
}

int CDecompressAudio::Decompress(AudioBlock* block) {
  if (!stream_.IsOpen() || !block || block->count < 1) return 0;
  int written = 0;
  while (written < block->count) {
    if (pcm_pos_ < pcm_have_) {
      const int n = std::min(pcm_have_ - pcm_pos_, block->count - written);
      nspsbIntToFloat(pcm_.data() + pcm_pos_, block->data + written, n, 16, 0);
      pcm_pos_ += n;
      written += n;
    } else if (!Refill()) {
      break;
    }
  }
  if (written < block->count)
    std::fill(block->data + written, block->data + block->count, 0.0f);
  if (written > 0) MeasureAudioBlock(block);
  return written;
}
