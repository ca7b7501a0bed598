// CWaveFile: the byte layout it writes, the chunk walk of Open, refusal of damaged files,
// the choice of formats (FindFormat, SelectFormat) and the codec list.
#include "spl/audio/wave_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>
#include <tuple>

#include "spl/audio/list_codecs.h"
#include "spl/platform/codec.h"
#include "spl/platform/format_chooser.h"
#include "tests/audio/wave_test_util.h"

using wavetest::TempFile;
using wavetest::U16;
using wavetest::U32;

namespace {

void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void PutId(std::vector<uint8_t>& b, const char* id) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(id[i]));
}

struct Chunk {
  std::string id;
  std::vector<uint8_t> body;
};

// A RIFF WAVE file of the given chunks, each padded to even length.
std::vector<uint8_t> MakeRiff(const std::vector<Chunk>& chunks, const char* form = "WAVE") {
  std::vector<uint8_t> b;
  PutId(b, "RIFF");
  Put32(b, 0);
  PutId(b, form);
  for (const Chunk& c : chunks) {
    PutId(b, c.id.c_str());
    Put32(b, uint32_t(c.body.size()));
    b.insert(b.end(), c.body.begin(), c.body.end());
    if (c.body.size() & 1) b.push_back(0);
  }
  const uint32_t riff = uint32_t(b.size() - 8);
  for (int i = 0; i < 4; ++i) b[4 + size_t(i)] = uint8_t(riff >> (8 * i));
  return b;
}

std::vector<uint8_t> FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t align,
                             uint16_t bits, int size = 16, std::vector<uint8_t> extra = {}) {
  std::vector<uint8_t> b;
  Put16(b, tag);
  Put16(b, channels);
  Put32(b, rate);
  Put32(b, rate * align);
  Put16(b, align);
  Put16(b, bits);
  if (size >= 18) Put16(b, uint16_t(extra.size()));
  b.insert(b.end(), extra.begin(), extra.end());
  b.resize(size_t(size), 0);
  return b;
}

std::vector<uint8_t> Pcm16Fmt() { return FmtBody(1, 1, 11025, 2, 16); }

// A WAVE_FORMAT_EXTENSIBLE record of the subformat tag.
std::vector<uint8_t> ExtensibleFmt(uint16_t sub, uint16_t channels, uint16_t bits, uint16_t valid) {
  std::vector<uint8_t> extra;
  Put16(extra, valid);
  Put32(extra, channels == 1 ? 0x4 : 0x3);  // front centre, or front left and right
  Put16(extra, sub);
  for (uint8_t v : {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71})
    extra.push_back(v);
  const uint16_t align = uint16_t(channels * bits / 8);
  return FmtBody(0xFFFE, channels, 11025, align, bits, 40, extra);
}
std::vector<uint8_t> Ramp(int n) {
  std::vector<uint8_t> b(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) b[size_t(i)] = uint8_t(i * 7 + 3);
  return b;
}

struct FormatBuffer {
  explicit FormatBuffer(int size) : bytes(size_t(size), 0xAB) {}
  WAVEFORMATEX* wfx() { return reinterpret_cast<WAVEFORMATEX*>(bytes.data()); }
  std::vector<uint8_t> bytes;
};

}  // namespace

TEST(WaveFile, GetWfxFillsAPcmRecordOfTheLargestFormatSize) {
  CWaveFile f;
  EXPECT_EQ(f.MaxFormatSize(), 20);  // IMA ADPCM: the base record and samples per block
  WAVEFORMATEX* w = f.GetWFX(22050, 8, 2);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->nBlockAlign, 2);
  EXPECT_EQ(w->nAvgBytesPerSec, 44100u);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(w)[19], 0);
  free(w);
}

