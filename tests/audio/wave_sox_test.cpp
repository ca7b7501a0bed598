// Interoperability with sox in both directions, for every codec: files sox writes are read
// by the player sample for sample as sox itself decodes them, and files the recorder writes
// are recognised and decoded by sox as the player decodes them.
#include <gtest/gtest.h>

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

TEST_P(WaveSox, SoxEncoderFloorForComparison) {
  // The same tone through sox's own encoder, decoded by us: the codec's floor with sox.
  const SoxCodec& c = GetParam();
  TempFile in(std::string("tone_") + c.name + ".raw"), wav(std::string("sox_enc_") + c.name + ".wav");
  const std::vector<int16_t> tone = wavetest::Sine(12345, 440, kRate, 15000);
  std::vector<uint8_t> bytes(tone.size() * 2);
  memcpy(bytes.data(), tone.data(), bytes.size());
  wavetest::WriteBytes(in.path(), bytes);
  int status = -1;
  wavetest::Run("sox -t raw -r 11025 -c 1 -e signed-integer -b 16 " + in.path() + " " + c.sox_args + " " +
          wav.path() + " 2>&1", &status);
  ASSERT_EQ(status, 0);
  const std::vector<int16_t> ours = PlayAll(wav.path());
  const double snr = wavetest::SnrDb(tone, ours);
  printf("%s written by sox, decoded by us: SNR %.1f dB\n", c.name, snr);
  EXPECT_GT(snr, c.snr_floor_db);
}

INSTANTIATE_TEST_SUITE_P(Codecs, WaveSox, ::testing::ValuesIn(kCodecs),
                         [](const ::testing::TestParamInfo<SoxCodec>& i) {
                           std::string n = i.param.name;
                           for (char& ch : n)
                             if (ch == '-') ch = '_';
                           return n;
                         });
