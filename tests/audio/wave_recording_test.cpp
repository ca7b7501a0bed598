// Recording and playing wave files: the recorder keeps every sample when stopped, the player
// seeks, and the scan recording's segments point at their real data.
#include <gtest/gtest.h>

#include <cstdio>

#include "spl/audio/scan_recorder.h"
#include "spl/audio/wave_player.h"
#include "spl/audio/wave_recorder.h"
#include "spl/platform/codec.h"
#include "spl/platform/codec_g711.h"
#include "tests/audio/wave_test_util.h"

using wavetest::TempFile;

namespace {

std::vector<uint8_t> FormatOfTag(uint16_t tag) {
  std::vector<uint8_t> f(size_t(CodecMaxFormatSize()), 0);
  reinterpret_cast<WAVEFORMATEX*>(f.data())->wFormatTag = tag;
  return f;
}

// A block whose samples say which block and sample they are: block * 100 + i.
AudioBlock* MarkedBlock(int block, int n) {
  AudioBlock* b = nullptr;
  NewAudioBlock(&b, n);
  for (int i = 0; i < n; ++i) b->data[i] = float(block * 100 + i % 100);
  return b;
}

}  // namespace

TEST(WaveRecording, StopWritesTheStagedSamples) {
  // 10 blocks of 1000 samples: none of the codec buffers divides 10000 evenly.
  const std::vector<int16_t> s = wavetest::Sine(10000, 321, 11025, 9000);
  for (uint16_t tag : {WAVE_FORMAT_PCM, WAVE_FORMAT_ALAW, WAVE_FORMAT_MULAW, WAVE_FORMAT_IMA_ADPCM}) {
    SCOPED_TRACE(tag);
    TempFile t("rec.wav");
    CWaveRecorder rec;
    std::vector<uint8_t> f = FormatOfTag(tag);
    ASSERT_EQ(rec.Start(t.c_str(), reinterpret_cast<WAVEFORMATEX*>(f.data()), 11025, 1000, 1), 1);
    EXPECT_EQ(rec.Recording(), 1);
    for (int i = 0; i < 10; ++i) {
      AudioBlock* b = wavetest::BlockOf(s, size_t(i) * 1000, 1000);
      ASSERT_EQ(rec.Record(b), 1);
      FreeAudioBlock(b);
    }
    ASSERT_EQ(rec.Stop(), 1);
    EXPECT_EQ(rec.Recording(), 0);
    EXPECT_EQ(rec.Stop(), 0);

    CWavePlayer player;
    ASSERT_EQ(player.Open(t.c_str(), 1000), 1) << player.LastError();
    const std::vector<int16_t> back = wavetest::DecompressAll(player, 1000);
    ASSERT_GE(back.size(), 10000u);
    EXPECT_LE(back.size(), 10008u);
    if (tag == WAVE_FORMAT_PCM) {
      EXPECT_TRUE(std::equal(s.begin(), s.end(), back.begin()));
      EXPECT_EQ(player.FactFrames(), -1);  // PCM files have no "fact" chunk
    } else {
      EXPECT_GT(wavetest::SnrDb(s, back), 21);
      EXPECT_EQ(player.FactFrames(), (long long)back.size());
    }
  }
}

TEST(WaveRecording, RecorderReportsItsFailures) {
  CWaveRecorder rec;
  std::vector<uint8_t> f = FormatOfTag(0x55);
  EXPECT_EQ(rec.Start("/tmp/never.wav", reinterpret_cast<WAVEFORMATEX*>(f.data()), 11025, 1024, 1), 0);
  EXPECT_NE(rec.LastError().find("Record Compress::Init error"), std::string::npos);
  f = FormatOfTag(WAVE_FORMAT_PCM);
  EXPECT_EQ(rec.Start("/nonexistent-folder/x.wav", reinterpret_cast<WAVEFORMATEX*>(f.data()), 11025, 1024, 1), 0);
  EXPECT_NE(rec.LastError().find("Record WaveFile::Create error"), std::string::npos);
  AudioBlock* b = MarkedBlock(0, 10);
  EXPECT_EQ(rec.Record(b), 0);
  FreeAudioBlock(b);
}

TEST(WaveRecording, PlayerSeeksWithinTheData) {
  TempFile t("seek.wav");
  const std::vector<int16_t> s = wavetest::Sine(4000, 100, 8000, 20000);
  CWaveRecorder rec;
  std::vector<uint8_t> f = FormatOfTag(WAVE_FORMAT_MULAW);
  ASSERT_EQ(rec.Start(t.c_str(), reinterpret_cast<WAVEFORMATEX*>(f.data()), 8000, 500, 1), 1);
  AudioBlock* b = wavetest::BlockOf(s, 0, 4000);
  rec.Record(b);
  rec.Stop();
  CWavePlayer player;
  ASSERT_EQ(player.Open(t.c_str(), 500), 1);
  EXPECT_EQ(player.DataSize(), 4000);
  EXPECT_EQ(player.FileFormat()->wFormatTag, WAVE_FORMAT_MULAW);
  AudioBlock* first = nullptr;
  NewAudioBlock(&first, 500);
  ASSERT_EQ(player.Decompress(first), 500);  // the player has decoded ahead by now
  ASSERT_EQ(player.SeekData(3000), 1);
  AudioBlock* late = nullptr;
  NewAudioBlock(&late, 500);
  ASSERT_EQ(player.Decompress(late), 500);
  for (int i = 0; i < 500; ++i)
    ASSERT_EQ(late->data[i], float(MuLawToLinear(LinearToMuLaw(s[size_t(3000 + i)])))) << i;
  EXPECT_EQ(player.Decompress(late), 500);
  EXPECT_EQ(player.Decompress(late), 0);
  EXPECT_EQ(player.SeekData(4001), 0);
  for (AudioBlock* x : {b, first, late}) FreeAudioBlock(x);
}