TEST(WaveFile, PcmFileIsByteExact) {
  TempFile t("pcm2094.wav");
  CWaveFile f;
  WAVEFORMATEX* w = f.GetWFX(11025, 16, 1);
  ASSERT_EQ(f.Create(t.c_str(), w), 1);
  EXPECT_EQ(f.SeekCur(0), 46);
  const std::vector<uint8_t> samples = Ramp(2048);
  EXPECT_EQ(f.Write(samples.data(), 2048), 1);
  EXPECT_EQ(f.Close(), 1);

  const std::vector<uint8_t> record = FmtBody(1, 1, 11025, 2, 16, 18);
  const std::vector<uint8_t> got = wavetest::ReadBytes(t.path());
  ASSERT_EQ(got.size(), 2094u);
  EXPECT_EQ(U32(got, 4), 2086u);
  EXPECT_EQ(got, MakeRiff({{"fmt ", record}, {"data", samples}}));

  FormatBuffer fb(f.MaxFormatSize());
  EXPECT_EQ(f.Open(t.c_str(), fb.wfx()), 2048);
  EXPECT_EQ(f.SeekCur(0), 46);
  EXPECT_EQ(memcmp(fb.bytes.data(), record.data(), 18), 0);
  EXPECT_EQ(fb.bytes[18], 0);  // the rest of the buffer is cleared
  std::vector<uint8_t> back(4096);
  EXPECT_EQ(f.Read(back.data(), 4096), 2048);
  back.resize(2048);
  EXPECT_EQ(back, samples);
  EXPECT_EQ(f.Read(back.data(), 1), 0);
  EXPECT_EQ(f.SeekSet(46 + 100), 146);
  EXPECT_EQ(f.Read(back.data(), 1), 1);
  EXPECT_EQ(back[0], samples[100]);
  EXPECT_EQ(f.Close(), 1);
  free(w);
}

TEST(WaveFile, OddDataIsPaddedAndItsSizeKept) {
  TempFile t("odd.wav");
  CWaveFile f;
  WAVEFORMATEX* w = f.GetWFX(8000, 8, 1);
  ASSERT_EQ(f.Create(t.c_str(), w), 1);
  const std::vector<uint8_t> samples = Ramp(2047);
  ASSERT_EQ(f.Write(samples.data(), 2047), 1);
  ASSERT_EQ(f.Close(), 1);
  const std::vector<uint8_t> got = wavetest::ReadBytes(t.path());
  ASSERT_EQ(got.size(), 2094u);
  EXPECT_EQ(U32(got, 4), 2086u);
  EXPECT_EQ(U32(got, 42), 2047u);
  EXPECT_EQ(got.back(), 0);
  FormatBuffer fb(f.MaxFormatSize());
  EXPECT_EQ(f.Open(t.c_str(), fb.wfx()), 2047);
  std::vector<uint8_t> back(3000);
  EXPECT_EQ(f.Read(back.data(), 3000), 2047);  // not the pad byte
  f.Close();
  free(w);
}

TEST(WaveFile, OpenWalksPastOtherChunksAndStopsAtTheDataEnd) {
  // An odd chunk before "fmt ", a chunk between "fmt " and "data", one after "data".
  const std::vector<uint8_t> data = Ramp(301);
  TempFile t("chunks.wav");
  wavetest::WriteBytes(t.path(), MakeRiff({{"LIST", Ramp(5)},
                                           {"fmt ", FmtBody(1, 1, 11025, 1, 8)},
                                           {"junk", Ramp(3)},
                                           {"data", data},
                                           {"INFO", Ramp(40)}}));
  CWaveFile f;
  FormatBuffer fb(f.MaxFormatSize());
  ASSERT_EQ(f.Open(t.c_str(), fb.wfx()), 301);
  EXPECT_EQ(fb.wfx()->wBitsPerSample, 8);
  EXPECT_EQ(fb.wfx()->cbSize, 0);  // a 16-byte chunk: no extra size
  EXPECT_EQ(f.SeekCur(0), 12 + 8 + 6 + 8 + 16 + 8 + 4 + 8);
  std::vector<uint8_t> back(1000);
  EXPECT_EQ(f.Read(back.data(), 1000), 301);
  back.resize(301);
  EXPECT_EQ(back, data);
  EXPECT_EQ(f.FactFrames(), -1);
  f.Close();
}

