// Interoperability with sox in both directions, for every codec: files sox writes are read
// by the player sample for sample as sox itself decodes them, and files the recorder writes
// are recognised and decoded by sox as the player decodes them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "spl/audio/wave_player.h"
#include "spl/audio/wave_recorder.h"
#include "spl/platform/codec.h"
#include "tests/audio/wave_test_util.h"


using wavetest::TempFile;

namespace {

struct SoxCodec {
  const char* name;
  const char* sox_args;   // encoding options of sox
  uint16_t tag;
  const char* sox_info;   // "Sample Encoding" as sox --i reports it
  double snr_floor_db;    // against the original tone
};

const SoxCodec kCodecs[] = {
    {"pcm", "-e signed-integer -b 16", WAVE_FORMAT_PCM, "16-bit Signed Integer PCM", 80},
    {"a-law", "-e a-law", WAVE_FORMAT_ALAW, "8-bit A-law", 35},
    {"u-law", "-e u-law", WAVE_FORMAT_MULAW, "8-bit u-law", 35},
    {"ima-adpcm", "-e ima-adpcm", WAVE_FORMAT_IMA_ADPCM, "4-bit IMA ADPCM", 21},
};

constexpr int kRate = 11025;
constexpr int kBlock = 1024;

std::vector<int16_t> PlayAll(const std::string& path, WAVEFORMATEX* format = nullptr) {
  CWavePlayer player;
  EXPECT_EQ(player.Open(path.c_str(), kBlock), 1) << player.LastError();
  if (format) *format = *player.FileFormat();
  return wavetest::DecompressAll(player, kBlock);
}

std::vector<int16_t> SoxDecode(const std::string& path, const std::string& raw) {
  int status = -1;
  wavetest::Run("sox " + path + " -t raw -e signed-integer -b 16 " + raw + " 2>&1", &status);
  EXPECT_EQ(status, 0);
  return wavetest::ReadRaw16(raw);
}

class WaveSox : public ::testing::TestWithParam<SoxCodec> {
 protected:
  void SetUp() override {
    if (!wavetest::HaveSox()) GTEST_SKIP() << "sox is not installed";
  }
};

}  // namespace

TEST_P(WaveSox, ReadsWhatSoxWrites) {
  const SoxCodec& c = GetParam();
  TempFile wav(std::string("from_sox_") + c.name + ".wav"), raw(std::string("from_sox_") + c.name + ".raw");
  int status = -1;
  wavetest::Run("sox -n -r 11025 -c 1 " + std::string(c.sox_args) + " " + wav.path() +
          " synth 1.3 sine 700 vol 0.5 2>&1", &status);
  ASSERT_EQ(status, 0);
  WAVEFORMATEX format;
  const std::vector<int16_t> ours = PlayAll(wav.path(), &format);
  EXPECT_EQ(format.wFormatTag, c.tag);
  const std::vector<int16_t> theirs = SoxDecode(wav.path(), raw.path());
  // Same decoded samples as sox; sox stops at the "fact" count, we at the end of the data.
  ASSERT_GE(ours.size(), theirs.size());
  EXPECT_LE(ours.size(), theirs.size() + 8);
  ASSERT_GE(theirs.size(), size_t(1.3 * kRate));
  EXPECT_TRUE(std::equal(theirs.begin(), theirs.end(), ours.begin()));
  // Over the tone itself (sox fills the last IMA ADPCM block with silence).
  const std::vector<int16_t> tone(ours.begin(), ours.begin() + long(1.3 * kRate));
  EXPECT_NEAR(wavetest::ZeroCrossingHz(tone, kRate), 700.0, 2.0);
  EXPECT_NEAR(wavetest::Rms(tone), 0.5 * 32767 / std::sqrt(2.0), 0.5 * 32767 * 0.03);
}

TEST_P(WaveSox, SoxReadsWhatTheRecorderWrites) {
  const SoxCodec& c = GetParam();
  TempFile wav(std::string("to_sox_") + c.name + ".wav"), raw(std::string("to_sox_") + c.name + ".raw");
  const std::vector<int16_t> tone = wavetest::Sine(12345, 440, kRate, 15000);
  CWaveRecorder recorder;
  std::vector<uint8_t> format(size_t(CodecMaxFormatSize()), 0);
  reinterpret_cast<WAVEFORMATEX*>(format.data())->wFormatTag = c.tag;
  ASSERT_EQ(recorder.Start(wav.c_str(), reinterpret_cast<WAVEFORMATEX*>(format.data()), kRate, kBlock, 1), 1)
      << recorder.LastError();
  for (size_t at = 0; at < tone.size(); at += kBlock) {
    AudioBlock* b = wavetest::BlockOf(tone, at, kBlock);
    EXPECT_EQ(recorder.Record(b), 1);
    FreeAudioBlock(b);
  }
  ASSERT_EQ(recorder.Stop(), 1);
  const size_t recorded = (tone.size() + kBlock - 1) / kBlock * kBlock;  // whole blocks

  int status = -1;
  const std::string info = wavetest::Run("sox --i " + wav.path() + " 2>&1", &status);
  ASSERT_EQ(status, 0) << info;
  EXPECT_NE(info.find(c.sox_info), std::string::npos) << info;
  EXPECT_NE(info.find("Sample Rate    : 11025"), std::string::npos) << info;
  EXPECT_NE(info.find("Channels       : 1"), std::string::npos) << info;
  const std::vector<int16_t> theirs = SoxDecode(wav.path(), raw.path());
  const std::vector<int16_t> ours = PlayAll(wav.path());
  ASSERT_GE(theirs.size(), recorded);
  EXPECT_LE(theirs.size(), recorded + 8);  // IMA ADPCM rounds its last block to 8 samples
  ASSERT_GE(ours.size(), theirs.size());
  EXPECT_TRUE(std::equal(theirs.begin(), theirs.end(), ours.begin()));
  const double snr = wavetest::SnrDb(tone, theirs);
  printf("%s written by us, decoded by sox: SNR %.1f dB\n", c.name, snr);
  EXPECT_GT(snr, c.snr_floor_db);
}