TEST(WaveRecording, ScanSegmentsPointAtTheirData) {
  const std::string folder = std::filesystem::temp_directory_path().string() + "/kestrel_scan_" +
                             std::to_string(getpid());
  std::filesystem::create_directories(folder);
  CScanRecorder scan;
  ASSERT_EQ(scan.Init(folder, 11025, 256), 1) << scan.LastError();
  EXPECT_EQ(scan.Path(), folder + "/SCAN_TEMP.WAV");
  AudioBlock* block = nullptr;
  NewAudioBlock(&block, 256);
  EXPECT_EQ(scan.Record(block, 100), 0);  // no segment started

  // Event A: blocks 1, 2, 3; event B: 4, 5; event A again: 6.
  EXPECT_EQ(scan.StartSegment(7, 1), 0);
  for (int k = 1; k <= 3; ++k) {
    AudioBlock* b = MarkedBlock(k, 256);
    ASSERT_EQ(scan.Record(b, 100), 1);
    FreeAudioBlock(b);
  }
  EXPECT_EQ(scan.StartSegment(9, 2), 1);
  for (int k = 4; k <= 5; ++k) {
    AudioBlock* b = MarkedBlock(k, 256);
    ASSERT_EQ(scan.Record(b, 100), 1);
    FreeAudioBlock(b);
  }
  EXPECT_EQ(scan.StartSegment(7, 1), 2);
  AudioBlock* six = MarkedBlock(6, 100);  // a short block is padded with silence
  ASSERT_EQ(scan.Record(six, 100), 1);
  FreeAudioBlock(six);
  scan.EndSegment();

  ASSERT_EQ(scan.SegmentCount(), 3);
  EXPECT_EQ(scan.Segment(0).start, 46);  // the first PCM byte, not 18
  EXPECT_EQ(scan.Segment(0).blocks, 3);
  EXPECT_EQ(scan.Segment(0).next, 2);
  EXPECT_EQ(scan.Segment(1).start, 46 + 3 * 512);
  EXPECT_EQ(scan.Segment(1).next, -1);
  EXPECT_EQ(scan.Segment(2).start, 46 + 5 * 512);
  EXPECT_EQ(scan.Segment(2).next, -1);
  EXPECT_EQ(scan.FindEvent(9, 2), 1);
  EXPECT_EQ(scan.FindEvent(9, 3), -1);

  // Playback while recording may go on: event A is blocks 1, 2, 3, 6, at half volume.
  ASSERT_EQ(scan.StartPlayback(7, 1), 1);
  for (int k : {1, 2, 3, 6}) {
    ASSERT_EQ(scan.Play(block, 50), 256) << k;
    EXPECT_EQ(block->data[0], float(k * 100) / 2);
    EXPECT_EQ(block->data[99], float(k * 100 + 99) / 2);
    EXPECT_EQ(block->data[200], k == 6 ? 0.0f : float(k * 100 + 0) / 2);
  }
  EXPECT_EQ(scan.Play(block, 100), 0);
  EXPECT_EQ(scan.StartPlayback(1, 1), 0);

  // Recording goes on after playback, at the end of the file, clipped at full scale.
  EXPECT_EQ(scan.StartSegment(9, 2), 3);
  AudioBlock* loud = MarkedBlock(200, 256);  // 20000 ... 20099, doubled: clipped
  ASSERT_EQ(scan.Record(loud, 200), 1);
  FreeAudioBlock(loud);
  EXPECT_EQ(scan.Segment(3).start, 46 + 6 * 512);
  EXPECT_EQ(scan.Segment(1).next, 3);
  ASSERT_EQ(scan.StartPlayback(9, 2), 1);
  ASSERT_EQ(scan.Play(block, 100), 256);
  EXPECT_EQ(block->data[0], 400.0f);
  scan.Play(block, 100);
  ASSERT_EQ(scan.Play(block, 100), 256);
  EXPECT_EQ(block->data[0], 32767.0f);
  ASSERT_EQ(scan.Close(), 1);

  // The closed file is an ordinary wave file and the positions hold the right blocks.
  CWaveFile file;
  std::vector<uint8_t> format(size_t(file.MaxFormatSize()));
  EXPECT_EQ(file.Open(scan.Path().c_str(), reinterpret_cast<WAVEFORMATEX*>(format.data())), 7 * 512);
  int16_t sample = 0;
  ASSERT_EQ(file.SeekSet(scan.Segment(1).start), 46 + 3 * 512);
  ASSERT_EQ(file.Read(&sample, 2), 2);
  EXPECT_EQ(sample, 400);
  file.Close();
  FreeAudioBlock(block);
  std::filesystem::remove_all(folder);
}