TEST(WaveFile, CodecFilesCarryAFactChunkWithTheFrameCount) {
  CWaveFile f;
  FormatBuffer ima(f.MaxFormatSize());
  ima.wfx()->wFormatTag = WAVE_FORMAT_IMA_ADPCM;
  ASSERT_EQ(f.FindFormat(ima.wfx()), 1);
  TempFile t("fact.wav");
  ASSERT_EQ(f.Create(t.c_str(), ima.wfx()), 1);
  EXPECT_EQ(f.SeekCur(0), 60);  // "fmt " of 20 bytes and a "fact" chunk
  const std::vector<uint8_t> blocks(256 * 3, 0);
  f.Write(blocks.data(), int(blocks.size()));
  ASSERT_EQ(f.Close(), 1);
  const std::vector<uint8_t> got = wavetest::ReadBytes(t.path());
  ASSERT_EQ(got.size(), 60u + 768u);
  EXPECT_EQ(U32(got, 16), 20u);
  EXPECT_EQ(memcmp(&got[40], "fact", 4), 0);
  EXPECT_EQ(U32(got, 44), 4u);
  EXPECT_EQ(U32(got, 48), 3u * 505u);
  EXPECT_EQ(U32(got, 56), 768u);
  EXPECT_EQ(U32(got, 4), uint32_t(got.size() - 8));
  FormatBuffer fb(f.MaxFormatSize());
  EXPECT_EQ(f.Open(t.c_str(), fb.wfx()), 768);
  EXPECT_EQ(f.FactFrames(), 1515);
  EXPECT_EQ(memcmp(fb.bytes.data(), ima.bytes.data(), 20), 0);
  f.Close();
}

TEST(WaveFile, OperationsWithoutAFileFail) {
  CWaveFile f;
  uint8_t b[4] = {};
  EXPECT_EQ(f.Write(b, 4), 0);
  EXPECT_EQ(f.Read(b, 4), 0);
  EXPECT_EQ(f.SeekSet(10), 0);
  EXPECT_EQ(f.SeekCur(0), 0);
  EXPECT_EQ(f.Close(), 0);
  WAVEFORMATEX* w = f.GetWFX(11025, 16, 1);
  EXPECT_EQ(f.Create("/nonexistent-folder/x.wav", w), 0);
  EXPECT_NE(f.LastError().find("cannot create"), std::string::npos);
  free(w);
}

// Each damaged file is refused with a reason, without touching the caller's format buffer.
struct BadCase {
  const char* name;
  std::vector<uint8_t> bytes;
  const char* reason;
};