INSTANTIATE_TEST_SUITE_P(Codecs, WaveSox, ::testing::ValuesIn(kCodecs),
                         [](const ::testing::TestParamInfo<SoxCodec>& i) {
                           std::string n = i.param.name;
                           for (char& ch : n)
                             if (ch == '-') ch = '_';
                           return n;
                         });

namespace {

// Formats sox writes that are read but never recorded, narrowed to 16 bits by the player.
struct SoxWide {
  const char* name;
  const char* sox_args;
  uint16_t file_tag;   // as the file holds it
  int channels;        // in the file; the player gives at most two, else the first
};

const SoxWide kWide[] = {
    {"int24", "-e signed-integer -b 24 -c 1", 0xFFFE, 1},
    {"int32", "-e signed-integer -b 32 -c 1", 0xFFFE, 1},
    {"float32", "-e floating-point -b 32 -c 1", WAVE_FORMAT_IEEE_FLOAT, 1},
    {"int24_stereo", "-e signed-integer -b 24 -c 2", 0xFFFE, 2},
    {"int16_4ch", "-e signed-integer -b 16 -c 4", 0xFFFE, 4},
};

// Samples as sox reads them (full scale +-1.0), channels interleaved.
std::vector<double> SoxSamples(const std::string& path) {
  int status = -1;
  const std::string raw = wavetest::Run("sox " + path + " -t raw -e floating-point -b 64 - 2>/dev/null", &status);
  EXPECT_EQ(status, 0);
  std::vector<double> v(raw.size() / sizeof(double));
  memcpy(v.data(), raw.data(), v.size() * sizeof(double));
  return v;
}

class WaveSoxWide : public ::testing::TestWithParam<SoxWide> {
 protected:
  void SetUp() override {
    if (!wavetest::HaveSox()) GTEST_SKIP() << "sox is not installed";
  }
};

}  // namespace

TEST_P(WaveSoxWide, PlaysTheSamplesSoxReadsRoundedToSixteenBits) {
  const SoxWide& c = GetParam();
  TempFile wav(std::string("wide_") + c.name + ".wav");
  int status = -1;
  // A different tone on each channel, so that a channel mix-up shows.
  wavetest::Run("sox -n -r 11025 " + std::string(c.sox_args) + " " + wav.path() +
                    " synth 0.7 sine 1000 sine 1300 sine 500 sine 700 2>&1",
                &status);
  ASSERT_EQ(status, 0);
  CWavePlayer player;
  ASSERT_EQ(player.Open(wav.c_str(), kBlock), 1) << player.LastError();
  EXPECT_EQ(player.FileTag(), c.file_tag);
  EXPECT_EQ(player.FileFormat()->nChannels, c.channels);
  const int played_channels = c.channels <= 2 ? c.channels : 1;
  EXPECT_EQ(player.PcmFormat()->nChannels, played_channels);
  const std::vector<int16_t> ours = wavetest::DecompressAll(player, kBlock);
  const std::vector<double> theirs = SoxSamples(wav.path());
  const size_t frames = 7717;  // 0.7 s
  ASSERT_EQ(theirs.size(), frames * size_t(c.channels));
  ASSERT_EQ(ours.size(), frames * size_t(played_channels));
  int nonzero = 0;
  for (size_t i = 0; i < frames; ++i) {
    for (int ch = 0; ch < played_channels; ++ch) {
      const double want = std::clamp(theirs[i * size_t(c.channels) + size_t(ch)] * 32768.0, -32768.0, 32767.0);
      const int16_t got = ours[i * size_t(played_channels) + size_t(ch)];
      ASSERT_NEAR(got, want, 0.5 + 1e-3) << "frame " << i << " channel " << ch;
      nonzero += got != 0;
    }
  }
  EXPECT_GT(nonzero, int(frames) / 2);
}

INSTANTIATE_TEST_SUITE_P(Formats, WaveSoxWide, ::testing::ValuesIn(kWide),
                         [](const ::testing::TestParamInfo<SoxWide>& i) { return std::string(i.param.name); });
