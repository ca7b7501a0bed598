// CSV files of the frequency list: every field of random records through text and back and
// through a list file and back byte for byte, RFC 4180 quoting, files with one bad value that
// must name its line and column and add nothing, and the starter list the station begins with.
#include "app/lists/frq_csv.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/core/safe_file.h"
#include "app/core/station_codes.h"
#include "app/lists/frq_columns.h"
#include "tests/common/signal_test_util.h"

namespace {

const std::string kStarter = std::string(KESTREL_DATA_DIR) + "/frqlist.csv";

// Texts that need quoting or are not ASCII; all fit a call sign (15 bytes).
const char* kTexts[] = {"", "plain", "a,b", "say \"hi\"", "\"", ",", "M\xC3\xA9t\xC3\xA9o", "\xE2\x82\xAC 5",
                        " lead", "trail ", "\xF0\x9F\x93\xA1 sat"};

// A record with a random valid value in every column, drawn from the column table's ranges.
CFrqRecord RandomRecord(std::mt19937& rng) {
  CFrqRecord r = FrqTemplate();
  const FrqColumn* cols = FrqColumns();
  for (int i = 0; i < kFrqColumnCount; ++i) {
    const FrqColumn& c = cols[i];
    if (c.type == kColText) {
      std::string t = kTexts[rng() % std::size(kTexts)];
      if (rng() % 2) t += kTexts[rng() % std::size(kTexts)];
      FrqSetText(r, c, t);
    } else if (c.type == kColDouble) {
      std::uniform_real_distribution<double> d(c.lo, c.hi);
      FrqSetDouble(r, c, FrqRound(d(rng), c.decimals));
    } else {
      std::uniform_int_distribution<int64_t> d(int64_t(c.lo), int64_t(c.hi));
      FrqSetInt(r, c, int32_t(d(rng)));
    }
  }
  // A decoder that selects something: audio, FAX, a text decoder the station has, SSTV.
  const int decoders[] = {0, kFrqFaxBase + 576, kFrqFaxBase + 288, kFrqTextBase + kDecoderRtty,
                          kFrqTextBase + kDecoderNavtex, kFrqTextBase + kDecoderBpsk31,
                          kFrqTextBase + kDecoderCw, kFrqSstvBase, kFrqSstvBase + 3};
  r.decoder = decoders[rng() % std::size(decoders)];
  return r;
}

std::string FileText(const std::string& path) {
  std::vector<uint8_t> b;
  ReadWholeFile(path, b);
  return std::string(b.begin(), b.end());
}

void WriteText(const std::string& path, const std::string& text) {
  ASSERT_TRUE(WriteFileReplacing(path, text.data(), text.size()));
}

TEST(FrqCsv, EveryFieldRoundTrips) {
  std::mt19937 rng(20261207);
  std::vector<CFrqRecord> records;
  for (int i = 0; i < 200; ++i) records.push_back(RandomRecord(rng));
  const std::string text = FrqCsvText(records);
  std::vector<CFrqRecord> back;
  std::string error;
  ASSERT_TRUE(ParseFrqCsv(text, back, &error)) << error;
  ASSERT_EQ(back.size(), records.size());
  uint8_t a[kFrqRecordSize], b[kFrqRecordSize];
  for (size_t i = 0; i < records.size(); ++i) {
    FrqRecordToBytes(records[i], a);
    FrqRecordToBytes(back[i], b);
    ASSERT_EQ(std::memcmp(a, b, sizeof a), 0) << "record " << i;
  }
  EXPECT_EQ(FrqCsvText(back), text);

  // Through list files: export, import into a new file, export again, byte for byte.
  sigtest::TempDir dir;
  CFrqListSet first, second;
  ASSERT_TRUE(first.Init(dir.File("one.mdb"), 1));
  ASSERT_TRUE(first.AddAll(records)) << first.Error();
  ASSERT_TRUE(ExportFrqCsv(first, dir.File("one.csv"), &error)) << error;
  EXPECT_EQ(FileText(dir.File("one.csv")), text);
  ASSERT_TRUE(second.Init(dir.File("two.mdb"), 1));
  int added = 0;
  ASSERT_TRUE(ImportFrqCsv(second, dir.File("one.csv"), &added, &error)) << error;
  EXPECT_EQ(added, 200);
  ASSERT_TRUE(ExportFrqCsv(second, dir.File("two.csv"), &error)) << error;
  EXPECT_EQ(FileText(dir.File("two.csv")), text);
}

TEST(FrqCsv, ReadsQuotingLineEndsAndTheByteOrderMark) {
  CFrqRecord r = FrqTemplate();
  r.rxFrq = 7040.0;
  SetFrqText(r.name, sizeof r.name, "A \"quoted\", name");
  std::string text = FrqCsvText({r, r});
  // The writer quotes exactly the field that needs it and ends lines in CR LF.
  EXPECT_NE(text.find(",\"A \"\"quoted\"\", name\","), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");

  // LF line ends, an empty line, a byte order mark, no line end at the end, a quoted number.
  std::string variant = "\xEF\xBB\xBF" + text;
  for (size_t at; (at = variant.find("\r\n")) != std::string::npos;) variant.replace(at, 2, "\n");
  variant.insert(variant.find('\n') + 1, "\n");
  variant.pop_back();
  variant.replace(variant.rfind("\n7040.000"), 9, "\n\"7040.000\"");
  std::vector<CFrqRecord> out;
  std::string error;
  ASSERT_TRUE(ParseFrqCsv(variant, out, &error)) << error;
  ASSERT_EQ(out.size(), 2u);
  EXPECT_STREQ(out[1].name, "A \"quoted\", name");
  EXPECT_EQ(out[1].rxFrq, 7040.0);

  // A name longer than its field is cut and reported, not refused.
  CFrqRecord longer = r;
  std::string row = FrqCsvText({longer});
  const std::string forty(40, 'x');
  row.replace(row.find("\"A \"\"quoted\"\", name\""), 20, forty);
  std::vector<std::string> notes;
  ASSERT_TRUE(ParseFrqCsv(row, out, &error, &notes)) << error;
  EXPECT_EQ(std::string(out[0].name), std::string(31, 'x'));
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0], "line 2, column 2 (Name): cut to fit");
}