std::vector<BadCase> BadCases() {
  const std::vector<uint8_t> good = MakeRiff({{"fmt ", Pcm16Fmt()}, {"data", Ramp(100)}});
  std::vector<BadCase> cases;
  cases.push_back({"empty", {}, "truncated"});
  cases.push_back({"header only", std::vector<uint8_t>(good.begin(), good.begin() + 10), "truncated"});
  std::vector<uint8_t> b = good;
  b[3] = 'X';
  cases.push_back({"not RIFF", b, "not a RIFF file"});
  b = good;
  b[8] = 'A';
  cases.push_back({"not WAVE", b, "not a WAVE file"});
  cases.push_back({"cut inside the first sample", std::vector<uint8_t>(good.begin(), good.begin() + 45),
                   "truncated: no whole block"});
  b = good;
  b[16] = 0xF0, b[17] = 0xFF;  // "fmt " size past the end
  cases.push_back({"fmt size past end", b, "runs past the end"});
  cases.push_back({"fmt larger than largest format",
                   MakeRiff({{"fmt ", FmtBody(1, 1, 11025, 2, 16, 42)}, {"data", Ramp(10)}}),
                   "larger than the largest format"});
  cases.push_back({"fmt too small", MakeRiff({{"fmt ", std::vector<uint8_t>(12, 1)}, {"data", Ramp(10)}}),
                   "too small"});
  cases.push_back({"no data", MakeRiff({{"fmt ", Pcm16Fmt()}, {"LIST", Ramp(10)}}), "no \"data\" chunk"});
  cases.push_back({"no fmt", MakeRiff({{"LIST", Ramp(10)}}), "no \"fmt \" chunk"});
  cases.push_back({"data before fmt", MakeRiff({{"data", Ramp(10)}, {"fmt ", Pcm16Fmt()}}), "before"});
  cases.push_back({"empty data", MakeRiff({{"fmt ", Pcm16Fmt()}, {"data", {}}}), "empty"});
  cases.push_back({"unknown tag", MakeRiff({{"fmt ", FmtBody(0x55, 1, 11025, 1, 0)}, {"data", Ramp(10)}}),
                   "unknown format tag 0x0055"});
  cases.push_back({"extensible without its extra bytes",
                   MakeRiff({{"fmt ", FmtBody(0xFFFE, 1, 11025, 2, 16)}, {"data", Ramp(10)}}),
                   "without a PCM or float subformat"});
  cases.push_back({"extensible of A-law",
                   MakeRiff({{"fmt ", ExtensibleFmt(6, 1, 8, 8)}, {"data", Ramp(10)}}),
                   "subformat 0x0006"});
  cases.push_back({"zero channels", MakeRiff({{"fmt ", FmtBody(1, 0, 11025, 2, 16)}, {"data", Ramp(10)}}),
                   "no channels"});
  cases.push_back({"zero rate", MakeRiff({{"fmt ", FmtBody(1, 1, 0, 2, 16)}, {"data", Ramp(10)}}),
                   "sample rate"});
  cases.push_back({"20-bit PCM", MakeRiff({{"fmt ", FmtBody(1, 1, 11025, 3, 20)}, {"data", Ramp(12)}}),
                   "not supported"});
  cases.push_back({"64-bit float", MakeRiff({{"fmt ", FmtBody(3, 1, 11025, 8, 64)}, {"data", Ramp(16)}}),
                   "unknown format tag 0x0003"});
  cases.push_back({"extra size past chunk",
                   MakeRiff({{"fmt ", FmtBody(0x11, 1, 11025, 256, 4, 18, {})}, {"data", Ramp(10)}}),
                   "samples-per-block"});
  std::vector<uint8_t> fmt = FmtBody(0x11, 1, 11025, 256, 4, 20, {0xF9, 0x01});
  fmt[16] = 4;  // cbSize 4 in a 20-byte chunk
  cases.push_back({"cbSize past chunk", MakeRiff({{"fmt ", fmt}, {"data", Ramp(10)}}), "extra size"});
  cases.push_back({"IMA wrong samples per block",
                   MakeRiff({{"fmt ", FmtBody(0x11, 1, 11025, 256, 4, 20, {0x00, 0x01})}, {"data", Ramp(10)}}),
                   "samples per block"});
  cases.push_back({"IMA odd block align",
                   MakeRiff({{"fmt ", FmtBody(0x11, 1, 11025, 250, 4, 20, {0xF1, 0x01})}, {"data", Ramp(10)}}),
                   "block align"});
  cases.push_back({"A-law 16 bits", MakeRiff({{"fmt ", FmtBody(6, 1, 8000, 1, 16)}, {"data", Ramp(10)}}),
                   "8 bits"});
  cases.push_back({"3 channels of A-law", MakeRiff({{"fmt ", FmtBody(6, 3, 8000, 3, 8)}, {"data", Ramp(12)}}),
                   "channels"});
  return cases;
}

TEST(WaveFile, DamagedFilesAreRefusedWithAReason) {
  for (const BadCase& c : BadCases()) {
    SCOPED_TRACE(c.name);
    TempFile t("bad.wav");
    wavetest::WriteBytes(t.path(), c.bytes);
    CWaveFile f;
    FormatBuffer fb(f.MaxFormatSize());
    const std::vector<uint8_t> before = fb.bytes;
    EXPECT_EQ(f.Open(t.c_str(), fb.wfx()), 0);
    EXPECT_NE(f.LastError().find(c.reason), std::string::npos) << f.LastError();
    EXPECT_EQ(fb.bytes, before);
    EXPECT_EQ(f.IsOpen(), 0);
    EXPECT_EQ(f.Read(fb.bytes.data(), 4), 0);
  }
  CWaveFile f;
  FormatBuffer fb(f.MaxFormatSize());
  EXPECT_EQ(f.Open("/nonexistent-folder/none.wav", fb.wfx()), 0);
  EXPECT_NE(f.LastError().find("cannot open"), std::string::npos);
}

