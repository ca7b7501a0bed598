// Maidenhead locators to map coordinates and back.
#include <gtest/gtest.h>

#include <string>

#include "spl/sat/track_sat.h"

namespace {

std::string Locator(int y, int x) {
  char text[8] = "unset!";
  if (!CTrackSat::MapToLocator(y, x, text)) return "refused:" + std::string(text);
  return text;
}

TEST(Locators, EverySquareComesBack) {
  // Corners of sampled sub-squares: locator -> map -> the same locator.
  int checked = 0;
  for (char f1 = 'A'; f1 <= 'R'; f1 += 3)
    for (char f2 = 'A'; f2 <= 'R'; f2 += 2)
      for (char s1 = '0'; s1 <= '9'; s1 += 3)
        for (char s2 = '0'; s2 <= '9'; s2 += 4)
          for (char u1 = 'A'; u1 <= 'X'; u1 += 5)
            for (char u2 = 'A'; u2 <= 'X'; ++u2) {
              char loc[7] = {f1, f2, s1, s2, u1, u2, 0};
              int y, x;
              ASSERT_EQ(CTrackSat::LocatorToMap(loc, y, x), 1) << loc;
              EXPECT_EQ(Locator(y, x), loc);          // the corner itself
              EXPECT_EQ(Locator(y - 1, x + 4), loc);  // and a point inside
              ++checked;
            }
  EXPECT_GT(checked, 1000);
}

TEST(Locators, ShortFormsGiveTheirCorner) {
  const struct {
    const char* loc;
    int y, x;
  } cases[] = {
      {"JN", 5400 - 13 * 600, 9 * 1200 - 10800},  // 40 N, 0 E
      {"JN5", 5400 - 13 * 600, 9 * 1200 - 10800},  // the third character is ignored
      {"JN59", -49 * 60, 10 * 60},
      {"JN59O", -49 * 60, 10 * 60},  // like "JN59"
      // The worked example: 11 10' E, 49 37.5' N rounded up into the square, 49 38'.
      {"JN59OP", -2978, 670},
      {"AA00AA", 5400, -10800},
      // 23 x 2.5' rounded up.
      {"RR99XX", 5400 - (17 * 600 + 9 * 60 + 58), 17 * 1200 + 9 * 120 + 23 * 5 - 10800},
  };
  for (const auto& c : cases) {
    int y, x;
    ASSERT_EQ(CTrackSat::LocatorToMap(c.loc, y, x), 1) << c.loc;
    EXPECT_EQ(y, c.y) << c.loc;
    EXPECT_EQ(x, c.x) << c.loc;
  }
  EXPECT_EQ(Locator(-2978, 673), "JN59OP");  // 49 38' N, 11 13' E
}

TEST(Locators, MalformedTextIsRefusedWithZeroes) {
  for (const char* bad : {"", "J", "JN57RX11", "JN59OPX", "SN59OP", "JS", "jn59op", "JNA9",
                          "JN5Y", "JN59YA", "JN59AY", "JN 9OP", "J#"}) {
    int y = 123, x = 456;
    EXPECT_EQ(CTrackSat::LocatorToMap(bad, y, x), 0) << bad;
    EXPECT_EQ(y, 0) << bad;
    EXPECT_EQ(x, 0) << bad;
  }
  int y = 1, x = 1;
  EXPECT_EQ(CTrackSat::LocatorToMap(nullptr, y, x), 0);
}

TEST(Locators, EdgesOfTheMap) {
  EXPECT_EQ(Locator(5400, -10800), "AA00AA");   // south pole, 180 W
  EXPECT_EQ(Locator(-5399, 10799), "RR99XX");   // just short of the north pole and 180 E
  // The north pole belongs to the last row of fields, 180 E is 180 W.
  EXPECT_EQ(Locator(-5400, 0), "JR09AX");
  EXPECT_EQ(Locator(0, 10800), Locator(0, -10800));
  // Outside the map nothing is written.
  EXPECT_EQ(Locator(-5401, 0), "refused:unset!");
  EXPECT_EQ(Locator(5401, 0), "refused:unset!");
  EXPECT_EQ(Locator(0, 10801), "refused:unset!");
  EXPECT_EQ(Locator(0, -10801), "refused:unset!");
  EXPECT_EQ(Locator(0x7FFFFFFF, 0x80000000), "refused:unset!");
}

}  // namespace
