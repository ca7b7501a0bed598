// The codec layer and the compressor/decompressor pair: G.711 against its quantiser levels,
// IMA ADPCM against a plain reference decoder, buffer sizes, staging and the end of a stream,
// and round trips with a measured signal-to-noise floor.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "spl/platform/codec.h"
#include "spl/platform/codec_g711.h"
#include "spl/platform/codec_ima_adpcm.h"
#include "spl/platform/codec_stream.h"
#include "tests/audio/wave_test_util.h"

using wavetest::CompressAll;
using wavetest::DecompressAll;
using wavetest::MemoryCompressor;
using wavetest::MemoryDecompressor;
using wavetest::Sine;
using wavetest::SnrDb;

namespace {

// Quantiser steps in 16-bit units: A-law 16 in segments 0 and 1, doubling above; mu-law 8
// doubling from segment 0.
int ALawStep(uint8_t code) {
  const int segment = ((code ^ 0x55) >> 4) & 7;
  return segment < 2 ? 16 : 16 << (segment - 1);
}
int MuLawStep(uint8_t code) { return 8 << ((uint8_t(~code) >> 4) & 7); }

// A reference IMA ADPCM decoder for one mono block, written from the format description.
std::vector<int16_t> ReferenceImaMonoBlock(const uint8_t* block, int bytes) {
  static const int steps[89] = {
      7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 19, 21, 23, 25, 28, 31, 34, 37, 41, 45, 50, 55, 60,
      66, 73, 80, 88, 97, 107, 118, 130, 143, 157, 173, 190, 209, 230, 253, 279, 307, 337, 371,
      408, 449, 494, 544, 598, 658, 724, 796, 876, 963, 1060, 1166, 1282, 1411, 1552, 1707,
      1878, 2066, 2272, 2499, 2749, 3024, 3327, 3660, 4026, 4428, 4871, 5358, 5894, 6484, 7132,
      7845, 8630, 9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623,
      27086, 29794, 32767};
  static const int adjust[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
  std::vector<int16_t> out;
  int predictor = int16_t(block[0] | block[1] << 8);
  int index = block[2];
  out.push_back(int16_t(predictor));
  for (int i = 4; i < bytes; ++i) {
    for (int nibble : {block[i] & 15, block[i] >> 4}) {
      const int step = steps[index];
      int diff = step >> 3;
      if (nibble & 4) diff += step;
      if (nibble & 2) diff += step >> 1;
      if (nibble & 1) diff += step >> 2;
      predictor += (nibble & 8) ? -diff : diff;
      predictor = std::clamp(predictor, -32768, 32767);
      index = std::clamp(index + adjust[nibble], 0, 88);
      out.push_back(int16_t(predictor));
    }
  }
  return out;
}

std::vector<int16_t> RoundTrip(uint16_t tag, const std::vector<int16_t>& s, int rate, int block,
                               std::vector<uint8_t>* coded = nullptr) {
  MemoryCompressor c;
  EXPECT_EQ(c.Init(tag, rate, block, 1), 1) << c.LastError();
  MemoryDecompressor d;
  d.in = CompressAll(c, c, s, block);
  if (coded) *coded = d.in;
  EXPECT_EQ(d.Init(tag, rate, block), 1) << d.LastError();
  return DecompressAll(d, block);
}

}  // namespace

TEST(WaveCodec, G711QuantisesToTheMiddleOfEachStep) {
  // Every sample comes back within half a step of the segment it was coded in (plus the
  // one-unit offset of negative samples); mu-law clips above 32635. (The levels themselves are
  // checked against sox's in the interoperability tests.)
  for (int x = -32768; x <= 32767; ++x) {
    const uint8_t a = LinearToALaw(int16_t(x));
    ASSERT_LE(std::abs(ALawToLinear(a) - x), ALawStep(a) / 2 + 1) << x;
    if (std::abs(x) > 32635) continue;
    const uint8_t u = LinearToMuLaw(int16_t(x));
    ASSERT_LE(std::abs(MuLawToLinear(u) - x), MuLawStep(u) / 2 + 1) << x;
  }
  for (int c = 0; c < 256; ++c) {  // every level codes back to its own code
    EXPECT_EQ(LinearToALaw(ALawToLinear(uint8_t(c))), c);
    if (c != 0x7F) {  // 0x7F and 0xFF both decode to 0
      EXPECT_EQ(LinearToMuLaw(MuLawToLinear(uint8_t(c))), c);
    }
  }
}

TEST(WaveCodec, ImaBlocksDecodeLikeTheReference) {
  const std::vector<int16_t> s = Sine(505 * 4 + 100, 440, 11025, 20000);
  std::vector<uint8_t> coded;
  const std::vector<int16_t> back = RoundTrip(WAVE_FORMAT_IMA_ADPCM, s, 11025, 1024, &coded);
  // 4 full blocks and a short block of 100 frames: header and 13 groups of 8.
  ASSERT_EQ(coded.size(), 4 * 256u + 4 + 13 * 4);
  std::vector<int16_t> reference;
  for (size_t at = 0; at < coded.size(); at += 256) {
    const int bytes = int(std::min<size_t>(256, coded.size() - at));
    const std::vector<int16_t> r = ReferenceImaMonoBlock(&coded[at], bytes);
    reference.insert(reference.end(), r.begin(), r.end());
  }
  EXPECT_EQ(back.size(), 505 * 4 + 105u);  // the short block rounds up to whole groups
  EXPECT_EQ(back, reference);
  for (int b = 0; b < 4; ++b) EXPECT_EQ(back[size_t(b) * 505], s[size_t(b) * 505]);  // header samples
}

TEST(WaveCodec, RoundTripsKeepASignalToNoiseFloor) {
  // A 1 kHz sine at -6 dBFS and a two-tone mix at 11025 Hz. Measured: A-law 38.9 / 38.3 dB,
  // mu-law 36.7 / 38.2 dB, IMA ADPCM 25.1 / 22.8 dB (its quantiser already picks the
  // nearest code, so that is the format's own floor), PCM exact.
  struct Case {
    uint16_t tag;
    double floor_db;
  };
  const Case cases[] = {{WAVE_FORMAT_PCM, 150}, {WAVE_FORMAT_ALAW, 35}, {WAVE_FORMAT_MULAW, 35},
                        {WAVE_FORMAT_IMA_ADPCM, 21}};
  const std::vector<int16_t> tone = Sine(22050, 1000, 11025, 16384);
  std::vector<int16_t> mix = Sine(22050, 697, 11025, 8000);
  const std::vector<int16_t> second = Sine(22050, 1633, 11025, 8000, 0.3);
  for (size_t i = 0; i < mix.size(); ++i) mix[i] = int16_t(mix[i] + second[i]);
  for (const Case& c : cases) {
    for (const std::vector<int16_t>* s : {&tone, static_cast<const std::vector<int16_t>*>(&mix)}) {
      const std::vector<int16_t> back = RoundTrip(c.tag, *s, 11025, 1024);
      ASSERT_GE(back.size(), s->size());
      const double snr = SnrDb(*s, back);
      printf("tag 0x%04X %s: SNR %.1f dB\n", c.tag, s == &tone ? "sine" : "two tones", snr);
      EXPECT_GT(snr, c.floor_db) << "tag " << c.tag;
    }
  }
}

TEST(WaveCodec, StereoImaKeepsTheChannelsApart) {
  std::vector<int16_t> frames;
  const std::vector<int16_t> left = Sine(5000, 500, 22050, 12000);
  const std::vector<int16_t> right = Sine(5000, 2100, 22050, 9000);
  for (size_t i = 0; i < left.size(); ++i) {
    frames.push_back(left[i]);
    frames.push_back(right[i]);
  }
  MemoryCompressor c;
  ASSERT_EQ(c.Init(WAVE_FORMAT_IMA_ADPCM, 22050, 1000, 2), 1);
  EXPECT_EQ(c.CodecFormat()->nBlockAlign, 1024);
  MemoryDecompressor d;
  d.in = CompressAll(c, c, frames, 1000);
  ASSERT_EQ(d.Init(c.CodecFormat(), 1000), 1);
  const std::vector<int16_t> back = DecompressAll(d, 1000);
  std::vector<int16_t> l, r;
  for (size_t i = 0; i + 1 < back.size(); i += 2) {
    l.push_back(back[i]);
    r.push_back(back[i + 1]);
  }
  EXPECT_GT(SnrDb(left, l), 21);  // measured 28.4 and 23.2 dB
  EXPECT_GT(SnrDb(right, r), 21);
}

TEST(WaveCodec, BufferSizesFollowTheCodecBlocks) {
  MemoryCompressor c;
  ASSERT_EQ(c.Init(WAVE_FORMAT_IMA_ADPCM, 11025, 1024, 1), 1);
  EXPECT_EQ(c.CodecBufferBytes(), 3 * 256);  // 1024 frames need three 505-frame blocks
  EXPECT_EQ(c.PcmBufferBytes(), 3 * 505 * 2);
  ASSERT_EQ(c.Init(WAVE_FORMAT_ALAW, 8000, 1024, 1), 1);
  EXPECT_EQ(c.CodecBufferBytes(), 1024);
  EXPECT_EQ(c.PcmBufferBytes(), 2048);
  ASSERT_EQ(c.Init(WAVE_FORMAT_PCM, 11025, 1024, 1), 1);
  EXPECT_EQ(c.CodecFormat()->wBitsPerSample, 16);  // the higher data rate of the two PCMs
  EXPECT_EQ(c.PcmBufferBytes(), 2048);

  MemoryDecompressor d;
  ASSERT_EQ(d.Init(WAVE_FORMAT_IMA_ADPCM, 11025, 1024), 1);
  EXPECT_EQ(d.CodecBufferBytes(), 21 * 256);  // what yields at most one second
  EXPECT_EQ(d.PcmBufferBytes(), 22050);
  ASSERT_EQ(d.Init(WAVE_FORMAT_MULAW, 11025, 1024), 1);
  EXPECT_EQ(d.CodecBufferBytes(), 11025);

  CCodecStream stream;
  WAVEFORMATEX pcm;
  CodecMakePcm16(11025, 1, &pcm);
  ASSERT_EQ(stream.Open(&pcm, c.CodecFormat()), 1);
  EXPECT_EQ(stream.SizeForSource(100), 100);
}

TEST(WaveCodec, InitRefusesWhatNoCodecOffers) {
  MemoryCompressor c;
  EXPECT_EQ(c.Init(0x55, 11025, 1024, 1), 0);
  EXPECT_FALSE(c.LastError().empty());
  EXPECT_EQ(c.Init(WAVE_FORMAT_ALAW, 0, 1024, 1), 0);
  EXPECT_EQ(c.Init(WAVE_FORMAT_ALAW, 8000, 1024, 3), 0);
  AudioBlock* b = wavetest::BlockOf(Sine(100, 1, 8000, 1), 0, 100);
  EXPECT_EQ(c.Compress(b), 0);  // a failed Init leaves nothing to compress with
  EXPECT_EQ(c.Flush(), 0);
  MemoryDecompressor d;
  EXPECT_EQ(d.Init(0x55, 11025, 1024), 0);
  EXPECT_EQ(d.Decompress(b), 0);
  WAVEFORMATEX bad;
  CodecMakePcm16(11025, 1, &bad);
  bad.nChannels = 0;
  EXPECT_EQ(d.Init(&bad, 1024), 0);
  FreeAudioBlock(b);
}

TEST(WaveCodec, CompressStagesSamplesOfAnIncompleteBuffer) {
  MemoryCompressor c;
  ASSERT_EQ(c.Init(WAVE_FORMAT_IMA_ADPCM, 11025, 1024, 1), 1);
  const std::vector<int16_t> s = Sine(4000, 300, 11025, 10000);
  AudioBlock* small = wavetest::BlockOf(s, 0, 1000);
  EXPECT_EQ(c.Compress(small), 0);  // 1000 frames < one 1515-frame buffer
  EXPECT_TRUE(c.out.empty());
  EXPECT_EQ(c.StagedSamples(), 1000);
  AudioBlock* next = wavetest::BlockOf(s, 1000, 1000);
  EXPECT_EQ(c.Compress(next), 768);  // one full buffer: three blocks
  EXPECT_EQ(c.StagedSamples(), 2000 - 1515);
  // A block larger than the whole store is taken in pieces.
  AudioBlock* big = wavetest::BlockOf(s, 2000, 2000);
  EXPECT_EQ(c.Compress(big), 768);
  EXPECT_EQ(c.StagedSamples(), 4000 - 2 * 1515);
  EXPECT_GT(c.Flush(), 0);
  EXPECT_EQ(c.StagedSamples(), 0);
  EXPECT_EQ(c.Flush(), 0);
  MemoryDecompressor d;
  d.in = c.out;
  ASSERT_EQ(d.Init(WAVE_FORMAT_IMA_ADPCM, 11025, 1024), 1);
  const std::vector<int16_t> back = DecompressAll(d, 1024);
  EXPECT_GE(back.size(), 4000u);
  EXPECT_GT(SnrDb(s, back), 25);
  for (AudioBlock* x : {small, next, big}) FreeAudioBlock(x);
}

TEST(WaveCodec, FlushKeepsEverySampleAndClipsOutOfRangeOnes) {
  std::vector<int16_t> s = Sine(3333, 150, 8000, 30000);
  MemoryCompressor c;
  ASSERT_EQ(c.Init(WAVE_FORMAT_PCM, 8000, 1024, 1), 1);
  AudioBlock* b = wavetest::BlockOf(s, 0, 3333);
  b->data[10] = 40000.0f;
  b->data[11] = -50000.0f;
  b->data[12] = 2.5f;  // halves go to the even neighbour
  c.Compress(b);
  c.Flush();
  ASSERT_EQ(c.out.size(), 3333u * 2);
  s[10] = 32767;
  s[11] = -32768;
  s[12] = 2;
  EXPECT_EQ(memcmp(c.out.data(), s.data(), c.out.size()), 0);
  FreeAudioBlock(b);
}

TEST(WaveCodec, DecompressEndsWithAShortCountThenZero) {
  const std::vector<int16_t> s = Sine(2500, 200, 11025, 5000);
  MemoryDecompressor d;
  d.in.resize(s.size() * 2);
  memcpy(d.in.data(), s.data(), d.in.size());
  d.chunk = 777;  // odd pieces
  ASSERT_EQ(d.Init(WAVE_FORMAT_PCM, 11025, 1024), 1);
  AudioBlock* b = nullptr;
  NewAudioBlock(&b, 1024);
  EXPECT_EQ(d.Decompress(b), 1024);
  EXPECT_EQ(b->data[5], float(s[5]));
  EXPECT_EQ(d.Decompress(b), 1024);
  EXPECT_EQ(b->data[0], float(s[1024]));
  EXPECT_EQ(d.Decompress(b), 452);
  EXPECT_EQ(b->data[451], float(s[2499]));
  EXPECT_EQ(b->data[452], 0.0f);  // the rest of a short block is silence
  EXPECT_EQ(d.Decompress(b), 0);
  EXPECT_EQ(d.Decompress(b), 0);
  // Restart forgets the end: the source is read again from where it stands.
  d.pos = 0;
  d.Restart();
  EXPECT_EQ(d.Decompress(b), 1024);
  FreeAudioBlock(b);
}

TEST(WaveCodec, PieceSizeOfTheSourceDoesNotChangeTheResult) {
  const std::vector<int16_t> s = Sine(7000, 900, 11025, 12000);
  std::vector<uint8_t> coded;
  const std::vector<int16_t> whole = RoundTrip(WAVE_FORMAT_IMA_ADPCM, s, 11025, 512, &coded);
  for (int chunk : {1, 3, 255, 257, 5000}) {
    MemoryDecompressor d;
    d.in = coded;
    d.chunk = chunk;
    ASSERT_EQ(d.Init(WAVE_FORMAT_IMA_ADPCM, 11025, 300), 1);
    EXPECT_EQ(DecompressAll(d, 300), whole) << chunk;
  }
}

TEST(WaveCodec, StreamConvertsWholeBlocksUntilTheEnd) {
  CCodecStream stream;
  WAVEFORMATEX pcm;
  CodecMakePcm16(11025, 1, &pcm);
  const std::vector<CodecFormat> formats = CodecEnumFormats(WAVE_FORMAT_IMA_ADPCM, &pcm);
  ASSERT_EQ(formats.size(), 1u);
  ASSERT_EQ(stream.Open(&pcm, formats[0].wfx()), 1);
  const std::vector<int16_t> s = Sine(600, 100, 11025, 3000);
  std::vector<uint8_t> out(1024);
  CodecStreamHeader h;
  h.src = reinterpret_cast<const uint8_t*>(s.data());
  h.srcLength = 1200;
  h.dst = out.data();
  h.dstLength = 1024;
  ASSERT_EQ(stream.Convert(&h, kCodecConvertBlockAlign), 1);
  EXPECT_EQ(h.srcLengthUsed, 505 * 2);
  EXPECT_EQ(h.dstLengthUsed, 256);
  h.src += h.srcLengthUsed;
  h.srcLength -= h.srcLengthUsed;
  ASSERT_EQ(stream.Convert(&h, kCodecConvertEnd), 1);
  EXPECT_EQ(h.srcLengthUsed, 95 * 2);
  EXPECT_EQ(h.dstLengthUsed, 4 + 12 * 4);
  // Too little room: nothing is converted, nothing is lost.
  h.dstLength = 100;
  h.src = reinterpret_cast<const uint8_t*>(s.data());
  h.srcLength = 1200;
  ASSERT_EQ(stream.Convert(&h, kCodecConvertBlockAlign), 1);
  EXPECT_EQ(h.srcLengthUsed, 0);
  EXPECT_EQ(stream.Convert(nullptr, 0), 0);
  // Neither side PCM, or rates that differ: refused.
  EXPECT_EQ(stream.Open(formats[0].wfx(), formats[0].wfx()), 0);
  WAVEFORMATEX other;
  CodecMakePcm16(8000, 1, &other);
  EXPECT_EQ(stream.Open(&other, formats[0].wfx()), 0);
}

TEST(WaveCodec, DecodingGarbageStaysInsideTheBuffers) {
  // Random bytes through every decoder (the sanitizers watch the buffers).
  uint32_t seed = 12345;
  std::vector<uint8_t> junk(20000);
  for (uint8_t& b : junk) b = uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
  for (uint16_t tag : {WAVE_FORMAT_PCM, WAVE_FORMAT_ALAW, WAVE_FORMAT_MULAW, WAVE_FORMAT_IMA_ADPCM}) {
    MemoryDecompressor d;
    d.in = junk;
    d.chunk = 999;
    ASSERT_EQ(d.Init(tag, 8000, 256), 1);
    const std::vector<int16_t> back = DecompressAll(d, 256);
    EXPECT_GT(back.size(), 0u);
    EXPECT_EQ(CodecFramesInBytes(d.CodecFormat(), (long long)junk.size()), (long long)back.size());
  }
}