// Files as recorders and other programs leave them: cut off, with a pipe's header, of the
// formats that are read but never recorded. Each opens with the data that are there.
struct ReadCase {
  const char* name;
  std::vector<uint8_t> bytes;
  int data_bytes;           // what Open returns and Read gives
  int truncated;
  long long declared;       // DeclaredDataSize()
  uint16_t tag, channels, bits, align, file_tag;
};

std::vector<uint8_t> WithSizes(std::vector<uint8_t> b, uint32_t riff, uint32_t data, size_t keep) {
  b.resize(keep);
  for (int i = 0; i < 4; ++i) b[4 + size_t(i)] = uint8_t(riff >> (8 * i));
  for (int i = 0; i < 4; ++i) b[40 + size_t(i)] = uint8_t(data >> (8 * i));
  return b;
}

std::vector<uint8_t> Cut(std::vector<uint8_t> b, size_t keep) {
  b.resize(keep);
  return b;
}

std::vector<ReadCase> ReadCases() {
  const std::vector<uint8_t> good = MakeRiff({{"fmt ", Pcm16Fmt()}, {"data", Ramp(100)}});
  const size_t whole = good.size(), riff = whole - 8;
  std::vector<ReadCase> cases;
  cases.push_back({"cut inside the data", WithSizes(good, uint32_t(riff), 100, whole - 30), 70, 1, 100,
                   1, 1, 16, 2, 1});
  cases.push_back({"cut inside a sample", WithSizes(good, uint32_t(riff), 100, whole - 31), 68, 1, 100,
                   1, 1, 16, 2, 1});
  for (uint32_t size : {0xFFFFFFFFu, 0x7FFFFFFFu, 0x7FFFF000u, 0u})
    cases.push_back({"pipe header", WithSizes(good, size, size, whole), 100, 0, 100, 1, 1, 16, 2, 1});
  cases.push_back({"pipe header cut inside a sample", WithSizes(good, 0x7FFFFFFF, 0x7FFFFFFF, whole - 1), 98, 0,
                   99, 1, 1, 16, 2, 1});
  cases.push_back({"extensible 24-bit stereo",
                   MakeRiff({{"fmt ", ExtensibleFmt(1, 2, 24, 24)}, {"data", Ramp(12)}}), 12, 0, 12,
                   1, 2, 24, 6, 0xFFFE});
  cases.push_back({"extensible float, cut",
                   Cut(MakeRiff({{"fmt ", ExtensibleFmt(3, 1, 32, 32)}, {"data", Ramp(16)}}), 77),
                   8, 1, 16, 3, 1, 32, 4, 0xFFFE});
  cases.push_back({"plain float", MakeRiff({{"fmt ", FmtBody(3, 1, 11025, 4, 32, 18)}, {"data", Ramp(8)}}), 8,
                   0, 8, 3, 1, 32, 4, 3});
  cases.push_back({"32-bit PCM", MakeRiff({{"fmt ", FmtBody(1, 1, 11025, 4, 32)}, {"data", Ramp(8)}}), 8, 0, 8,
                   1, 1, 32, 4, 1});
  cases.push_back({"4 channels", MakeRiff({{"fmt ", FmtBody(1, 4, 11025, 8, 16)}, {"data", Ramp(16)}}), 16, 0,
                   16, 1, 4, 16, 8, 1});
  return cases;
}

TEST(WaveFile, FilesAsRecordersLeaveThemAreReadAsFarAsTheyGo) {
  for (const ReadCase& c : ReadCases()) {
    SCOPED_TRACE(c.name);
    TempFile t("read.wav");
    wavetest::WriteBytes(t.path(), c.bytes);
    CWaveFile f;
    FormatBuffer fb(f.MaxFormatSize());
    ASSERT_EQ(f.Open(t.c_str(), fb.wfx()), c.data_bytes) << f.LastError();
    EXPECT_EQ(f.Truncated(), c.truncated);
    EXPECT_EQ(f.DeclaredDataSize(), c.declared);
    EXPECT_EQ(f.FileTag(), c.file_tag);
    const WAVEFORMATEX* w = fb.wfx();
    EXPECT_EQ(w->wFormatTag, c.tag);
    EXPECT_EQ(w->nChannels, c.channels);
    EXPECT_EQ(w->wBitsPerSample, c.bits);
    EXPECT_EQ(w->nBlockAlign, c.align);
    EXPECT_EQ(w->cbSize, 0);
    std::vector<uint8_t> got(256);
    got.resize(size_t(f.Read(got.data(), int(got.size()))));
    const size_t start = size_t(f.DataStart());
    EXPECT_EQ(got, std::vector<uint8_t>(c.bytes.begin() + long(start), c.bytes.begin() + long(start) + c.data_bytes));
    f.Close();
  }
}