// The good file of three rows with one field of one line replaced.
std::string Spoiled(int line, int column, const std::string& value) {
  CFrqRecord r = FrqTemplate();
  r.rxFrq = 518.0;
  std::string text = FrqCsvText({r, r, r});
  size_t at = 0;
  for (int l = 1; l < line; ++l) at = text.find("\r\n", at) + 2;
  for (int c = 1; c < column; ++c) at = text.find(',', at) + 1;
  const size_t end = text.find_first_of(",\r", at);
  return text.replace(at, end - at, value);
}

TEST(FrqCsv, ABadValueNamesLineAndColumnAndAddsNothing) {
  struct Bad {
    int line, column;
    std::string value;
    const char* says;
  };
  const Bad bad[] = {
      {3, 6, "256", "line 3, column 6 (Country): 256 is out of range 0..255"},
      {2, 3, "8192", "line 2, column 3 (Decoder): 8192 selects no decoder"},
      {2, 3, "16388", "line 2, column 3 (Decoder)"},
      {2, 1, "abc", "line 2, column 1 (RX-FRQ (KHz)): \"abc\" is not a number"},
      {2, 1, "1e3", "line 2, column 1 (RX-FRQ (KHz))"},
      {2, 1, " 518.000", "line 2, column 1 (RX-FRQ (KHz))"},
      {3, 57, "\"1,5\"", "line 3, column 57 (RTTY-stopbits)"},
      {3, 14, "1.5", "line 3, column 14 (Volume): \"1.5\" is not a whole number"},
      {2, 2, std::string(256, 'n'), "line 2, column 2 (Name): text of 256 characters"},
      {2, 2, "\xC3(", "line 2, column 2 (Name): text is not UTF-8"},
      {2, 2, "\"a\nb\"", "line 2, column 2 (Name): text holds a control character"},
      {3, 2, "\"open", "line 3, column 2: quote not closed"},
      {3, 2, "\"a\"b", "line 3, column 2: text after the closing quote"},
      {3, 2, "a\"b", "line 3, column 2: quote inside"},
      {1, 2, "Nome", "line 1, column 2 (Name): header \"Nome\""},
      {4, 70, "0,1", "line 4: 71 fields, 70 expected"},
  };
  for (const Bad& b : bad) {
    std::vector<CFrqRecord> out;
    std::string error;
    EXPECT_FALSE(ParseFrqCsv(Spoiled(b.line, b.column, b.value), out, &error)) << b.says;
    EXPECT_NE(error.find(b.says), std::string::npos) << error;
  }
  // Imported, a file whose last row is bad adds none of the good rows before it.
  sigtest::TempDir dir;
  CFrqListSet list;
  ASSERT_TRUE(list.Init(dir.File(kFrqDataFileName), 1));
  ASSERT_TRUE(list.Add(FrqTemplate()));
  WriteText(dir.File("bad.csv"), Spoiled(4, 70, "0,1"));
  std::string importError;
  EXPECT_FALSE(ImportFrqCsv(list, dir.File("bad.csv"), nullptr, &importError));
  EXPECT_NE(importError.find("nothing imported"), std::string::npos) << importError;
  int64_t n = 0;
  ASSERT_TRUE(list.Count(n));
  EXPECT_EQ(n, 1);
  // A quoted field over two lines moves the line numbers of what follows.
  std::string twoLines = Spoiled(2, 64, "\"a\nb\"");
  std::string error;
  std::vector<CFrqRecord> out;
  EXPECT_FALSE(ParseFrqCsv(twoLines, out, &error));
  EXPECT_NE(error.find("line 2, column 64 (Commentary)"), std::string::npos) << error;
  EXPECT_FALSE(ParseFrqCsv("", out, &error));
  EXPECT_NE(error.find("no header"), std::string::npos);
}

