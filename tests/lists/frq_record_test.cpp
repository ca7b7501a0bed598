// The frequency record: its 428-byte form against a file made independently by
// tests/data/lists/make_frq_record.py, texts that do not fit, list files, and the rules that
// read the decoder column (kinds, station codes, SSTV modes, IF widths, the dial frequency).
#include "app/lists/frq_record.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/core/safe_file.h"
#include "app/core/station_codes.h"
#include "spl/decoders/sstv_decoder.h"
#include "tests/common/signal_test_util.h"

namespace {

const std::string kGolden = std::string(KESTREL_TEST_DATA) + "/lists/frq_record.bin";

std::vector<uint8_t> Bytes(const CFrqRecord& r) {
  std::vector<uint8_t> out(kFrqRecordSize);
  FrqRecordToBytes(r, out.data());
  return out;
}

std::vector<uint8_t> GoldenBytes() {
  std::vector<uint8_t> bytes;
  EXPECT_EQ(1, ReadWholeFile(kGolden, bytes));
  return bytes;
}

TEST(FrqRecordBytes, GoldenFileReadsFieldByFieldAndWritesBackIdentically) {
  const std::vector<uint8_t> golden = GoldenBytes();
  ASSERT_EQ(size_t(kFrqRecordSize), golden.size());
  CFrqRecord r;
  ASSERT_EQ(1, FrqRecordFromBytes(golden.data(), golden.size(), r));

  EXPECT_EQ(7880.125, r.rxFrq);
  EXPECT_STREQ("DWD Pinneberg", r.name);
  EXPECT_EQ(8768, r.decoder);
  EXPECT_EQ(1, r.modulation);
  EXPECT_STREQ("DDK3", r.callSign);
  EXPECT_EQ(65, r.country);
  EXPECT_EQ(10, r.stationType);
  EXPECT_EQ(100, r.steps);
  EXPECT_EQ(2, r.ifIndex);
  EXPECT_EQ(7880.5, r.txFrq);
  EXPECT_EQ(3, r.att);
  EXPECT_EQ(4, r.agc);
  EXPECT_EQ(5, r.nb);
  EXPECT_EQ(64, r.volume);
  EXPECT_EQ(7, r.squelch);
  EXPECT_EQ(7870.25, r.startFrq);
  EXPECT_EQ(7890.75, r.stopFrq);
  EXPECT_EQ(1000, r.scanSteps);
  EXPECT_EQ(11, r.waveOn);
  EXPECT_EQ(12, r.lineOn);
  EXPECT_EQ(13, r.decFilter);
  EXPECT_EQ(14, r.equFilter);
  EXPECT_STREQ("FAXCURVE", r.equName);
  EXPECT_EQ(135, r.waveOutVol);
  EXPECT_EQ(45, r.lineInVol);
  EXPECT_EQ(136, r.lineOutVol);
  EXPECT_EQ(18, r.audioSquelch);
  EXPECT_EQ(19, r.recOnSig);
  EXPECT_EQ(20, r.stopOnSig);
  EXPECT_EQ(21, r.recTime);
  EXPECT_EQ(101, r.whileTime);
  EXPECT_EQ(23, r.audioOrSquelch);
  EXPECT_EQ(24, r.assumeRadio);
  EXPECT_EQ(25, r.assumeAudio);
  EXPECT_EQ(26, r.flags);
  EXPECT_EQ(800, r.cwCenter);
  EXPECT_EQ(801, r.cwMark);
  EXPECT_EQ(40, r.cwWidth);
  EXPECT_EQ(576, r.faxIoc);
  EXPECT_EQ(120, r.faxLpm);
  EXPECT_EQ(1900, r.faxCenter);
  EXPECT_EQ(802, r.faxShift);
  EXPECT_EQ(27, r.faxFilterMode);
  EXPECT_EQ(1200, r.faxFilterWidth);
  EXPECT_EQ(28, r.faxHMirror);
  EXPECT_EQ(29, r.faxVMirror);
  EXPECT_EQ(30, r.faxAm);
  EXPECT_EQ(31, r.faxFilterOn);
  EXPECT_EQ(1040, r.faxBurst1);
  EXPECT_EQ(250, r.faxBurst2);
  EXPECT_EQ(32, r.faxSyncWidth);
  EXPECT_EQ(33, r.faxInvertSync);
  EXPECT_EQ(34, r.rttyMode);
  EXPECT_EQ(50, r.rttyBaud);
  EXPECT_EQ(1275, r.rttyMark);
  EXPECT_EQ(1700, r.rttySpace);
  EXPECT_EQ(1.5, r.rttyStopBits);
  EXPECT_EQ(35, r.rttyPolarity);
  EXPECT_EQ(36, r.sstvMode);
  EXPECT_EQ(1001, r.sstvFilterLo);
  EXPECT_EQ(2500, r.sstvFilterHi);
  EXPECT_EQ(8, r.sstvFilterOrder);
  EXPECT_EQ(37, r.sstvManualFilter);
  EXPECT_STREQ("Weather charts, 0430 UTC schedule", r.commentary);
  EXPECT_EQ(38, r.modulationType);
  EXPECT_EQ(-2, r.satId);
  EXPECT_EQ(INT32_MAX, r.extension[0]);
  EXPECT_EQ(INT32_MIN, r.extension[1]);
  EXPECT_EQ(0x12345678, r.extension[2]);
  EXPECT_EQ(-123456789, r.extension[3]);

  // Bytes after a text's terminator (the call sign's "XY") are kept.
  EXPECT_EQ(golden, Bytes(r));
}

TEST(FrqRecordBytes, WrongSizeIsRefusedAndLeavesTheRecord) {
  const std::vector<uint8_t> golden = GoldenBytes();
  CFrqRecord r = FrqTemplate();
  EXPECT_EQ(0, FrqRecordFromBytes(golden.data(), kFrqRecordSize - 1, r));
  EXPECT_EQ(0, FrqRecordFromBytes(nullptr, kFrqRecordSize, r));
  EXPECT_EQ(Bytes(FrqTemplate()), Bytes(r));
}

TEST(FrqRecordTexts, FullTextFieldsKeepOneByteLessWhenRead) {
  std::vector<uint8_t> b(kFrqRecordSize, 'A');
  CFrqRecord r;
  ASSERT_EQ(1, FrqRecordFromBytes(b.data(), b.size(), r));
  EXPECT_EQ(31u, std::strlen(r.name));
  EXPECT_EQ(15u, std::strlen(r.callSign));
  EXPECT_EQ(15u, std::strlen(r.equName));
  EXPECT_EQ(79u, std::strlen(r.commentary));
}

TEST(FrqRecordTexts, LongNameIsCutTo31AndStaysCutThroughTheFile) {
  const std::string name40 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";
  ASSERT_EQ(40u, name40.size());
  CFrqRecord r = FrqTemplate();
  SetFrqText(r.name, sizeof r.name, name40.c_str());
  EXPECT_EQ(name40.substr(0, 31), r.name);
  CFrqRecord back;
  ASSERT_EQ(1, FrqRecordFromBytes(Bytes(r).data(), kFrqRecordSize, back));
  EXPECT_EQ(name40.substr(0, 31), back.name);

  // A shorter text clears what a longer one left behind.
  SetFrqText(r.name, sizeof r.name, "DCF77");
  const std::vector<uint8_t> b = Bytes(r);
  for (int i = 8 + 5; i < 8 + kFrqNameSize; ++i) EXPECT_EQ(0, b[i]) << i;
}

class FrqRecordFile : public ::testing::Test {
 protected:
  sigtest::TempDir dir_;
};

TEST_F(FrqRecordFile, ThreeRecordsRoundTrip) {
  std::vector<CFrqRecord> records(3, FrqTemplate());
  const std::vector<uint8_t> golden = GoldenBytes();
  ASSERT_EQ(1, FrqRecordFromBytes(golden.data(), golden.size(), records[1]));
  records[0].rxFrq = 4583.0;
  SetFrqText(records[0].name, sizeof records[0].name, "DDK2");
  records[2].rxFrq = 147.3;
  records[2].satId = 7;
  const std::string path = dir_.File("default.tim");
  std::string error;
  ASSERT_EQ(1, WriteFrqRecordFile(path, records, &error)) << error;

  std::vector<uint8_t> file;
  ASSERT_EQ(1, ReadWholeFile(path, file));
  ASSERT_EQ(size_t(3 * kFrqRecordSize), file.size());
  EXPECT_TRUE(std::equal(golden.begin(), golden.end(), file.begin() + kFrqRecordSize));

  std::vector<CFrqRecord> back;
  ASSERT_EQ(1, ReadFrqRecordFile(path, back, &error)) << error;
  ASSERT_EQ(3u, back.size());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Bytes(records[i]), Bytes(back[i])) << i;
}