// Narrowing to 16 bits rounds to the nearest step and clips: integers of every size, and
// float full scale +-1.0 (NaN is silence).
TEST(WaveFile, WideSamplesNarrowToSixteenBits) {
  struct Row {
    WAVEFORMATEX wfx;
    std::vector<uint8_t> in;
    std::vector<int16_t> want;
  };
  auto Format = [](uint16_t tag, uint16_t channels, uint16_t bits) {
    WAVEFORMATEX w{};
    w.wFormatTag = tag;
    w.nChannels = channels;
    w.nSamplesPerSec = 8000;
    w.wBitsPerSample = bits;
    w.nBlockAlign = uint16_t(channels * bits / 8);
    return w;
  };
  auto Floats = [](std::vector<float> v) {
    std::vector<uint8_t> b(v.size() * 4);
    memcpy(b.data(), v.data(), b.size());
    return b;
  };
  const std::vector<Row> rows = {
      {Format(1, 1, 24), {0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80, 0x80, 0x00, 0x00, 0x7F, 0x00, 0x00,
                          0x80, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0x80, 0x34, 0x12},
       {32767, -32768, 1, 0, 0, -1, 0x1235}},
      {Format(1, 1, 32), {0x00, 0x80, 0x34, 0x12, 0xFF, 0x7F, 0x34, 0x12, 0x00, 0x00, 0x00, 0x80},
       {0x1235, 0x1234, -32768}},
      {Format(1, 3, 8), {0xFF, 1, 2, 0x00, 3, 4, 0x80, 5, 6}, {32512, -32768, 0}},
      {Format(3, 2, 32), Floats({0.5f, 9.0f, -1.0f, 9.0f, 1.5f, 9.0f, -2.0f, 9.0f, NAN, 9.0f,
                                 1.5f / 32768, 9.0f, -0.4f / 32768, 9.0f}),
       {16384, -32768, 32767, -32768, 0, 2, 0}},
  };
  for (const Row& r : rows) {
    WaveSampleLayout layout;
    ASSERT_EQ(WaveSampleLayoutOf(&r.wfx, &layout), 1);
    EXPECT_EQ(WaveNeedsNarrowing(&r.wfx), 1);
    const int frames = int(r.in.size()) / r.wfx.nBlockAlign;
    std::vector<int16_t> out(static_cast<size_t>(frames));
    WaveNarrowFrames(r.in.data(), frames, layout, 1, out.data());
    EXPECT_EQ(out, r.want) << "tag " << r.wfx.wFormatTag << ", " << r.wfx.wBitsPerSample << " bits";
  }
  const WAVEFORMATEX pcm16 = Format(1, 2, 16);
  EXPECT_EQ(WaveNeedsNarrowing(&pcm16), 0);  // the codecs take it as it is
}

TEST(WaveFile, FindFormatTakesTheClosestCodecFormat) {
  CWaveFile f;
  FormatBuffer fb(f.MaxFormatSize());
  memset(fb.bytes.data(), 0, fb.bytes.size());
  fb.wfx()->wFormatTag = WAVE_FORMAT_IMA_ADPCM;
  ASSERT_EQ(f.FindFormat(fb.wfx()), 1);
  EXPECT_EQ(fb.wfx()->nBlockAlign, 256);
  EXPECT_EQ(U16(fb.bytes, 18), 505);
  EXPECT_EQ(fb.wfx()->nAvgBytesPerSec, 5589u);
  EXPECT_EQ(f.DriverName(), "IMA ADPCM");
  EXPECT_EQ(f.FormatDescription(), "11.025 kHz, 4 Bit, Mono");

  fb.wfx()->wFormatTag = WAVE_FORMAT_MULAW;
  fb.wfx()->nAvgBytesPerSec = 16000;
  fb.wfx()->nBlockAlign = 2;
  ASSERT_EQ(f.FindFormat(fb.wfx()), 1);
  EXPECT_EQ(fb.wfx()->wFormatTag, WAVE_FORMAT_MULAW);
  EXPECT_EQ(fb.wfx()->nSamplesPerSec, 11025u);  // rate and channels outweigh the data rate

  fb.wfx()->wFormatTag = 0x55;
  EXPECT_EQ(f.FindFormat(fb.wfx()), 0);
}

