// RTTY decoder and transmitter edge cases: the code tables, the Baudot shift handling and line
// ends, SITOR-B's repair from the other copy, block sizes, refused settings, display channels.
#include <gtest/gtest.h>

#include <bitset>
#include <string>
#include <vector>

#include "spl/decoders/teleprinter_codes.h"
#include "tests/common/fsk_signal.h"
#include "tests/common/rtty_signal.h"
#include "tests/common/signal_test_util.h"

namespace {

using rttysig::Link;

fsksig::Keyer Keyer(const Link& l) {
  fsksig::Keyer k;
  k.rate = l.rate;
  k.baud = l.tx_baud;
  k.one_hz = l.mark;
  k.zero_hz = l.space;
  k.amplitude = 3000.0;
  return k;
}

// Baudot frames of the given codes from the tests' own keyer: idle mark, then for each code a
// start bit, five data bits (the first sent first) and 1.5 stop bits.
std::vector<float> KeyBaudot(const std::vector<int>& codes, const Link& l) {
  std::vector<fsksig::Element> e{{1, 20.0}};
  for (int c : codes) {
    e.push_back({0, 1.0});
    for (int b = 4; b >= 0; --b) e.push_back({(c >> b) & 1, 1.0});
    e.push_back({1, 1.5});
  }
  e.push_back({1, 30.0});
  return fsksig::Key(Keyer(l), e);
}

// A fresh Baudot decoder may print one character of the key-up before the first shift.
bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.size() <= tail.size() + 1 &&
         s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

struct Decoded {
  std::string text;
  std::vector<int> shifts;
};

Decoded DecodeBaudot(const std::vector<int>& codes, int mode = kRttyAsync) {
  const Link l{11025, mode, 50, 50, 1275, 1700};
  rttysig::CCollector d;
  EXPECT_TRUE(rttysig::Configure(d, l));
  rttysig::Feed(d, KeyBaudot(codes, l));
  return {d.text, d.shifts};
}

TEST(RttyTables, SitorCodesAreTheFourOfSevenAndSendTablesInvertTheReceiveTables) {
  int valid = 0;
  for (int c = 0; c < kSitorCodes; ++c) {
    const bool four = std::bitset<7>(unsigned(c)).count() == 4;
    EXPECT_EQ(SitorChar(c, 1) != 0, four) << c;
    valid += SitorChar(c, 1) != 0;
  }
  EXPECT_EQ(valid, 35);
  for (int c : {'D', 'F', 'G', 'H'}) EXPECT_EQ(SitorChar(SitorSendCode(c).code, 0), 0) << char(c);
  EXPECT_EQ(SitorChar(0x35, 0), '3');
  for (int ch = 0; ch < 128; ++ch) {
    const int b = BaudotSendCode(ch);
    if (b >= 0 && ch > 2) {
      const bool letter = (ch | 32) >= 'a' && (ch | 32) <= 'z';
      const int back = (letter ? kBaudotLetters : kBaudotFigures)[b];
      EXPECT_EQ(back, letter ? (ch & ~32) : ch) << ch;
    }
    const SitorSend s = SitorSendCode(ch);
    if (s.code >= 0 && ch > 5) {
      const int back = SitorChar(s.code, s.letters);
      const bool letter = (ch | 32) >= 'a' && (ch | 32) <= 'z';
      EXPECT_EQ(back, letter ? (ch & ~32) : ch) << ch;
    }
  }
  for (int ch : {int('#'), int('!'), int('@'), int('*'), 200, -1}) {
    EXPECT_LT(BaudotSendCode(ch), 0) << ch;
    EXPECT_LT(SitorSendCode(ch).code, 0) << ch;
  }
}

TEST(RttyBaudot, ShiftsLineEndsAndInvalidCodes) {
  const int E = 16, SP = kBaudotSpace;
  // FIGS again changes nothing, space does not unshift; BuZeChanged only on a change.
  Decoded d = DecodeBaudot({kBaudotLtrs, kBaudotFigs, E, SP, E, kBaudotFigs, E, kBaudotLtrs, E});
  EXPECT_TRUE(EndsWith(d.text, "3 33E")) << d.text;
  ASSERT_GE(d.shifts.size(), 2u);
  EXPECT_EQ(std::vector<int>(d.shifts.end() - 2, d.shifts.end()), std::vector<int>({0, 1}));
  // CR LF gives one 13; code 0 prints nothing, in either framing.
  for (int mode : {kRttyAsync, kRttySync}) {
    d = DecodeBaudot({kBaudotLtrs, E, kBaudotCr, kBaudotLf, kBaudotNull, E}, mode);
    EXPECT_TRUE(EndsWith(d.text, "E\nE")) << mode << d.text;
  }
}

TEST(RttyBaudot, SteadyMarkPrintsNothingAndLeavesNoBuffer) {
  for (int receiver : {kRttyReceiverPlain, kRttyReceiverMatched})
  for (int mode : {kRttyAsync, kRttySync, kRttySitorB}) {
    const Link l{11025, mode, 50, 50, 1275, 1700, false, receiver};
    rttysig::CCollector d;
    ASSERT_TRUE(rttysig::Configure(d, l));
    rttysig::Feed(d, fsksig::Key(Keyer(l), {{1, 8.0 * l.tx_baud}}));  // 8 s of mark
    EXPECT_EQ(d.text, "") << mode << " " << receiver;
    if (mode == kRttyAsync) {
      EXPECT_EQ(d.GetBufferCount(), 0);
    }
  }
}

TEST(RttyTransmitter, PreamblesShiftsAndStopBits) {
  CRttyTransmitter tx;
  ASSERT_TRUE(tx.Init(11025, 1024));
  EXPECT_EQ(tx.GetBitCount(), 3 * 15);  // three LTRS of 7.5 bits in half bits
  EXPECT_EQ(tx.Transmit('A'), 1);
  EXPECT_EQ(tx.GetBitCount(), 4 * 15);
  EXPECT_EQ(tx.Transmit('1'), 1);  // FIGS, then 1
  EXPECT_EQ(tx.GetBitCount(), 6 * 15);
  EXPECT_EQ(tx.Transmit('#'), 0);
  EXPECT_EQ(tx.Transmit(300), 0);
  ASSERT_TRUE(tx.SetStopBits(1.0f));
  EXPECT_EQ(tx.GetBitCount(), 3 * 14);
  ASSERT_TRUE(tx.SetStopBits(2.0f));
  EXPECT_EQ(tx.GetBitCount(), 3 * 16);
  ASSERT_TRUE(tx.SetMode(kRttySitorB));
  EXPECT_EQ(tx.GetBitCount(), 4 * 7);
  ASSERT_TRUE(tx.SetMode(-1));
  EXPECT_EQ(tx.GetBitCount(), 0);
  EXPECT_EQ(tx.Transmit('A'), 0);
  // "a A" decodes as A A; an explicit FIGS puts the line in figures for what follows.
  for (int mode : {kRttyAsync, kRttySitorB}) {
    // The plain receiver: a text this short leaves the matched one no time to find SITOR-B's
    // DX/RX order.
    const Link l{11025, mode, mode == kRttySitorB ? 100.0f : 50.0f, mode == kRttySitorB ? 100.0 : 50.0,
                 1275, 1700, false, kRttyReceiverPlain};
    EXPECT_TRUE(EndsWith(rttysig::DecodeText(l, rttysig::Render(l, "a A 1 B")), "A A 1 B")) << mode;
    EXPECT_TRUE(EndsWith(rttysig::DecodeText(l, rttysig::Render(l, "\x02" "1")), "1")) << mode;
  }
}

// SITOR-B: each character's DX copy and its RX copy five positions later; a copy is spoilt by
// overwriting its 70 ms with steady mark (all seven bits 1, not a valid code).
TEST(RttySitor, TheOtherCopyRepairsACharacterAndBothBadPrintNothing) {
  const Link l{11025, kRttySitorB, 100, 100, 1275, 1445, false, kRttyReceiverPlain};
  const std::string text = "ZCZC AB12 XY";
  std::vector<float> s = rttysig::Render(l, text);
  const double pos = 7.0 * l.rate / 100.0;
  // Queued characters after the four phasing pairs: LTRS Z C Z C space A B FIGS 1 2 LTRS X Y.
  auto spoil = [&](int queued, bool rx) {
    const int position = 2 * (4 + queued) + (rx ? 5 : 0);
    // The first element is idle mark, then positions of seven elements each.
    const size_t from = size_t((position + 1.0 / 7.0) * pos);
    for (size_t i = from; i < from + size_t(pos) && i < s.size(); ++i)
      s[i] = float(0.1 * 32767 * std::sin(2 * M_PI * l.mark * double(i) / l.rate));
  };
  spoil(1, false);   // Z: DX copy
  spoil(6, true);    // A: RX copy
  spoil(9, true);    // 1, first figure after FIGS: RX copy, repaired in the figures shift
  spoil(13, false);  // X (after LTRS and space): both copies
  spoil(13, true);
  EXPECT_EQ(rttysig::DecodeText(l, s), "ZCZC AB12 Y");
}

TEST(RttyDecoder, BlocksOfAnySizeDecodeAlike) {
  for (int receiver : {kRttyReceiverPlain, kRttyReceiverMatched}) {
    const Link l{11025, kRttySitorB, 100, 100, 1275, 1445, false, receiver};
    std::vector<float> s = rttysig::Render(l, "NAVTEX 1 2 3");
    sigtest::AddNoise(s, l.rate, 15, 3);
    const std::string whole = rttysig::DecodeText(l, s);
    EXPECT_EQ(whole, "NAVTEX 1 2 3") << receiver;
    for (int block : {1, 7, 333, 1024, 5000})
      EXPECT_EQ(rttysig::DecodeText(l, s, block), whole) << block << " " << receiver;
  }
}

TEST(RttyDecoder, InitRefusesSettingsThatCannotWork) {
  rttysig::CCollector d;
  EXPECT_EQ(d.Init(11025, 1024, 64), 1);
  EXPECT_EQ(d.Init(0, 1024, 64), 0);
  EXPECT_EQ(d.Init(11025, 0, 64), 0);
  d.SetBaud(1400);  // 7 samples per bit
  EXPECT_EQ(d.Init(11025, 1024, 64), 0);
  d.SetBaud(0);
  EXPECT_EQ(d.Init(11025, 1024, 64), 0);
  d.SetBaud(10);  // 7.5 bits are longer than the three blocks kept
  EXPECT_EQ(d.Init(11025, 1024, 64), 0);
  d.SetBaud(50);
  EXPECT_EQ(d.SetFilter(5600, 1275, 50, 500, 4), 0);  // above 5512 Hz
  EXPECT_EQ(d.SetFilter(1700, 1275, 50, 500, 4), 1);
  d.Decode(nullptr);
  CRttyTransmitter tx;
  EXPECT_EQ(tx.Init(0, 1024), 0);
  EXPECT_EQ(tx.CreateAudio(nullptr), 0u);
  EXPECT_EQ(tx.Init(11025, 1024), 1);
  EXPECT_EQ(tx.SetFreq(6000, 1275), 0);
  EXPECT_EQ(tx.SetFreq(1275, 1445), 1);
  EXPECT_EQ(tx.SetBaud(2000.0f), 0);
  EXPECT_EQ(tx.Transmit('A'), 0);  // not usable until an Init succeeds
}

}  // namespace
