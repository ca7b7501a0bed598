// kestrel wav info on a good PCM file, a codec file and damaged files, through the built tool.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "spl/audio/wave_file.h"
#include "spl/audio/wave_recorder.h"
#include "spl/platform/codec.h"
#include "tests/common/signal_test_util.h"

namespace {

using sigtest::RunTool;

void ExpectAll(const std::string& out, std::initializer_list<const char*> parts) {
  for (const char* p : parts) EXPECT_NE(out.find(p), std::string::npos) << p << " in\n" << out;
}

TEST(WavInfo, DescribesAPcmAndAnImaAdpcmFile) {
  sigtest::TempDir dir;
  CWaveFile f;
  WAVEFORMATEX* w = f.GetWFX(11025, 16, 1);
  ASSERT_EQ(f.Create(dir.File("pcm.wav").c_str(), w), 1);
  free(w);
  std::vector<int16_t> s(11025, 0);
  s[100] = -16384;  // peak half of full scale: -6.02 dBFS
  f.Write(s.data(), int(s.size() * 2));
  ASSERT_EQ(f.Close(), 1);
  sigtest::ToolResult r = RunTool("wav info " + dir.File("pcm.wav"));
  EXPECT_EQ(r.status, 0) << r.out;
  ExpectAll(r.out, {"0x0001 PCM", "rate:        11025 Hz", "bits:        16", "block align: 2",
                    "11025 samples, 1.000 s", "-6.02 dBFS"});

  std::vector<uint8_t> format(size_t(CodecMaxFormatSize()), 0);
  reinterpret_cast<WAVEFORMATEX*>(format.data())->wFormatTag = WAVE_FORMAT_IMA_ADPCM;
  CWaveRecorder rec;
  ASSERT_EQ(rec.Start(dir.File("ima.wav").c_str(), reinterpret_cast<WAVEFORMATEX*>(format.data()),
                      11025, 1010, 1), 1);
  AudioBlock* b = nullptr;
  NewAudioBlock(&b, 1010);  // exactly two IMA ADPCM blocks of silence
  rec.Record(b);
  FreeAudioBlock(b);
  ASSERT_EQ(rec.Stop(), 1);
  r = RunTool("wav info " + dir.File("ima.wav"));
  EXPECT_EQ(r.status, 0) << r.out;
  ExpectAll(r.out, {"0x0011 IMA ADPCM", "bits:        4", "block align: 256", "1010 samples", "silent"});
}

TEST(WavInfo, DamagedFilesAndBadUseExitWithStatus2AndAReason) {
  sigtest::TempDir dir;
  const std::string path = dir.File("bad.wav");
  const std::string no_chunks("RIFF\x04\x00\x00\x00WAVE", 12);  // nothing but the form
  std::ofstream(path, std::ios::binary).write(no_chunks.data(), std::streamsize(no_chunks.size()));
  sigtest::ToolResult r = RunTool("wav info " + path);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "kestrel: " + path + ": no \"fmt \" chunk\n");
  r = RunTool("wav info /nonexistent-folder/none.wav");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("kestrel: /nonexistent-folder/none.wav: cannot open"), std::string::npos) << r.out;
  r = RunTool("wav frobnicate x");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("kestrel: wav:"), std::string::npos);
}

}  // namespace
