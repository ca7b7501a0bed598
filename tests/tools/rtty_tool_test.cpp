// kestrel transmit/decode rtty, sitor and navtex end to end, and their answers to bad input.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/common/signal_test_util.h"

namespace {

TEST(RttyTool, TransmittedFilesDecodeBackInEveryMode) {
  sigtest::TempDir dir;
  const std::string text = "CQ CQ DE KESTREL 73\nTEST 1/2";
  const std::string quoted = "'" + text + "'";  // the line break inside the quotes
  struct Row {
    const char* tx;
    const char* rx;
  } rows[] = {
      {"transmit rtty", "decode rtty"},
      {"transmit rtty --baud 75 --mark 2125 --space 1275", "decode rtty --baud 75 --mark 1275 --space 2125 --invert"},
      // Leading zeros are decimal, not octal.
      {"transmit rtty --baud 050 --mark 01275 --space 01445", "decode rtty --baud 50 --mark 1275 --space 1445"},
      {"transmit rtty --baud 45.45 --mark 1275 --space 1445", "decode rtty --baud 45.45 --mark 1275 --space 1445"},
      {"transmit sitor", "decode sitor"},
      {"transmit navtex", "decode navtex"},
      // The station's audio squelch at its default lets a signal through.
      {"transmit navtex", "decode navtex --squelch 40"},
  };
  for (const Row& r : rows) {
    const std::string wav = dir.File("x.wav");
    sigtest::ToolResult t = sigtest::RunTool(std::string(r.tx) + " --text " + quoted + " -o " + wav);
    ASSERT_EQ(t.status, 0) << r.tx << t.out;
    sigtest::ToolResult d = sigtest::RunTool(std::string(r.rx) + " " + wav, false);
    EXPECT_EQ(d.status, 0) << r.rx;
    EXPECT_NE(d.out.find(text), std::string::npos) << r.rx << ": " << d.out;
  }
}

TEST(RttyTool, BadInputIsRefusedWithStatusTwo) {
  sigtest::TempDir dir;
  const std::string wav = dir.File("ok.wav");
  ASSERT_EQ(sigtest::RunTool("transmit rtty --text RY -o " + wav).status, 0);
  std::ofstream(dir.File("empty.wav")).close();
  std::ofstream(dir.File("text.wav")) << "this is not a wave file at all, only words";
  const struct {
    std::string args, says;
  } bad[] = {
      {"decode rtty --baud 2000 " + wav, "fewer than 8 samples per bit"},
      {"decode rtty --baud -5 " + wav, "kestrel: decode rtty:"},
      {"decode rtty --mark 6000 " + wav, "Nyquist"},
      {"decode sitor --mark 1275 --space 1275 " + wav, "differ"},
      {"decode rtty " + dir.File("empty.wav"), "kestrel: " + dir.File("empty.wav")},
      {"decode navtex " + dir.File("text.wav"), "kestrel: " + dir.File("text.wav")},
      {"decode rtty", "one wave file"},
      {"transmit rtty --text '#' -o " + dir.File("y.wav"), "cannot be sent"},
      {"transmit sitor --mark 9000 --text A -o " + dir.File("y.wav"), "refuses"},
  };
  for (const auto& b : bad) {
    sigtest::ToolResult r = sigtest::RunTool(b.args);
    EXPECT_EQ(r.status, 2) << b.args << ": " << r.out;
    EXPECT_NE(r.out.find(b.says), std::string::npos) << b.args << ": " << r.out;
  }
}

TEST(RttyTool, EightBitAndStereoFiles) {
  sigtest::TempDir dir;
  const std::string mono = dir.File("m.wav"), stereo = dir.File("s.wav"), byte = dir.File("b.wav");
  ASSERT_EQ(sigtest::RunTool("transmit rtty --text 'RYRY HELLO' -o " + mono).status, 0);
  // sox makes the left channel the signal and the right one silence, and an 8-bit copy.
  ASSERT_EQ(system(("sox -q " + mono + " -c 2 " + stereo + " remix 1 0").c_str()), 0);
  ASSERT_EQ(system(("sox -q " + mono + " -b 8 " + byte).c_str()), 0);
  sigtest::ToolResult r = sigtest::RunTool("decode rtty " + stereo, false);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("RYRY HELLO"), std::string::npos) << r.out;
  r = sigtest::RunTool("decode rtty " + byte, false);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("RYRY HELLO"), std::string::npos) << r.out;
}

}  // namespace
