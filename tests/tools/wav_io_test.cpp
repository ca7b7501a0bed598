// The decode modes' wave input and the transmit modes' wave output.
#include "tools/kestrel/wav_io.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "tests/common/signal_test_util.h"

namespace {

// A 16-bit file of the given channels whose first channel counts 0, 1, 2 ... and whose second
// channel is the negative of it.
void WriteCounting(const std::string& path, int channels, int frames, int tag = 1, int bits = 16) {
  CWaveFile f;
  WAVEFORMATEX* wfx = f.GetWFX(8000, bits, channels);
  wfx->wFormatTag = uint16_t(tag);
  ASSERT_EQ(f.Create(path.c_str(), wfx), 1);
  free(wfx);
  std::vector<int16_t> s;
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) s.push_back(int16_t(c == 0 ? i : -i));
  if (!s.empty()) ASSERT_EQ(f.Write(s.data(), int(s.size() * 2)), 1);
  ASSERT_EQ(f.Close(), 1);
}

TEST(WavIo, MultichannelFilesGiveTheirFirstChannelInBlocksWithAShortOrPaddedLastOne) {
  sigtest::TempDir dir;
  const std::string path = dir.File("stereo.wav");
  for (int channels : {2, 3}) {
    for (bool pad : {false, true}) {
      SCOPED_TRACE(channels);
      WriteCounting(path, channels, 2500);
      CWavBlockReader r;
      ASSERT_EQ(r.Open(path, 1024), 1) << r.Error();
      EXPECT_EQ(r.Rate(), 8000);
      EXPECT_EQ(r.Frames(), 2500);
      std::vector<int> counts;
      std::vector<float> all;
      while (AudioBlock* b = r.Next(pad)) {
        counts.push_back(b->count);
        all.insert(all.end(), b->data, b->data + b->count);
      }
      EXPECT_EQ(counts, (std::vector<int>{1024, 1024, pad ? 1024 : 452}));
      for (int i = 0; i < 2500; ++i) ASSERT_EQ(all[size_t(i)], float(i));
      for (size_t i = 2500; i < all.size(); ++i) ASSERT_EQ(all[i], 0.0f);
    }
  }
}

TEST(WavIo, FilesTheDecodersCannotTakeAreRefusedWithAReason) {
  sigtest::TempDir dir;
  CWavBlockReader r;
  EXPECT_EQ(r.Open(dir.File("missing.wav"), 1024), 0);
  EXPECT_NE(r.Error().find("cannot open"), std::string::npos) << r.Error();
  WriteCounting(dir.File("empty.wav"), 1, 0);
  EXPECT_EQ(r.Open(dir.File("empty.wav"), 1024), 0);
  EXPECT_NE(r.Error().find("empty"), std::string::npos) << r.Error();
  WriteCounting(dir.File("alaw.wav"), 1, 100, 6, 8);
  EXPECT_EQ(r.Open(dir.File("alaw.wav"), 1024), 0);
  EXPECT_EQ(r.Error(), "not a PCM or floating-point wave file");
  EXPECT_EQ(r.Next(), nullptr);
}

TEST(WavIo, WriterRoundsAndClipsToSixteenBits) {
  sigtest::TempDir dir;
  const std::string path = dir.File("out.wav");
  ASSERT_TRUE(sigtest::WriteMonoWav(path, 11025, {0.4f, -0.6f, 40000.0f, -40000.0f, 1234.5f}));
  int rate = 0;
  EXPECT_EQ(sigtest::ReadMonoWav(path, &rate), (std::vector<float>{0, -1, 32767, -32768, 1234}));
  EXPECT_EQ(rate, 11025);
}

}  // namespace
