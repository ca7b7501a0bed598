// kestrel decode synop and kestrel synop: reports as text, raw WMO files, the store's errors,
// station look-ups and a station list import.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tests/common/signal_test_util.h"

namespace {

const std::string kData = KESTREL_TEST_DATA;

TEST(SynopTool, DecodesBulletinText) {
  sigtest::TempDir dir;
  std::ofstream(dir.File("b.txt"))
      << "ZCZC 123\r\nSMDL01 EDZW 061200\r\nAAXX 06121\r\n10384 41458 81205 10123 20089 "
         "30123 40156 52012 60001 78012 88/53=\r\n10385 NIL=\r\nNNNN\r\n"
         "ZCZC 124\r\nFXDL40 EDZW 061100\r\nstorm warning\r\nNNNN\r\n";
  const auto r = sigtest::RunTool("decode synop --clock 2026-12-06T13:00 " + dir.File("b.txt"));
  EXPECT_EQ(0, r.status) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("Station 10384 BERLIN-TEMPELHOF"));
  EXPECT_NE(std::string::npos, r.out.find("Air temperature: 12.3 C"));
  EXPECT_NE(std::string::npos, r.out.find("Station 10385 BERLIN BRANDENBURG"));
  EXPECT_NE(std::string::npos, r.out.find("--- end of report ---\n\nStation 10385"));
  EXPECT_NE(std::string::npos, r.out.find("warning bulletin starts"));
  EXPECT_NE(std::string::npos, r.out.find("warning bulletin ends"));
  EXPECT_NE(std::string::npos, r.out.find("2 reports, 0 not translated, 2 bulletins"));
}

TEST(SynopTool, RawWmoFile) {
  const auto r = sigtest::RunTool("decode synop --clock 2026-12-06T13:00 " + kData +
                                  "/synop/smdl01_raw.bin");
  EXPECT_EQ(0, r.status) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("HAMBURG-FUHLSBUETTEL"));
  EXPECT_NE(std::string::npos, r.out.find("3 reports"));
}

TEST(SynopTool, BulletinFileWithoutTeleprinterFrame) {
  const auto r = sigtest::RunTool("decode synop --clock 2026-12-21T13:00 " + kData +
                                  "/synop/public/smro01_yrbk_211200.txt");
  EXPECT_EQ(0, r.status) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("VARFU OMU"));
  EXPECT_NE(std::string::npos, r.out.find("23 reports"));
}

TEST(SynopTool, StoreErrorsNameTheFile) {
  auto r = sigtest::RunTool("decode synop --db /nonexistent/x.db " + kData +
                            "/synop/smdl01_raw.bin");
  EXPECT_EQ(2, r.status);
  EXPECT_NE(std::string::npos, r.out.find("kestrel: synop store: /nonexistent/x.db: "));
  r = sigtest::RunTool("synop station 99998");
  EXPECT_EQ(2, r.status);
  EXPECT_NE(std::string::npos, r.out.find("not in the station store"));
}

TEST(SynopTool, StationLookupAndImport) {
  auto r = sigtest::RunTool("synop station EGLL");
  EXPECT_EQ(0, r.status) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("index      03772"));
  EXPECT_NE(std::string::npos, r.out.find("latitude   51.29 N (-3089 minutes"));
  sigtest::TempDir dir;
  const std::string db = dir.File("s.db");
  const std::string data = kData + "/../../data/synop/";
  r = sigtest::RunTool("synop create-store " + db + " " + data + "stations.csv " + data +
                       "labels.tsv " + data + "regions.tsv " + data + "region_texts.tsv");
  ASSERT_EQ(0, r.status) << r.out;
  std::ofstream(dir.File("new.csv"))
      << "wmo_index,icao,name,country,wmo_region,latitude,longitude,altitude\n"
         "99001,XXYZ,TEST ISLAND,Nowhere,6,-10.5,-20.25,12\n";
  r = sigtest::RunTool("synop import-stations --db " + db + " " + dir.File("new.csv"));
  EXPECT_EQ(0, r.status) << r.out;
  r = sigtest::RunTool("synop station --db " + db + " XXYZ");
  EXPECT_EQ(0, r.status) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("10.30 S (630 minutes"));
  EXPECT_NE(std::string::npos, r.out.find("20.15 W (-1215 minutes"));
  // A bad list changes nothing.
  std::ofstream(dir.File("bad.csv")) << "wmo_index,icao\n12,AB,x,y,6,95,0,0\n";
  r = sigtest::RunTool("synop import-stations --db " + db + " " + dir.File("bad.csv"));
  EXPECT_EQ(2, r.status);
  EXPECT_NE(std::string::npos, r.out.find("line 2: latitude"));
  EXPECT_EQ(0, sigtest::RunTool("synop station --db " + db + " 99001").status);
}

TEST(SynopTool, RttyAudioStraightToReports) {
  sigtest::TempDir dir;
  const std::string wav = dir.File("s.wav"), noisy = dir.File("n.wav");
  auto r = sigtest::RunTool(
      "transmit rtty -o " + wav +
      " --text \"$(printf 'ZCZC 123\\r\\nSMDL01 EDZW 061200\\r\\nAAXX 06121\\r\\n10384 41458 "
      "81205 10123 20089 30123 40156 52012 60001 78012 88/53=\\r\\nNNNN\\r\\n')\"");
  ASSERT_EQ(0, r.status) << r.out;
  int rate = 0;
  std::vector<float> s = sigtest::ReadMonoWav(wav, &rate);
  ASSERT_FALSE(s.empty());
  sigtest::AddNoise(s, rate, 15.0, 7);
  ASSERT_TRUE(sigtest::WriteMonoWav(noisy, rate, s));
  r = sigtest::RunTool("decode rtty --synop " + noisy);
  EXPECT_EQ(0, r.status) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("Station 10384 BERLIN-TEMPELHOF")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("Air temperature: 12.3 C")) << r.out;
  EXPECT_EQ(std::string::npos, r.out.find("ZCZC"));  // reports, not the text
}

}  // namespace