TEST_F(FrqRecordFile, EmptyFileIsAnEmptyListAndAPartialRecordIsRefused) {
  const std::string empty = dir_.File("empty.scl");
  ASSERT_EQ(1, WriteFrqRecordFile(empty, {}));
  std::vector<CFrqRecord> list(2, FrqTemplate());
  ASSERT_EQ(1, ReadFrqRecordFile(empty, list));
  EXPECT_TRUE(list.empty());

  const std::string path = dir_.File("bad.sbl");
  std::vector<uint8_t> bytes = GoldenBytes();
  bytes.push_back(0);
  ASSERT_EQ(1, WriteFileReplacing(path, bytes.data(), bytes.size()));
  list.assign(1, FrqTemplate());
  std::string error;
  EXPECT_EQ(0, ReadFrqRecordFile(path, list, &error));
  EXPECT_EQ(path + ": 429 bytes, not a list of 428-byte records", error);
  EXPECT_EQ(1u, list.size());
}

TEST_F(FrqRecordFile, MissingFileAndUnwritableFolderReportThePath) {
  std::vector<CFrqRecord> list;
  std::string error;
  EXPECT_EQ(0, ReadFrqRecordFile(dir_.File("none.tim"), list, &error));
  EXPECT_EQ(0u, error.find(dir_.File("none.tim") + ": "));
  error.clear();
  EXPECT_EQ(0, WriteFrqRecordFile(dir_.File("no/such/folder.tim"), {FrqTemplate()}, &error));
  EXPECT_FALSE(error.empty());
}

