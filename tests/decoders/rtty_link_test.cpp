// RTTY, synchronous Baudot, SITOR-B and NAVTEX through the air: the transmitter's audio with
// white noise at a stated SNR (3 kHz bandwidth) must come out of the decoder as the text sent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/common/rtty_signal.h"
#include "tests/common/signal_test_util.h"

namespace {

using rttysig::Link;

const char* kText = "RYRY THE QUICK BROWN FOX 1234567890 -?:()., /+='\nJUMPS OVER THE LAZY DOG\n";

struct LinkCase {
  const char* name;
  Link link;
  double snr_db;
};

// The text must come out whole; before the first shift character a fresh decoder may print one
// or two characters of the key-up (the line starts with only half a bit of idle).
::testing::AssertionResult Recovered(const std::string& got, const std::string& sent) {
  const bool ends = got.size() >= sent.size() && got.compare(got.size() - sent.size(), sent.size(), sent) == 0;
  if (ends && got.size() <= sent.size() + 2) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got \"" << got << "\"";
}

std::vector<float> Noisy(const Link& l, const std::string& text, double snr, uint64_t seed) {
  std::vector<float> s = rttysig::Render(l, text);
  sigtest::AddNoise(s, l.rate, snr, seed);
  return s;
}

TEST(RttyLink, EveryRateShiftAndFramingRecoversTheTextAtTenDb) {
  const LinkCase cases[] = {
      {"async 45.45 Bd 170 Hz", {11025, kRttyAsync, 45.45f, 45, 1275, 1445}, 10},
      {"async 50 Bd 425 Hz", {11025, kRttyAsync, 50, 50, 1275, 1700}, 10},
      {"async 50 Bd 450 Hz 8000", {8000, kRttyAsync, 50, 50, 1275, 1725}, 10},
      {"async 75 Bd 850 Hz", {11025, kRttyAsync, 75, 75, 1275, 2125}, 10},
      {"async 100 Bd 850 Hz 48000", {48000, kRttyAsync, 100, 100, 1275, 2125}, 10},
      {"async 50 Bd tones exchanged", {11025, kRttyAsync, 50, 50, 1700, 1275}, 10},
      {"sync 50 Bd 425 Hz", {11025, kRttySync, 50, 50, 1275, 1700}, 10},
      {"sync 45.45 Bd 170 Hz", {11025, kRttySync, 45.45f, 45, 1275, 1445}, 10},
      {"sync 75 Bd 850 Hz 48000", {48000, kRttySync, 75, 75, 1275, 2125}, 10},
      {"sitor 170 Hz", {11025, kRttySitorB, 100, 100, 1275, 1445}, 10},
      {"sitor 425 Hz 8000", {8000, kRttySitorB, 100, 100, 1275, 1700}, 10},
      {"sitor 170 Hz 48000", {48000, kRttySitorB, 100, 100, 1615, 1785}, 10},
      {"navtex", {11025, kRttySitorB, 100, 100, kNavtexHighTone, kNavtexLowTone}, 10},
  };
  uint64_t seed = 1;
  for (const LinkCase& c : cases) {
    const std::vector<float> s = Noisy(c.link, kText, c.snr_db, seed++);
    ASSERT_FALSE(s.empty()) << c.name;
    for (int receiver : {kRttyReceiverPlain, kRttyReceiverMatched}) {
      Link l = c.link;
      l.receiver = receiver;
      EXPECT_TRUE(Recovered(rttysig::DecodeText(l, s), kText)) << c.name << " " << receiver;
    }
  }
}

}  // namespace
