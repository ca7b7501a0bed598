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

  // Every field in record order, by type.
  EXPECT_EQ((std::vector<double>{r.rxFrq, r.txFrq, r.startFrq, r.stopFrq, r.rttyStopBits}),
            (std::vector<double>{7880.125, 7880.5, 7870.25, 7890.75, 1.5}));
  EXPECT_EQ((std::vector<std::string>{r.name, r.callSign, r.equName, r.commentary}),
            (std::vector<std::string>{"DWD Pinneberg", "DDK3", "FAXCURVE",
                                      "Weather charts, 0430 UTC schedule"}));
  EXPECT_EQ((std::vector<int32_t>{
                r.decoder, r.modulation, r.country, r.stationType, r.steps, r.ifIndex, r.att,
                r.agc, r.nb, r.volume, r.squelch, r.scanSteps, r.waveOn, r.lineOn, r.decFilter,
                r.equFilter, r.waveOutVol, r.lineInVol, r.lineOutVol, r.audioSquelch, r.recOnSig,
                r.stopOnSig, r.recTime, r.whileTime, r.audioOrSquelch, r.assumeRadio,
                r.assumeAudio, r.flags, r.cwCenter, r.cwMark, r.cwWidth, r.faxIoc, r.faxLpm,
                r.faxCenter, r.faxShift, r.faxFilterMode, r.faxFilterWidth, r.faxHMirror,
                r.faxVMirror, r.faxAm, r.faxFilterOn, r.faxBurst1, r.faxBurst2, r.faxSyncWidth,
                r.faxInvertSync, r.rttyMode, r.rttyBaud, r.rttyMark, r.rttySpace, r.rttyPolarity,
                r.sstvMode, r.sstvFilterLo, r.sstvFilterHi, r.sstvFilterOrder, r.sstvManualFilter,
                r.modulationType, r.satId, r.extension[0], r.extension[1], r.extension[2],
                r.extension[3]}),
            (std::vector<int32_t>{8768, 1, 65, 10, 100, 2, 3, 4, 5, 64, 7, 1000, 11, 12, 13, 14,
                                  135, 45, 136, 18, 19, 20, 21, 101, 23, 24, 25, 26, 800, 801, 40,
                                  576, 120, 1900, 802, 27, 1200, 28, 29, 30, 31, 1040, 250, 32,
                                  33, 34, 50, 1275, 1700, 35, 36, 1001, 2500, 8, 37, 38, -2,
                                  INT32_MAX, INT32_MIN, 0x12345678, -123456789}));

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

TEST(FrqRecordTexts, FullFieldsKeepOneByteLessAndLongNamesAreCutThroughTheFile) {
  const std::vector<uint8_t> full(kFrqRecordSize, 'A');
  CFrqRecord f;
  ASSERT_EQ(1, FrqRecordFromBytes(full.data(), full.size(), f));
  EXPECT_EQ((std::vector<size_t>{std::strlen(f.name), std::strlen(f.callSign),
                                 std::strlen(f.equName), std::strlen(f.commentary)}),
            (std::vector<size_t>{31, 15, 15, 79}));
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
