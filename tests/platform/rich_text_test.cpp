// The RTF of saved messages: the exact form we write, round trips of arbitrary text, what other
// writers put in simple files, malformed input, and another program reading our files.
#include "spl/platform/rich_text.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<RichRun> Read(const std::string& rtf, int expect = 1) {
  std::vector<RichRun> runs;
  EXPECT_EQ(ReadRtf(rtf, runs), expect) << rtf;
  return runs;
}

std::string PlainOf(const std::string& rtf) { return RichPlainText(Read(rtf)); }

bool SameRuns(const std::vector<RichRun>& a, const std::vector<RichRun>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].text != b[i].text || a[i].colour != b[i].colour) return false;
  return true;
}

TEST(RichTextWrite, ExactDocument) {
  const std::vector<RichRun> runs = {{"ZCZC {A}\\\n", 0}, {"\tgr\xe9n", 0x008000}, {"", 0xFF}};
  RichFont font;
  font.halfPoints = 24;
  font.bold = true;
  EXPECT_EQ(WriteRtf(runs, font),
            "{\\rtf1\\ansi\\ansicpg1252\\deff0"
            "{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset0 Courier;}}\n"
            "{\\colortbl ;\\red0\\green0\\blue0;\\red0\\green128\\blue0;}\n"
            "\\pard\\plain\\f0\\fs24\\b\n"
            "\\cf1 ZCZC \\{A\\}\\\\\\par\n"
            "\\cf2 \\tab gr\\'e9n}\n");
}

TEST(RichTextWrite, FontFaceAndSize) {
  RichFont font;
  font.face = "Bad;{Face}\\";
  font.halfPoints = 100000;
  const std::string rtf = WriteRtf({{"x", 0}}, font);
  EXPECT_NE(rtf.find("\\fcharset0 BadFace;}"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find("\\fs3276\n"), std::string::npos) << rtf;
  font.face = "";
  EXPECT_NE(WriteRtf({{"x", 0}}, font).find(" Courier;}"), std::string::npos);
  EXPECT_EQ(PlainOf(WriteRtf({{"x", 0}}, font)), "x");
}

TEST(RichTextWrite, ColoursShareTableEntries) {
  const std::vector<RichRun> runs = {{"a", 0x0000FF}, {"b", 0x00FF00}, {"c", 0x0000FF}};
  const std::string rtf = WriteRtf(runs, RichFont{});
  EXPECT_NE(rtf.find("{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green255\\blue0;}"),
            std::string::npos)
      << rtf;
  EXPECT_TRUE(SameRuns(Read(rtf), runs));
}

TEST(RichTextRoundTrip, EveryByteSurvives) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += char(b);
  const std::vector<RichRun> runs = {{all, 0x123456}};
  EXPECT_TRUE(SameRuns(Read(WriteRtf(runs, RichFont{})), runs));
}

TEST(RichTextRoundTrip, RandomRuns) {
  std::mt19937 rng(20240517);
  // Mostly characters that matter to RTF, so that escapes meet each other and control words.
  const std::string special = "\\{}\n\t ;'*?0123456789abcZ\x80\xe9\xff\r";
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<RichRun> runs(rng() % 6);
    const uint32_t palette[] = {0, 0x008000, 0xFFFFFF, uint32_t(rng() & 0xFFFFFF)};
    for (RichRun& r : runs) {
      r.colour = palette[rng() % 4];
      const int length = int(rng() % 20);
      for (int i = 0; i < length; ++i)
        r.text += rng() % 2 ? special[rng() % special.size()] : char(rng() % 256);
    }
    std::vector<RichRun> expected = runs;
    MergeRichRuns(expected);
    ASSERT_TRUE(SameRuns(Read(WriteRtf(runs, RichFont{})), expected)) << "trial " << trial;
  }
}

TEST(RichTextMerge, JoinsEqualColoursDropsEmpty) {
  std::vector<RichRun> runs = {{"a", 1}, {"", 2}, {"b", 1}, {"c", 2}, {"", 1}, {"d", 2}};
  MergeRichRuns(runs);
  EXPECT_TRUE(SameRuns(runs, {{"ab", 1}, {"cd", 2}}));
  EXPECT_EQ(RichPlainText(runs), "abcd");
}