TEST(FrqDecoderColumn, KindsAtTheRangeEdges) {
  const std::pair<int, int> edges[] = {{-1, kFrqAudio},    {8191, kFrqAudio}, {8192, kFrqFax},
                                       {12287, kFrqFax},   {12288, kFrqText}, {16383, kFrqText},
                                       {16384, kFrqSstv},  {16400, kFrqSstv}};
  for (auto [value, kind] : edges) EXPECT_EQ(kind, FrqDecoderKindOf(value)) << value;
}

TEST(FrqDecoderColumn, StationCodesRoundTripThroughANewRecord) {
  const int codes[] = {kDecoderRtty,   kDecoderRttySync, kDecoderSitor, kDecoderSynop,
                       kDecoderNavtex, kDecoderBpsk31,   kDecoderQpsk31, kDecoderCw,
                       kDecoderFax,    kDecoderSstv,     kDecoderAudio};
  for (int code : codes) {
    CFrqRecord r = FrqTemplate();
    r.decoder = FrqDecoderValue(code, 288, 3);
    EXPECT_EQ(code, StationDecoderCode(r)) << code;
  }
  EXPECT_EQ(0, FrqDecoderValue(kDecoderAudio, 288, 3));
  EXPECT_EQ(8192 + 288, FrqDecoderValue(kDecoderFax, 288, 3));
  EXPECT_EQ(12288 + 18, FrqDecoderValue(kDecoderNavtex, 288, 3));
  EXPECT_EQ(14336, FrqDecoderValue(kDecoderCw, 288, 3));
  EXPECT_EQ(16384 + 3, FrqDecoderValue(kDecoderSstv, 288, 3));
  EXPECT_EQ(0, FrqDecoderValue(-5, 288, 3));
  EXPECT_EQ(0, FrqDecoderValue(99999, 288, 3));

  CFrqRecord r = FrqTemplate();
  r.decoder = 12306;
  EXPECT_EQ(18, StationDecoderCode(r));
  r.decoder = 8191;
  EXPECT_EQ(kDecoderAudio, StationDecoderCode(r));
}

TEST(FrqDecoderColumn, SstvIndexFollowsTheListTexts) {
  EXPECT_EQ(kSstvSc2180, SstvModeOfIndex(1));  // "SSTV Wraase SC2"
  EXPECT_EQ(-1, SstvModeOfIndex(-1));
  EXPECT_EQ(-1, SstvModeOfIndex(4));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(i, SstvIndexOfMode(SstvModeOfIndex(i)));
  EXPECT_EQ(-1, SstvIndexOfMode(1));
}

TEST(FrqDecoderColumn, IfWidthsBothWays) {
  const int widths[] = {3, 6, 15, 50, 230};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(widths[i], IfWidthKHz(i));
    EXPECT_EQ(i, IfIndexOfWidth(widths[i]));
  }
  EXPECT_EQ(3, IfWidthKHz(-1));
  EXPECT_EQ(3, IfWidthKHz(5));
  EXPECT_EQ(0, IfIndexOfWidth(7));
}

TEST(FrqDialFrequency, CentreMovesTheDialBySideband) {
  const struct {
    const char* what;
    int decoder, modulation;
    double kHz, dial;
  } cases[] = {
      {"CW in LSB", FrqDecoderValue(kDecoderCw, 0, 0), 0, 7020.0, 7020.8},
      {"CW in USB", FrqDecoderValue(kDecoderCw, 0, 0), 1, 7020.0, 7019.2},
      {"CW in CW (the receiver places the tone)", FrqDecoderValue(kDecoderCw, 0, 0), 3, 7020.0,
       7020.0},
      {"RTTY: between mark and space", FrqDecoderValue(kDecoderRtty, 0, 0), 1, 10100.8,
       10100.8 - 1.4875},
      {"FAX", FrqDecoderValue(kDecoderFax, 576, 0), 1, 7880.0, 7878.1},
      {"SSTV", FrqDecoderValue(kDecoderSstv, 0, 2), 1, 14230.0, 14230.0},
      {"audio in AM", 0, 7, 6000.0, 6000.0},
      {"audio in USB", 0, 1, 6000.0, 6000.0},
  };
  for (const auto& c : cases) {
    CFrqRecord r = FrqTemplate();
    r.rxFrq = c.kHz;
    r.decoder = c.decoder;
    r.modulation = c.modulation;
    r.cwCenter = 800;  // for CW only
    r.rttyMark = 1275;
    r.rttySpace = 1700;
    r.faxCenter = 1900;
    EXPECT_NEAR(FrqDialFrequency(r), c.dial, 1e-9) << c.what;
  }
}

}  // namespace
