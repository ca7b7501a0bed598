// kestrel wav info on a good PCM file, a codec file and damaged files, through the built tool.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "spl/audio/wave_file.h"
#include "spl/audio/wave_recorder.h"
#include "spl/platform/codec.h"

namespace {

std::string TempName(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          ("kestrel_wavinfo_" + std::to_string(getpid()) + "_" + name)).string();
}

// Runs the tool with the arguments; returns standard output and error together.
std::string Tool(const std::string& args, int* status) {
  std::string out;
  FILE* p = popen((std::string(KESTREL_TOOL) + " " + args + " 2>&1").c_str(), "r");
  char buffer[1024];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
  const int rc = pclose(p);
  *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

}  // namespace

TEST(WavInfo, DescribesAPcmFile) {
  const std::string path = TempName("good.wav");
  CWaveFile f;
  WAVEFORMATEX* w = f.GetWFX(11025, 16, 1);
  ASSERT_EQ(f.Create(path.c_str(), w), 1);
  std::vector<int16_t> s(11025, 0);
  s[100] = -16384;  // peak half of full scale: -6.02 dBFS
  s[200] = 8000;
  f.Write(s.data(), int(s.size() * 2));
  ASSERT_EQ(f.Close(), 1);
  free(w);
  int status = -1;
  const std::string out = Tool("wav info " + path, &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("0x0001 PCM"), std::string::npos) << out;
  EXPECT_NE(out.find("channels:    1"), std::string::npos) << out;
  EXPECT_NE(out.find("rate:        11025 Hz"), std::string::npos) << out;
  EXPECT_NE(out.find("bits:        16"), std::string::npos) << out;
  EXPECT_NE(out.find("block align: 2"), std::string::npos) << out;
  EXPECT_NE(out.find("11025 samples, 1.000 s"), std::string::npos) << out;
  EXPECT_NE(out.find("-6.02 dBFS"), std::string::npos) << out;
  std::filesystem::remove(path);
}

TEST(WavInfo, DescribesAnImaAdpcmFile) {
  const std::string path = TempName("ima.wav");
  std::vector<uint8_t> format(size_t(CodecMaxFormatSize()), 0);
  reinterpret_cast<WAVEFORMATEX*>(format.data())->wFormatTag = WAVE_FORMAT_IMA_ADPCM;
  CWaveRecorder rec;
  ASSERT_EQ(rec.Start(path.c_str(), reinterpret_cast<WAVEFORMATEX*>(format.data()), 11025, 1010, 1), 1);
  AudioBlock* b = nullptr;
  NewAudioBlock(&b, 1010);  // exactly two IMA ADPCM blocks of silence
  rec.Record(b);
  FreeAudioBlock(b);
  ASSERT_EQ(rec.Stop(), 1);
  int status = -1;
  const std::string out = Tool("wav info " + path, &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("0x0011 IMA ADPCM"), std::string::npos) << out;
  EXPECT_NE(out.find("bits:        4"), std::string::npos) << out;
  EXPECT_NE(out.find("block align: 256"), std::string::npos) << out;
  EXPECT_NE(out.find("1010 samples"), std::string::npos) << out;
  EXPECT_NE(out.find("silent"), std::string::npos) << out;
  std::filesystem::remove(path);
}

TEST(WavInfo, DamagedFilesExitWithStatus2AndAReason) {
  const std::string path = TempName("bad.wav");
  const std::string no_chunks("RIFF\x04\x00\x00\x00WAVE", 12);  // nothing but the form
  std::ofstream(path, std::ios::binary).write(no_chunks.data(), std::streamsize(no_chunks.size()));
  int status = -1;
  std::string out = Tool("wav info " + path, &status);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(out, "kestrel: " + path + ": no \"fmt \" chunk\n");
  const std::string cut("RIFF\xff\x00\x00\x00WAVEfmt ", 16);  // says 255 bytes, has 8
  std::ofstream(path, std::ios::binary).write(cut.data(), std::streamsize(cut.size()));
  out = Tool("wav info " + path, &status);
  EXPECT_EQ(status, 2);
  EXPECT_NE(out.find("kestrel: " + path + ": truncated"), std::string::npos) << out;
  out = Tool("wav info /nonexistent-folder/none.wav", &status);
  EXPECT_EQ(status, 2);
  EXPECT_NE(out.find("kestrel: /nonexistent-folder/none.wav: cannot open"), std::string::npos) << out;
  std::filesystem::remove(path);
}

TEST(WavInfo, HelpAndUsage) {
  int status = -1;
  std::string out = Tool("wav --help", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("usage: kestrel wav info FILE"), std::string::npos);
  out = Tool("wav", &status);
  EXPECT_EQ(status, 2);
  out = Tool("wav frobnicate x", &status);
  EXPECT_EQ(status, 2);
  EXPECT_NE(out.find("kestrel: wav:"), std::string::npos);
}