TEST(RichTextRead, WhatOtherWritersPut) {
  const std::string rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0\\nouicompat{\\fonttbl{\\f0\\fnil\\fcharset0 Courier "
      "New;}{\\f1 {\\*\\panose 02}Arial;}}\r\n"
      "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255}\r\n"
      "{\\*\\generator Riched20 10.0;}{\\info{\\title Secret}{\\author Nobody}}\r\n"
      "{\\stylesheet{\\s0 Normal;}}\\viewkind4\\uc1\r\n"
      "\\pard\\sa200\\sl276\\slmult1\\f0\\fs22\\lang9 One\\line Two\\par\r\n"
      "\\cf1 Red {\\cf2 blue} red\\cf0  auto\\par\r\n"
      "Euro \\u8364? e\\u233?t\\u233? ba\\u-3913?d {\\uc2 two\\u233\\'c3\\'a9 x}\\~y\\-z\\_w\r\n"
      "{\\pict\\wmetafile8 0102abcdef\\bin4 {}}x}end{\\*\\shppict{\\pict 00}}"
      "\\emdash\\tab\\'41\\\r\n}\r\n\0 trailing junk";
  const std::vector<RichRun> runs = Read(rtf);
  EXPECT_EQ(RichPlainText(runs),
            "One\nTwo\nRed blue red auto\nEuro \x80 e\xe9t\xe9 ba?d two\xe9 x\xa0yz-wend\x97\tA\n");
  ASSERT_GE(runs.size(), 5u);
  EXPECT_EQ(runs[0].colour, 0u);
  EXPECT_EQ(runs[1].text, "Red ");
  EXPECT_EQ(runs[1].colour, 0x0000FFu);
  EXPECT_EQ(runs[2].text, "blue");
  EXPECT_EQ(runs[2].colour, 0xFF0000u);  // the table's last entry has no ';'
  EXPECT_EQ(runs[3].text, " red");
  EXPECT_EQ(runs[3].colour, 0x0000FFu);
}

TEST(RichTextRead, ColourIndexOutsideTableIsBlack) {
  const auto runs = Read("{\\rtf1{\\colortbl;\\red9\\green9\\blue9;}\\cf7 a\\cf-1 b\\cf1 c}");
  EXPECT_TRUE(SameRuns(runs, {{"ab", 0}, {"c", 0x090909}}));
}

TEST(RichTextRead, PlainTextAndMalformed) {
  std::vector<RichRun> runs;
  EXPECT_EQ(ReadRtf("", runs), 0);
  EXPECT_EQ(ReadRtf("ZCZC plain text NNNN", runs), 0);
  EXPECT_EQ(ReadRtf("{\\rt", runs), 0);
  EXPECT_EQ(ReadRtf("{\\rtf1 unclosed", runs), 0);
  EXPECT_EQ(RichPlainText(runs), "unclosed");  // what came before the fault
  EXPECT_EQ(ReadRtf("{\\rtf1 {inner}", runs), 0);
  EXPECT_EQ(ReadRtf("{\\rtf1 bad \\'g1}", runs), 0);
  EXPECT_EQ(ReadRtf("{\\rtf1 cut \\'4", runs), 0);
  EXPECT_EQ(ReadRtf("{\\rtf1 cut \\", runs), 0);
  EXPECT_EQ(ReadRtf("{\\rtf1 \\bin999999999", runs), 0);
  // Leading white space is allowed, and nothing after the closing brace is read.
  EXPECT_EQ(ReadRtf(" \r\n{\\rtf1 ok}}}{", runs), 1);
  EXPECT_EQ(RichPlainText(runs), "ok");
  EXPECT_EQ(ReadRtf("{\\rtf1 \\u99999999999999999999 \\fs-99999999999999 x}", runs), 1);
}

TEST(RichTextRead, NestingIsBounded) {
  std::vector<RichRun> runs;
  const int inside = kRtfMaxDepth - 1;  // the document group itself is one level
  const std::string fits =
      "{\\rtf1" + std::string(inside, '{') + "deep" + std::string(inside, '}') + "}";
  EXPECT_EQ(ReadRtf(fits, runs), 1);
  EXPECT_EQ(RichPlainText(runs), "deep");
  const std::string deeper = "{\\rtf1" + std::string(100000, '{') + std::string(100001, '}');
  EXPECT_EQ(ReadRtf(deeper, runs), 0);
}

// Windows-1252 text as UTF-8, for the characters these tests use.
std::string Utf8FromCp1252(const std::string& text) {
  std::string out;
  for (char c : text) {
    const uint8_t b = uint8_t(c);
    if (b == 0x80) {
      out += "\xe2\x82\xac";
    } else if (b >= 0xA0) {
      out += char(0xC0 | (b >> 6));
      out += char(0x80 | (b & 0x3F));
    } else {
      out += c;
    }
  }
  return out;
}

// Runs of white space as one blank, none at the ends: layouts of plain text differ there.
std::string Words(const std::string& text) {
  std::string out;
  bool blank = false;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      blank = !out.empty();
    } else {
      if (blank) out += ' ';
      blank = false;
      out += c;
    }
  }
  return out;
}

TEST(RichTextPandoc, ReadsOurFileAsTheSameText) {
  if (system("command -v pandoc >/dev/null 2>&1") != 0) GTEST_SKIP() << "pandoc not installed";
  const std::vector<RichRun> runs = {
      {"ZCZC EA42\nNAVAREA \xe9t\xe9 {braces} back\\slash 10\x80\n\tTabbed line", 0},
      {"\n\nSYNOP: wind 10 kt", 0x008000},
      {"\nNNNN\n", 0}};
  char path[] = "/tmp/kestrel-rtf-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  const std::string rtf = WriteRtf(runs, RichFont{});
  ASSERT_EQ(write(fd, rtf.data(), rtf.size()), ssize_t(rtf.size()));
  close(fd);
  std::string out;
  FILE* p = popen(("pandoc -f rtf -t plain --wrap=none " + std::string(path)).c_str(), "r");
  ASSERT_NE(p, nullptr);
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int status = pclose(p);
  unlink(path);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(Words(out), Words(Utf8FromCp1252(RichPlainText(runs))));
}

}  // namespace