TEST(FrqCsv, TheStarterListImportsCleanlyAndSelectsItsDecoders) {
  std::vector<CFrqRecord> rows;
  std::string error;
  std::vector<std::string> notes;
  ASSERT_TRUE(ParseFrqCsv(FileText(kStarter), rows, &error, &notes)) << error;
  EXPECT_TRUE(notes.empty());
  ASSERT_GE(rows.size(), 50u);
  // Written exactly as the station writes a list.
  EXPECT_EQ(FrqCsvText(rows), FileText(kStarter));

  auto find = [&](double kHz) -> const CFrqRecord* {
    for (const CFrqRecord& r : rows)
      if (std::fabs(r.rxFrq - kHz) < 1e-6) return &r;
    return nullptr;
  };
  int fax = 0, psk = 0, sstv = 0, time = 0;  // each kind is there
  for (const CFrqRecord& r : rows) {
    const int code = StationDecoderCode(r);
    ASSERT_NE(FindDecoderChoice(code), nullptr) << r.name;
    EXPECT_LT(r.satId, 0) << r.name;
    switch (FrqDecoderKindOf(r.decoder)) {
      case kFrqFax:
        ++fax;
        // Published carrier frequencies; the dial lies 1.9 kHz below in USB.
        EXPECT_NEAR(FrqDialFrequency(r), r.rxFrq - 1.9, 1e-9) << r.rxFrq;
        EXPECT_EQ(r.faxIoc, r.decoder - kFrqFaxBase);
        break;
      case kFrqSstv:
        ++sstv;
        EXPECT_EQ(FrqDialFrequency(r), r.rxFrq);
        EXPECT_EQ(r.sstvMode, r.decoder - kFrqSstvBase);
        EXPECT_EQ(r.modulation, r.rxFrq < 10000 ? 0 : 1) << r.rxFrq;  // LSB below 10 MHz
        break;
      case kFrqText:
        if (code == kDecoderBpsk31) ++psk;
        break;
      case kFrqAudio:
        ++time;
        EXPECT_EQ(r.stationType, 13) << r.name;
        break;
    }
  }
  EXPECT_GT(fax * psk * sstv * time, 0);
  // PSK31: the dial is the calling frequency.
  const CFrqRecord* psk40 = find(7041.0);
  ASSERT_NE(psk40, nullptr);
  EXPECT_DOUBLE_EQ(FrqDialFrequency(*psk40), 7040.0);
  // NAVTEX: SITOR-B at 100 Bd on 1615/1785 Hz, dial 1.7 kHz below in USB.
  const CFrqRecord* navtex = find(518.0);
  ASSERT_NE(navtex, nullptr);
  EXPECT_EQ(StationDecoderCode(*navtex), kDecoderNavtex);
  EXPECT_EQ(navtex->rttyBaud, 100);
  EXPECT_NEAR(FrqDialFrequency(*navtex), 518.0 - 1.7, 1e-9);
  // RTTY weather at 50 Bd, 450 Hz shift, dial 1.5 kHz below the published centre.
  const CFrqRecord* rtty = find(10100.8);
  ASSERT_NE(rtty, nullptr);
  EXPECT_EQ(StationDecoderCode(*rtty), kDecoderRtty);
  EXPECT_EQ(rtty->rttyBaud, 50);
  EXPECT_EQ(rtty->rttySpace - rtty->rttyMark, 450);
  EXPECT_NEAR(FrqDialFrequency(*rtty), 10099.3, 1e-9);
}

TEST(FrqCsv, TheFirstStartMakesTheListFromTheStarter) {
  sigtest::TempDir dir;
  const std::string path = dir.File(kFrqDataFileName);
  std::string error;
  // A starter that is missing leaves no file behind, so the next start tries again.
  EXPECT_FALSE(EnsureFrqDatabase(dir.path(), dir.File("none.csv"), &error));
  EXPECT_NE(error.find("none.csv"), std::string::npos);
  struct stat st;
  EXPECT_NE(stat(path.c_str(), &st), 0);

  ASSERT_TRUE(EnsureFrqDatabase(dir.path(), kStarter, &error)) << error;
  CFrqListSet list;
  ASSERT_TRUE(list.Init(path, 0));
  int64_t n = 0;
  ASSERT_TRUE(list.Count(n));
  std::vector<CFrqRecord> rows;
  ASSERT_TRUE(ParseFrqCsv(FileText(kStarter), rows, &error));
  EXPECT_EQ(n, int64_t(rows.size()));
  // An existing list is the user's: a later start leaves it alone.
  std::vector<FrqListRow> all;
  ASSERT_TRUE(list.List(0, all));
  ASSERT_TRUE(list.Delete(all[0].id));
  ASSERT_TRUE(EnsureFrqDatabase(dir.path(), kStarter, &error));
  ASSERT_TRUE(list.Count(n));
  EXPECT_EQ(n, int64_t(rows.size()) - 1);
  // Nothing but the list is left in the folder (no temporary file).
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

}  // namespace
