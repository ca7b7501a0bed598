// The matched RTTY receiver with signals of the tests' own keyer (random start phase, exact
// fractional baud): Baudot and SITOR-B copy through noise 3 dB above their working points, a
// fresh decoder starts in letters, the tone pair is found off the set tones, SITOR-B finds its
// DX/RX alignment in either phasing order and from the middle of a message, and the quality
// squelch keeps noise alone quiet.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/common/fsk_signal.h"
#include "tests/common/rtty_signal.h"
#include "tests/common/signal_test_util.h"

namespace {

using rttysig::Link;

const char* kText = "CQ CQ DE XY1ZZ 599 QTH 52.3N 013.4E WX 21 C RAIN/WIND SW 5 - OK?";

struct Case {
  const char* name;
  int rate;
  double baud;
  int one, zero;
};

Link LinkFor(const Case& c, int mode) {
  Link l;
  l.rate = c.rate;
  l.mode = mode;
  l.tx_baud = float(c.baud);
  l.rx_baud = c.baud;
  l.mark = c.one;
  l.space = c.zero;
  return l;
}

fsksig::Keyer KeyerFor(const Case& c, uint64_t seed) {
  fsksig::Keyer k;
  k.rate = c.rate;
  k.baud = c.baud;
  k.one_hz = c.one;
  k.zero_hz = c.zero;
  k.seed = seed;
  return k;
}

std::string Flat(std::string s) {
  std::string out;
  for (char c : s)
    if (c != '\n') out += c;
  return out;
}

// Working points lie at -6 dB (3 kHz); at -3 dB the copy must be all but perfect.
TEST(RttyMatched, BaudotCopiesThreeDbAboveItsWorkingPoint) {
  const Case cases[] = {
      {"45.45 Bd 170 Hz 8000", 8000, 45.45, 1275, 1445},
      {"50 Bd 425 Hz 11025", 11025, 50, 1275, 1700},
      {"50 Bd 450 Hz 48000", 48000, 50, 2125, 1675},
      {"50 Bd 850 Hz 8000", 8000, 50, 1275, 2125},
      {"75 Bd 170 Hz 11025", 11025, 75, 1275, 1445},
  };
  uint64_t seed = 1;
  for (const Case& c : cases) {
    std::vector<float> s = fsksig::Key(KeyerFor(c, seed), fsksig::Baudot(kText));
    sigtest::AddNoise(s, c.rate, -3.0, seed++);
    const std::string got = rttysig::DecodeText(LinkFor(c, kRttyAsync), s);
    EXPECT_LE(rttysig::CharErrorRate(kText, got), 0.02) << c.name << ": " << got;
  }
}

TEST(RttyMatched, TransmitterSignalsCopyAtMinusThreeDb) {
  Link l;
  l.tx_baud = 45.45f;
  l.rx_baud = 45.45;
  l.mark = 1275;
  l.space = 1445;
  std::vector<float> s = rttysig::Render(l, kText);
  sigtest::AddNoise(s, l.rate, -3.0, 5);
  EXPECT_LE(rttysig::CharErrorRate(kText, rttysig::DecodeText(l, s)), 0.02);
  l.mode = kRttySitorB;
  l.tx_baud = 100;
  l.rx_baud = 100;
  s = rttysig::Render(l, kText);
  sigtest::AddNoise(s, l.rate, -3.0, 6);
  EXPECT_LE(rttysig::CharErrorRate(kText, rttysig::DecodeText(l, s)), 0.02);
}

TEST(RttyMatched, FractionalBaudIsKept) {
  rttysig::CCollector d;
  d.SetBaud(45.45);
  EXPECT_DOUBLE_EQ(d.GetBaud(), 45.45);
  // 45 Bd is not 45.45 Bd: a character is 1 % longer, and the matched receiver must be told.
  const Case c{"45.45", 11025, 45.45, 1275, 1445};
  const std::vector<float> s = fsksig::Key(KeyerFor(c, 3), fsksig::Baudot(kText));
  EXPECT_EQ(rttysig::DecodeText(LinkFor(c, kRttyAsync), s), kText);
}

// A weather station sends RYRY without a LTRS first: both receivers start in letters.
TEST(RttyMatched, AFreshDecoderStartsInLetters) {
  const Case c{"50 Bd", 11025, 50, 1275, 1700};
  const std::string text = "RYRYRYRY 734 RYRY";
  const std::vector<float> s = fsksig::Key(KeyerFor(c, 4), fsksig::Baudot(text, 1.5, 10, 30, false));
  for (int receiver : {kRttyReceiverMatched, kRttyReceiverPlain}) {
    Link l = LinkFor(c, kRttyAsync);
    l.receiver = receiver;
    EXPECT_EQ(rttysig::DecodeText(l, s), text) << receiver;
  }
}

// NAVTEX as the tool decodes it (whole passband searched) with the coast station heard 300 Hz
// and 700 Hz below the nominal tones; RTTY with the pair 200 Hz above the set centre.
TEST(RttyTuning, TonePairsAreFoundOffTheSetTones) {
  for (int offset : {-300, -700, 400}) {
    const Case heard{"navtex", 8000, 100, kNavtexHighTone + offset, kNavtexLowTone + offset};
    std::vector<float> s = fsksig::Key(KeyerFor(heard, 7), fsksig::Sitor(kText));
    sigtest::AddNoise(s, heard.rate, 0.0, 8);
    Link l = LinkFor({"set", 8000, 100, kNavtexHighTone, kNavtexLowTone}, kRttySitorB);
    l.auto_tune = 1;
    l.tune_range = 0;
    rttysig::CCollector d;
    ASSERT_TRUE(rttysig::Configure(d, l));
    rttysig::Feed(d, s);
    EXPECT_EQ(Flat(d.text), kText) << offset;
    EXPECT_NEAR(d.GetTunedMark(), kNavtexLowTone + offset, 10) << offset;
    EXPECT_NEAR(d.GetTunedSpace(), kNavtexHighTone + offset, 10) << offset;
  }
  // The pair is found once both tones have been heard: about half a second into the text.
  // What prints before that is noise, and may leave the figures shift set; which character
  // the text comes out whole from thus varies with the draw of phase and noise. From the 10th
  // character in most draws, and in every draw from the 13th (after the sender's own LTRS).
  const Case heard{"rtty", 11025, 45.45, 1475, 1645};
  Link l = LinkFor({"set", 11025, 45.45, 1275, 1445}, kRttyAsync);
  const std::string tail = std::string(kText).substr(9), late = std::string(kText).substr(12);
  int whole = 0, draws = 0;
  for (uint64_t seed = 9; seed < 30; seed += 2, ++draws) {
    std::vector<float> s = fsksig::Key(KeyerFor(heard, seed), fsksig::Baudot(kText, 1.5, 30));
    sigtest::AddNoise(s, heard.rate, 0.0, seed + 1);
    l.auto_tune = 0;
    EXPECT_GT(rttysig::CharErrorRate(kText, rttysig::DecodeText(l, s)), 0.5) << seed;  // untuned
    l.auto_tune = 1;
    const std::string got = rttysig::DecodeText(l, s);
    ASSERT_GE(got.size(), tail.size()) << got;
    whole += got.substr(got.size() - tail.size()) == tail;
    EXPECT_EQ(got.substr(got.size() - late.size()), late) << got;
    EXPECT_LE(got.size(), tail.size() + 12) << got;
  }
  EXPECT_GT(2 * whole, draws);
}

TEST(RttySitorMatched, AlignmentFromTheSignalInEitherPhasingOrder) {
  const Case c{"sitor", 11025, 100, 1275, 1445};
  for (bool rq_first : {false, true}) {
    std::vector<float> s = fsksig::Key(KeyerFor(c, 11), fsksig::Sitor(kText, 8, rq_first));
    sigtest::AddNoise(s, c.rate, -3.0, 12);
    EXPECT_LE(rttysig::CharErrorRate(kText, rttysig::DecodeText(LinkFor(c, kRttySitorB), s)), 0.02)
        << rq_first;
  }
}

// Reception starting in the middle of the message (after noise), at every bit phase.
TEST(RttySitorMatched, ReceptionStartingMidMessage) {
  const Case c{"sitor", 8000, 100, 1275, 1445};
  const std::string text = std::string(kText) + " " + kText;
  const std::vector<float> full = fsksig::Key(KeyerFor(c, 13), fsksig::Sitor(text, 4));
  const double bit = c.rate / c.baud;
  for (double cut_bits : {400.0, 403.5, 409.0, 412.25}) {
    std::vector<float> s(size_t(2.0 * c.rate), 0.0f);  // two seconds of noise first
    s.insert(s.end(), full.begin() + long(cut_bits * bit), full.end());
    sigtest::AddNoise(s, c.rate, 0.0, 14, sigtest::MeanSquare(full));
    const std::string got = rttysig::DecodeText(LinkFor(c, kRttySitorB), s);
    // 400 bits are about 28 DX positions into the text: what follows is copied whole.
    const std::string tail = text.substr(text.size() - 60);
    EXPECT_NE(got.find(tail), std::string::npos) << cut_bits << ": " << got;
    EXPECT_LE(got.size(), text.size()) << cut_bits;
  }
}

// Thirty seconds of noise alone print next to nothing with the default squelch, while the
// same decoder without it prints a steady trickle.
TEST(RttySquelch, NoiseAlonePrintsNextToNothing) {
  const struct {
    int mode, rate;
    double baud;
    int one, zero;
  } modes[] = {{kRttyAsync, 8000, 45.45, 1275, 1445}, {kRttyAsync, 11025, 50, 1275, 1700},
               {kRttySitorB, 8000, 100, 1275, 1445}};
  uint64_t seed = 20;
  for (const auto& m : modes) {
    std::vector<float> s(size_t(30 * m.rate), 0.0f);
    sigtest::AddNoise(s, m.rate, 0.0, seed++, 0.005);
    Link l = LinkFor({"noise", m.rate, m.baud, m.one, m.zero}, m.mode);
    rttysig::CCollector d;
    ASSERT_TRUE(rttysig::Configure(d, l));
    rttysig::Feed(d, s);
    EXPECT_LE(d.text.size(), 2u) << m.mode << " " << m.rate;
    EXPECT_LT(d.GetQuality(), kRttyDefaultQuality);
    l.quality = 0;
    EXPECT_GT(rttysig::DecodeText(l, s).size(), 20u) << m.mode << " " << m.rate;
  }
}

// A strong transmission followed by noise: the squelch closes within a character when it ends
// (the long-term measure, full of the signal, kept it open on the noise for some thirty
// characters).
TEST(RttySquelch, NoiseAfterAStrongTransmissionStaysQuiet) {
  const std::string text = Flat(kText);
  for (uint64_t seed : {3u, 4u, 5u, 6u}) {
    const bool sitor = seed == 6;  // SITOR-B's agreement of the copies falls as slowly
    const Case c = sitor ? Case{"SITOR-B", 11025, 100, 1275, 1445}
                         : Case{"50 Bd 425 Hz", 11025, 50, 1275, 1700};
    const std::vector<float> keyed = fsksig::Key(
        KeyerFor(c, seed), sitor ? fsksig::Sitor(text, 4) : fsksig::Baudot(text));
    std::vector<float> s(size_t(3 * c.rate), 0.0f);
    s.insert(s.end(), keyed.begin(), keyed.end());
    s.resize(s.size() + size_t(10 * c.rate), 0.0f);
    sigtest::AddNoise(s, c.rate, 15.0, seed, sigtest::MeanSquare(keyed));
    const std::string got =
        Flat(rttysig::DecodeText(LinkFor(c, sitor ? kRttySitorB : kRttyAsync), s));
    // SITOR-B's last idle characters, whose copies the noise already hits, may still leave
    // up to three behind the text.
    const size_t at = got.rfind(text);
    ASSERT_NE(at, std::string::npos) << seed << ": " << got;
    EXPECT_LE(got.size() - at - text.size(), sitor ? 3u : 0u) << seed << ": " << got;
  }
}

// Two paths 1 ms apart with 0.5 Hz Doppler spread at +6 dB: 170 Hz tones fade mostly together,
// 425 Hz ones mostly apart, 850 Hz ones partly. One fading draw of a minute holds only some
// thirty fades, so each shift is judged on the mean of four (3 % of characters at most).
TEST(RttyMatched, TwoPathFadingAtSixDb) {
  const Case cases[] = {{"50 Bd 425 Hz", 11025, 50, 1275, 1700},
                        {"45.45 Bd 170 Hz", 11025, 45.45, 1275, 1445},
                        {"50 Bd 850 Hz", 11025, 50, 1275, 2125}};
  constexpr int kDraws = 4;
  std::string text;
  for (int i = 0; i < 3; ++i) text += std::string(kText) + " ";
  uint64_t seed = 30;
  for (const Case& c : cases) {
    double sum = 0.0;
    for (int k = 0; k < kDraws; ++k, seed += 3) {
      const auto a = fsksig::KeyAnalytic(KeyerFor(c, seed), fsksig::Baudot(text));
      const double power = sigtest::MeanSquare(fsksig::Real(a));
      std::vector<float> s = fsksig::TwoPathFading(a, c.rate, 0.001, 0.5, seed + 1);
      sigtest::AddNoise(s, c.rate, 6.0, seed + 2, power);
      sum += rttysig::CharErrorRate(text, rttysig::DecodeText(LinkFor(c, kRttyAsync), s));
    }
    EXPECT_LE(sum / kDraws, 0.03) << c.name;
  }
}

// Signals on which the receiver once went wrong: a weather text of 133 characters (a third of
// the measurement's own; the faults showed in the first characters), keyed with a fixed start
// phase and given white noise of a fixed seed. At most one character may be wrong, and the first
// ten must be right.
struct Hard {
  const char* name;
  Case c;
  int mode;
  uint64_t keyer_seed, noise_seed;
  double snr;
};

void ExpectCopiedFromTheStart(const Hard& h) {
  const std::string text =
      "ZCZC WA42 GALE WARNING 0615 UTC SW 8 TO 9 VEERING NW LATER SEA ROUGH 1015 HPA FALLING "
      "VIS MODERATE OR POOR IN RAIN 52.3N 004.1E NNNN ";
  fsksig::Keyer k = KeyerFor(h.c, h.keyer_seed);
  k.amplitude = 1000.0;
  std::vector<float> s =
      fsksig::Key(k, h.mode == kRttySitorB ? fsksig::Sitor(text) : fsksig::Baudot(text));
  sigtest::AddNoise(s, h.c.rate, h.snr, h.noise_seed);
  const std::string got = Flat(rttysig::DecodeText(LinkFor(h.c, h.mode), s));
  EXPECT_LE(rttysig::EditDistance(text, got), 1) << h.name << ": " << got;
  EXPECT_EQ(got.substr(0, 10), text.substr(0, 10)) << h.name;
}

// The character clock started from the gap between two frames alone was too rough: it slipped
// during the first characters and printed 8 to 20 wrong ones before it caught again. A long idle
// mark before the first start bit also spoilt the first character.
TEST(RttyMatched, CharacterClockHoldsFromTheFirstFrames) {
  const Hard cases[] = {
      {"45.45 Bd 170 Hz 11025, -4.5 dB", {"", 11025, 45.45, 1275, 1445}, kRttyAsync, 135, 139, -4.5},
      {"50 Bd 425 Hz 11025, -4.5 dB", {"", 11025, 50, 1275, 1700}, kRttyAsync, 142, 146, -4.5},
      {"75 Bd 170 Hz 48000, 0 dB", {"", 48000, 75, 1275, 1445}, kRttyAsync, 198, 200, 0.0},
      {"75 Bd 170 Hz 48000, -3 dB", {"", 48000, 75, 1275, 1445}, kRttyAsync, 198, 201, -3.0},
  };
  for (const Hard& h : cases) ExpectCopiedFromTheStart(h);
}

// Where the characters start within the 14-bit cycle is known from the phasing already (only
// there are the 7-bit words valid), so the first text characters print, and no garbage while
// the DX/RX repeat of the text settles.
TEST(RttySitorMatched, FirstCharactersAfterThePhasingPrint) {
  const Hard cases[] = {
      {"11025, 0 dB", {"", 11025, 100, 1275, 1445}, kRttySitorB, 226, 228, 0.0},
      {"11025, -4.5 dB", {"", 11025, 100, 1275, 1445}, kRttySitorB, 226, 230, -4.5},
      {"48000, 0 dB", {"", 48000, 100, 1275, 1445}, kRttySitorB, 233, 235, 0.0},
      {"48000, -6 dB", {"", 48000, 100, 1275, 1445}, kRttySitorB, 233, 238, -6.0},
  };
  for (const Hard& h : cases) ExpectCopiedFromTheStart(h);
}

// A minute of noise alone at 75 Bd and 48000 Hz, on which the squelch once let a few frames
// through: the tone ratio it judges by was averaged over too few bits.
TEST(RttySquelch, AMinuteOfNoiseAtSeventyFiveBaudStaysQuiet) {
  const Case c = {"75 Bd 170 Hz 48000", 48000, 75, 1275, 1445};
  std::vector<float> s(size_t(60 * c.rate), 0.0f);
  sigtest::AddNoise(s, c.rate, 0.0, 312, 1000.0 * 1000.0 / 2.0);
  EXPECT_LE(rttysig::DecodeText(LinkFor(c, kRttyAsync), s).size(), 1u);
}

}  // namespace
