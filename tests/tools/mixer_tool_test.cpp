// kestrel mixer without a card behind the device: a clear refusal, never a crash.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/common/signal_test_util.h"

TEST(MixerTool, NamesTheDeviceWithoutAMixerAndRefusesBadUse) {
  sigtest::ToolResult r = sigtest::RunTool("mixer show --device hw:97");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("kestrel: hw:97: no mixer for \"hw:97\""), std::string::npos) << r.out;
  EXPECT_EQ(sigtest::RunTool("mixer frob").status, 2);
  EXPECT_EQ(sigtest::RunTool("mixer save").status, 2);
  r = sigtest::RunTool("mixer restore /nonexistent/state.txt");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("cannot open"), std::string::npos) << r.out;
}

namespace {

// A configuration for the model card ("sim"), written as another program would: LINE_VOLUME
// on the recording destination's line input, LINE_MUX on its input selector, SPEAKER_VOLUME
// on the speakers' own volume; the rest unassigned.
std::string ModelCardFile() {
  std::string text =
      "[MIXERCAPS]\nwMid=00000000h\nwPid=00000001h\nvDriverVersion=00060100h\nszPname=Sound Card 1\n"
      "fdwSupport=00000000h\ncDestinations=00000002h\n\n";
  const char* roles[] = {"LINE_VOLUME", "LINE_MUTE", "LINE_MUX", "WAVE_VOLUME", "WAVE_MUTE",
                         "SPEAKER_VOLUME", "SPEAKER_MUTE", "SPEAKER_BASS", "SPEAKER_TREBLE", "SPEAKER_LINE"};
  const char* values[][11] = {
      {"00000007", "0000100A", "50030001", "00000000", "00000005", "000000D2", "00000000", "00000000",
       "00000000", "00000000", "0000FFFF"},
      {},
      {"00000007", "00000000", "70010001", "00000000", "00000004", "000000C9", "00000003", "00000000",
       "00000000", "00000000", "00000001"},
      {}, {},
      {"00000004", "00000000", "50030001", "00000000", "00000001", "00000064", "00000000", "00000000",
       "00000001", "00000000", "0000FFFF"},
      {}, {}, {}, {}};
  const char* keys[] = {"DST_ComponentType", "SRC_ComponentType", "ControlType", "capsID", "lineID", "ctrlID",
                        "MultipleItems", "flag", "revers", "min", "max"};
  for (int r = 0; r < 10; ++r) {
    text += std::string("[") + roles[r] + "]\n";
    for (int k = 0; k < 11; ++k) text += std::string(keys[k]) + "=" + (values[r][0] ? values[r][k] : "00000000") + "h\n";
    text += "\n";
  }
  text += "[MUXVAL]\n";
  for (int i = 0; i < 16; ++i) text += "value_" + std::to_string(i) + "=" + (i == 1 ? "00000002h" : "00000000h") + "\n";
  return text + "\n";
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

}  // namespace

TEST(MixerTool, ConfigurationsRoundTripByteForByteAndAnotherCardIsAskedFor) {
  char tmpl[] = "/tmp/kestrel-kmc-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl, file = dir + "/in.kmc", out = dir + "/out.kmc";
  const std::string base = " --device sim --base " + dir;
  // Lines ending in CR LF read the same.
  std::string crlf;
  for (char c : ModelCardFile()) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  Write(file, crlf);
  sigtest::ToolResult r = sigtest::RunTool("mixer kmc load " + file + base);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("LINE_VOLUME     Recording Control: Line In: Volume"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("LINE_MUX        Recording Control: Input Source"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("SPEAKER_VOLUME  Speakers: Volume"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("WAVE_VOLUME     (none)"), std::string::npos) << r.out;
  // In the settings LINE_MUX comes before LINE_MUTE: its control id (0xC9) in the second place.
  const std::string cfg = Read(dir + "/KSTLCONFIG.CFG");
  ASSERT_EQ(cfg.size(), 3477u);
  EXPECT_EQ(uint8_t(cfg[2605 + 44 + 20]), 0xC9);
  EXPECT_EQ(uint8_t(cfg[2605 + 20]), 0xD2);
  r = sigtest::RunTool("mixer kmc save " + out + base);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Read(out), ModelCardFile());

  // Made on another card: refused unless forced; nothing changes meanwhile.
  std::string other = ModelCardFile();
  other.replace(other.find("Sound Card 1"), 12, "USB Audio CODEC");
  other.replace(other.find("lineID=00000005h"), 16, "lineID=00000006h");
  other.replace(other.find("ctrlID=000000D2h"), 16, "ctrlID=000000DCh");
  Write(file, other);
  r = sigtest::RunTool("mixer kmc load " + file + base);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("made for another card"), std::string::npos) << r.out;
  EXPECT_EQ(Read(dir + "/KSTLCONFIG.CFG"), cfg);
  r = sigtest::RunTool("mixer kmc load " + file + base + " --force");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("LINE_VOLUME     Recording Control: Microphone: Volume"), std::string::npos) << r.out;

  // A missing section, and a value without its "h", leave those roles as they were.
  std::string partial = ModelCardFile();
  partial.erase(partial.find("[SPEAKER_VOLUME]"), partial.find("[SPEAKER_MUTE]") - partial.find("[SPEAKER_VOLUME]"));
  partial.replace(partial.find("ctrlID=000000D2h"), 16, "ctrlID=000000D3 ");
  Write(file, partial);
  ASSERT_EQ(sigtest::RunTool("mixer kmc load " + file + base).status, 0);
  r = sigtest::RunTool("mixer kmc save " + out + base);
  ASSERT_EQ(r.status, 0) << r.out;
  std::string expect = ModelCardFile();
  expect.replace(expect.find("ctrlID=000000D2h"), 16, "ctrlID=000000DCh");  // kept from the forced load
  EXPECT_EQ(Read(out), expect);
  std::filesystem::remove_all(dir);
}
