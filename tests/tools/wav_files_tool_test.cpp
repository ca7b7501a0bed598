// Wave files as people have them, through the built tool: "wav info" and a decoder read a
// recording cut off inside its data (with one notice), the header of a stream written to a
// pipe, a 24-bit extensible file and a float file, each made from one transmitted signal.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/common/signal_test_util.h"

namespace {

// The tool's 16-bit files: an 18-byte "fmt " chunk, then "data".
constexpr size_t kDataSizeAt = 42;
constexpr size_t kPcmDataStart = kDataSizeAt + 4;

std::vector<uint8_t> Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void Save(const std::string& path, const std::vector<uint8_t>& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(WavFilesTool, InfoAndDecodeReadCutPipedWideAndFloatFiles) {
  if (system("sox --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "sox is not installed";
  sigtest::TempDir dir;
  const std::string base = dir.File("base.wav");
  ASSERT_EQ(sigtest::RunTool("transmit cw --rate 11025 --text 'VVV PARIS PARIS PARIS PARIS' -o " + base).status, 0);
  const std::vector<uint8_t> pcm = Bytes(base);
  ASSERT_GT(pcm.size(), kPcmDataStart);
  ASSERT_EQ(std::string(pcm.begin() + kDataSizeAt - 4, pcm.begin() + kDataSizeAt), "data");
  const long long frames = (long long)(pcm.size() - kPcmDataStart) / 2;

  // arecord writing to a pipe leaves 0x7FFFFFFF for both sizes.
  std::vector<uint8_t> piped = pcm;
  PutU32(piped, 4, 0x7FFFFFFF);
  PutU32(piped, kDataSizeAt, 0x7FFFFFFF);
  Save(dir.File("piped.wav"), piped);
  // Cut inside a sample, two thirds of the way.
  const size_t keep = kPcmDataStart + (pcm.size() - kPcmDataStart) * 2 / 3 / 2 * 2 + 1;
  Save(dir.File("cut.wav"), std::vector<uint8_t>(pcm.begin(), pcm.begin() + long(keep)));
  const long long cut_frames = (long long)(keep - kPcmDataStart) / 2;
  int status = -1;
  for (const char* conv : {"-e signed-integer -b 24", "-e floating-point -b 32"}) {
    const std::string out = dir.File(conv[3] == 's' ? "int24.wav" : "float.wav");
    status = system(("sox " + base + " " + conv + " " + out).c_str());
    ASSERT_EQ(status, 0) << conv;
  }

  const struct {
    const char* file;
    long long frames;
    const char* format;
    int truncated;
  } rows[] = {
      {"piped.wav", frames, "0x0001 PCM", 0},
      {"cut.wav", cut_frames, "0x0001 PCM", 1},
      {"int24.wav", frames, "0xFFFE extensible, 0x0001 PCM", 0},
      {"float.wav", frames, "0x0003 IEEE float", 0},
  };
  const std::string notice_tail =
      ": truncated: " + std::to_string(cut_frames * 2) + " of " + std::to_string(pcm.size() - kPcmDataStart) +
      " bytes of data\n";
  for (const auto& r : rows) {
    SCOPED_TRACE(r.file);
    const std::string path = dir.File(r.file);
    const std::string notice = "kestrel: " + path + notice_tail;
    sigtest::ToolResult info = sigtest::RunTool("wav info " + path);
    EXPECT_EQ(info.status, 0) << info.out;
    EXPECT_NE(info.out.find("format:      " + std::string(r.format) + "\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("length:      " + std::to_string(r.frames) + " samples"), std::string::npos) << info.out;
    EXPECT_EQ(Count(info.out, notice), size_t(r.truncated)) << info.out;
    EXPECT_EQ(Count(info.out, "truncated"), size_t(r.truncated)) << info.out;

    sigtest::ToolResult dec = sigtest::RunTool("decode cw " + path);
    EXPECT_EQ(dec.status, 0) << dec.out;
    EXPECT_NE(dec.out.find("PARIS PARIS"), std::string::npos) << dec.out;
    EXPECT_EQ(Count(dec.out, notice), size_t(r.truncated)) << dec.out;
    EXPECT_EQ(Count(dec.out, "truncated"), size_t(r.truncated)) << dec.out;
  }
}

}  // namespace