TEST(WaveFile, SelectFormatTakesTheChoiceByName) {
  CWaveFile f;
  FormatBuffer fb(f.MaxFormatSize());
  memset(fb.bytes.data(), 0, fb.bytes.size());
  unsetenv(kWaveFormatChoiceVariable);
  EXPECT_EQ(f.SelectFormat(nullptr, fb.wfx()), 0);  // nothing chosen: like a cancelled chooser
  setenv(kWaveFormatChoiceVariable, "a-law:8000", 1);
  ASSERT_EQ(f.SelectFormat(nullptr, fb.wfx()), 1);
  EXPECT_EQ(fb.wfx()->wFormatTag, WAVE_FORMAT_ALAW);
  EXPECT_EQ(fb.wfx()->nSamplesPerSec, 8000u);
  // Rate and channels default to those of the record it starts from.
  setenv(kWaveFormatChoiceVariable, "IMA-ADPCM", 1);
  ASSERT_EQ(f.SelectFormat(nullptr, fb.wfx()), 1);
  EXPECT_EQ(fb.wfx()->wFormatTag, WAVE_FORMAT_IMA_ADPCM);
  EXPECT_EQ(fb.wfx()->nSamplesPerSec, 8000u);
  setenv(kWaveFormatChoiceVariable, "pcm:22050:2", 1);
  ASSERT_EQ(f.SelectFormat(nullptr, fb.wfx()), 1);
  EXPECT_EQ(fb.wfx()->nBlockAlign, 4);
  const std::vector<uint8_t> before = fb.bytes;
  for (const char* bad : {"mp3", "pcm:abc", "pcm:500", "u-law:8000:3", ""}) {
    setenv(kWaveFormatChoiceVariable, bad, 1);
    EXPECT_EQ(f.SelectFormat(nullptr, fb.wfx()), 0) << bad;
    EXPECT_EQ(fb.bytes, before) << bad;
  }
  unsetenv(kWaveFormatChoiceVariable);
}

TEST(WaveFile, CodecListHoldsDistinctFormatsWithNames) {
  CListCodecs list;
  EXPECT_EQ(list.MaxFormatSize(), 20);
  ASSERT_GT(list.Count(), 0);
  std::set<std::tuple<int, int, unsigned, unsigned, int>> seen;
  bool ima_mono = false;
  std::set<std::string> names;
  for (int i = 0; i < list.Count(); ++i) {
    const WAVEFORMATEX* w = list.Format(i);
    EXPECT_TRUE(seen.insert({w->wFormatTag, w->nChannels, w->nSamplesPerSec, w->nAvgBytesPerSec,
                             w->nBlockAlign}).second);
    EXPECT_EQ(CodecCheckFormat(w, list.MaxFormatSize()), nullptr) << list.Description(i);
    names.insert(list.TagName(i));
    if (w->wFormatTag == WAVE_FORMAT_IMA_ADPCM && w->nChannels == 1 && w->nSamplesPerSec == 11025) {
      ima_mono = true;
      EXPECT_EQ(list.TagName(i), "IMA ADPCM");
      EXPECT_EQ(list.Description(i), "11.025 kHz, 4 Bit, Mono");
    }
  }
  EXPECT_TRUE(ima_mono);
  EXPECT_EQ(names, (std::set<std::string>{"PCM", "A-Law", "mu-Law", "IMA ADPCM"}));
  EXPECT_EQ(list.Format(list.Count()), nullptr);
}
