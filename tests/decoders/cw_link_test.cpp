// CW decoder and transmitter: keyed Morse through noise at the speeds operators use, with
// hand-keying jitter and Farnsworth spacing from an independent keyer; the decoder's timing
// rules (dash length, gaps, long silence), its table and procedural signals; bad input.
#include <gtest/gtest.h>

#include "spl/decoders/cw_transmitter.h"
#include "spl/decoders/morse_code.h"
#include "tests/decoders/cw_psk_signals.h"

namespace {

using namespace cwpsk;

const std::string kLeadIn = "VVV ";  // the decoder finds the speed on it
const std::string kText = "CQ CQ DE KESTREL TEST 73 THE QUICK BROWN FOX JUMPS OVER THE LAZY "
                          "DOG 0123456789 = ? / ,";

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
  return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

std::string WithoutSpaces(std::string s) {
  s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
  return s;
}

// Keys one character's elements exactly, then a long silence: what the decoder prints for it.
std::string DecodeElements(const std::string& elements, double wpm = 20.0) {
  // "E E " in front settles the estimates and spends the first look-up.
  KeyerOptions o;
  o.wpm = wpm;
  std::vector<float> s = KeyMorse("EEEE E", o, 0.5, 0.0);
  const double unit = 1.2 / wpm * kRate;
  const size_t gap = size_t(7 * unit);
  s.insert(s.end(), gap, 0.0f);
  for (const char* p = elements.c_str(); *p; ++p) {
    const size_t on = size_t((*p == '-' ? 3 : 1) * unit);
    for (size_t k = 0; k < on; ++k)
      s.push_back(float(kAmplitude * std::sin(2.0 * M_PI * 1200.0 * double(s.size()) / kRate)));
    s.insert(s.end(), size_t(unit), 0.0f);
  }
  s.insert(s.end(), size_t(kRate * 2), 0.0f);
  sigtest::AddNoise(s, kRate, 30.0, 5, CarrierPower());
  const std::string out = DecodeCw(s);
  const size_t lead = out.find("E E ");
  return lead == std::string::npos ? "(lead-in lost: " + out + ")" : out.substr(lead + 4);
}

class CwSpeed : public ::testing::TestWithParam<int> {};

TEST_P(CwSpeed, NoCharacterErrorsAtTenDecibels) {
  KeyerOptions o;
  o.wpm = GetParam();
  std::vector<float> s = KeyMorse(kLeadIn + kText, o);
  sigtest::AddNoise(s, kRate, 10.0, 11, CarrierPower());
  const std::string out = DecodeCw(s);
  EXPECT_EQ(CharErrorRate(kText, out), 0.0) << out;
  // Word spaces are single and the text ends with the one space of the closing silence.
  EXPECT_EQ(out.find("  "), std::string::npos) << out;
  EXPECT_EQ(out.substr(out.size() - kText.size() - 1), kText + " ");
}

TEST_P(CwSpeed, HandKeyingJitterOfTenPercent) {
  for (uint64_t seed : {2u, 3u}) {
    KeyerOptions o;
    o.wpm = GetParam();
    o.jitter = 0.10;
    o.seed = seed;
    std::vector<float> s = KeyMorse(kLeadIn + kText, o);
    sigtest::AddNoise(s, kRate, 10.0, 13 + seed, CarrierPower());
    const std::string out = DecodeCw(s);
    EXPECT_EQ(CharErrorRate(kText, out), 0.0) << "seed " << seed << ": " << out;
  }
}

TEST_P(CwSpeed, SpeedHintAndTransmitterAgree) {
  CCwTransmitter tx;
  ASSERT_EQ(tx.Init(kRate, kBlock), 1);
  ASSERT_EQ(tx.SetMode(1200, GetParam()), 1);
  for (char c : kLeadIn + kText) ASSERT_EQ(tx.Transmit(c), 1) << c;
  std::vector<float> s;
  AudioBlock* b = nullptr;
  ASSERT_EQ(NewAudioBlock(&b, kBlock), 1);
  while (tx.GetBitCount() > 0 || s.size() < size_t(kRate)) {
    tx.CreateAudio(b);
    s.insert(s.end(), b->data, b->data + b->count);
  }
  s.insert(s.end(), size_t(kRate * 1.5), 0.0f);
  FreeAudioBlock(b);
  sigtest::AddNoise(s, kRate, 10.0, 17, CarrierPower() * 0.5);
  const std::string out = DecodeCw(s, 1200, GetParam());
  EXPECT_EQ(CharErrorRate(kText, out), 0.0) << out;
}

INSTANTIATE_TEST_SUITE_P(Wpm, CwSpeed, ::testing::Values(12, 20, 30, 40));

TEST(CwDecoder, FarnsworthSpacing) {
  // Characters at 20 words per minute, gaps stretched by a third: still below five dots.
  KeyerOptions o;
  o.wpm = 20;
  o.char_gap_units = 4.0;
  o.word_gap_units = 9.3;
  std::vector<float> s = KeyMorse(kLeadIn + kText, o);
  sigtest::AddNoise(s, kRate, 10.0, 19, CarrierPower());
  EXPECT_EQ(CharErrorRate(kText, DecodeCw(s)), 0.0);
  // Wide spacing (20 characters, 10 words per minute): character gaps of about eleven dots
  // count as word gaps, so spaces appear between letters, but every letter is right.
  o.char_gap_units = 3.0 * 3.6;
  o.word_gap_units = 7.0 * 3.6;
  s = KeyMorse(kLeadIn + kText, o);
  sigtest::AddNoise(s, kRate, 10.0, 23, CarrierPower());
  const std::string wide = DecodeCw(s);
  EXPECT_EQ(CharErrorRate(WithoutSpaces(kText), WithoutSpaces(wide)), 0.0) << wide;
}

TEST(CwDecoder, DotEstimateFollowsTheSpeed) {
  for (int wpm : {12, 40}) {
    KeyerOptions o;
    o.wpm = wpm;
    CCollectingCw d;
    d.SetFilter(1200, 30);
    ASSERT_EQ(d.Init(kRate, kBlock, 128, 0), 1);
    Feed(d, KeyMorse("PARIS PARIS PARIS", o));
    // The key-down count misses the hysteresis at the start of each mark.
    const double dot = 1.2 / wpm * kRate - 100;
    EXPECT_NEAR(d.GetDotEstimate(), dot, 0.15 * dot) << wpm;
    EXPECT_GT(d.GetDashEstimate(), 2 * d.GetDotEstimate());
  }
}

TEST(CwDecoder, TableSignsAndProceduralSignals) {
  EXPECT_EQ(DecodeElements("...-.-"), " <SK>  ");  // its text, then the silence's space
  EXPECT_EQ(DecodeElements(".........."), " <I>  ");  // the last eight dots
  EXPECT_EQ(DecodeElements("-------"), " ");         // unknown: nothing but the space
  EXPECT_EQ(DecodeElements("..--.-"), "_ ");
  EXPECT_EQ(DecodeElements(".-..-"), "^ ");
  EXPECT_EQ(DecodeElements("-.--.-"), ") ");
  EXPECT_EQ(DecodeElements("-.-..-.."), " <CL>  ");
}

TEST(CwDecoder, FirstLookUpPrintsNothing) {
  KeyerOptions o;
  std::vector<float> s = KeyMorse("K M", o);
  const std::string out = DecodeCw(s);
  EXPECT_EQ(out.find('K'), std::string::npos) << out;
  EXPECT_NE(out.find('M'), std::string::npos) << out;
}

TEST(CwDecoder, MorseTable) {
  int sendable = 0;
  for (int i = 0; i < kMorseTableSize; ++i) {
    const MorseEntry& e = kMorseTable[i];
    EXPECT_EQ(MorseLookup(MorsePackElements(e.elements)), e.text) << e.elements;
    if (!e.procedural) {
      ++sendable;
      EXPECT_STREQ(MorseElementsOf(e.text[0]), e.elements);
    }
  }
  EXPECT_EQ(sendable, 50);
  for (char c = 'A'; c <= 'Z'; ++c) {
    EXPECT_STREQ(MorseElementsOf(c), TestMorse(c));
    EXPECT_STREQ(MorseElementsOf(c + 32), TestMorse(c));
  }
  EXPECT_EQ(MorsePackElements(""), kMorseEmptyRegister);
  EXPECT_EQ(MorsePackElements(".-"), 0x7878787878785053ULL);
  EXPECT_EQ(MorseLookup(0), nullptr);
  EXPECT_EQ(MorseElementsOf('#'), nullptr);
  EXPECT_EQ(MorseElementsOf(-5), nullptr);
}

// Key state of every sample of a transmitter's output, from its envelope.
std::string KeyPattern(const std::string& text, int wpm) {
  CCwTransmitter tx;
  EXPECT_EQ(tx.SetMode(1000, wpm), 1);
  EXPECT_EQ(tx.Init(kRate, kBlock), 1);
  for (char c : text) tx.Transmit(c);
  AudioBlock* b = nullptr;
  NewAudioBlock(&b, kBlock);
  std::vector<float> s;
  // Until the queue is empty, and one block more for the unit that is being sent.
  for (int more = 1; tx.GetBitCount() > 0 || more-- > 0;) {
    tx.CreateAudio(b);
    s.insert(s.end(), b->data, b->data + b->count);
  }
  FreeAudioBlock(b);
  // One letter per unit: '1' when the unit's middle carries tone.
  std::string units;
  const double unit = tx.GetSamplesPerUnit();
  for (double t = unit * 0.5; t + 20 < double(s.size()); t += unit) {
    float peak = 0.0f;
    for (size_t k = size_t(t - 20); k < size_t(t + 20); ++k) peak = std::max(peak, std::fabs(s[k]));
    units += peak > 5000.0f ? '1' : '0';
  }
  // The extra block adds silent units: the pattern ends with its last key-down and the gap
  // units the character queued.
  const size_t end = units.find_last_of('1');
  return end == std::string::npos ? units : units.substr(0, std::min(units.size(), end + 4));
}

TEST(CwTransmitter, UnitsOfCharactersAndSpaces) {
  CCwTransmitter tx;
  ASSERT_EQ(tx.Init(kRate, kBlock), 1);
  EXPECT_FLOAT_EQ(tx.GetSamplesPerUnit(), 11025.0f / (10 * 0.8333333f));  // 1323 samples
  // The first unit is the silence before the queue is read.
  EXPECT_EQ(KeyPattern("E E", 20), std::string("0") + "1000" + "0000" + "1000");
  EXPECT_EQ(KeyPattern("e", 20), KeyPattern("E", 20));
  EXPECT_EQ(KeyPattern("A", 20), "0" "10111000");
  EXPECT_EQ(KeyPattern("E  E", 20), "0" "1000" "0000" "0000000" "1000");
  // A trailing space queues its four units: the pattern keeps only three after the last dot.
  EXPECT_EQ(tx.Transmit(' '), 1);
  EXPECT_EQ(tx.GetBitCount(), 4);
  EXPECT_EQ(tx.Transmit(' '), 1);
  EXPECT_EQ(tx.GetBitCount(), 4 + 7);
  ASSERT_EQ(tx.Init(kRate, kBlock), 1);
  EXPECT_EQ(tx.Transmit('#'), 0);
  EXPECT_EQ(tx.GetBitCount(), 0);
  EXPECT_EQ(tx.Transmit(300), 0);
}

TEST(CwTransmitter, RefusesBadSettingsAndLongBlocks) {
  CCwTransmitter tx;
  EXPECT_EQ(tx.Init(0, kBlock), 0);
  ASSERT_EQ(tx.Init(kRate, kBlock), 1);
  EXPECT_EQ(tx.SetMode(6000, 20), 0);  // above half the rate
  EXPECT_EQ(tx.SetMode(1000, 0), 0);
  AudioBlock* b = nullptr;
  ASSERT_EQ(NewAudioBlock(&b, kBlock + 1), 1);
  EXPECT_EQ(tx.CreateAudio(b), 0u);
  b->count = kBlock;
  EXPECT_EQ(tx.CreateAudio(b), 1u);
  EXPECT_EQ(tx.CreateAudio(b), 2u);
  FreeAudioBlock(b);
}

TEST(CwDecoder, BadInput) {
  CCollectingCw d;
  EXPECT_EQ(d.SetFilter(6000, 30), 0);  // above half of 11025 Hz
  EXPECT_EQ(d.SetFilter(10, 30), 0);
  EXPECT_EQ(d.Init(kRate, 0, 128, 0), 0);
  EXPECT_EQ(d.Init(kRate, kBlock, 1, 0), 0);
  EXPECT_EQ(d.SetSpeedHint(100), 0);
  ASSERT_EQ(d.Init(kRate, kBlock, 128, 0), 1);
  d.Decode(nullptr);
  // Silence, digital and noisy: nothing.
  std::vector<float> quiet(size_t(kRate * 10), 0.0f);
  Feed(d, quiet);
  std::vector<float> noise(size_t(kRate * 10), 0.0f);
  sigtest::AddNoise(noise, kRate, 0.0, 29, CarrierPower() * 1e-3);
  Feed(d, noise);
  EXPECT_LE(Trim(d.text).size(), 3u) << d.text;
  // A carrier without keying for a minute prints nothing, and keying afterwards is read.
  CCollectingCw c;
  c.SetFilter(1200, 30);
  ASSERT_EQ(c.Init(kRate, kBlock, 128, 0), 1);
  std::vector<float> carrier(size_t(kRate * 60));
  for (size_t k = 0; k < carrier.size(); ++k)
    carrier[k] = float(kAmplitude * std::sin(2.0 * M_PI * 1200.0 * double(k) / kRate));
  Feed(c, carrier);
  EXPECT_EQ(c.text, "");
  KeyerOptions o;
  Feed(c, KeyMorse("VVV VVV " + kText, o));
  EXPECT_LE(CharErrorRate(kText, c.text), 0.05) << c.text;
  // Keying far faster than the hysteresis allows: bounded output, no crash.
  o.wpm = 150;
  std::vector<float> fast = KeyMorse(kText + kText, o);
  CCollectingCw f;
  f.SetFilter(1200, 30);
  ASSERT_EQ(f.Init(kRate, kBlock, 128, 0), 1);
  Feed(f, fast);
  EXPECT_LE(f.text.size(), 2 * kText.size());
}

TEST(CwDecoder, BlocksOfAnyLength) {
  KeyerOptions o;
  std::vector<float> s = KeyMorse(kLeadIn + kText, o);
  const std::string whole = DecodeCw(s);
  for (int block : {100, 1000, 3000}) {
    CCollectingCw d;
    d.SetFilter(1200, 30);
    ASSERT_EQ(d.Init(kRate, kBlock, 128, 0), 1);
    Feed(d, s, block);  // shorter and longer blocks than the decoder's own
    EXPECT_EQ(CharErrorRate(kText, d.text), 0.0) << block << ": " << d.text;
  }
  EXPECT_EQ(CharErrorRate(kText, whole), 0.0);
}

TEST(CwDecoder, OtherSampleRatesKeepTheTiming) {
  // The same keying at 8000 and 48000 Hz, block and filter scaled as the tool does.
  for (int rate : {8000, 48000}) {
    KeyerOptions o;
    std::vector<float> s11 = KeyMorse(kLeadIn + kText, o);
    std::vector<float> s(size_t(double(s11.size()) * rate / kRate));
    for (size_t k = 0; k < s.size(); ++k) {
      const double t = double(k) / rate;
      const size_t j = std::min(s11.size() - 1, size_t(t * kRate));
      // Envelope from the 11025 Hz keying, tone drawn afresh at this rate.
      s[k] = std::fabs(s11[j]) > 0.0f ? float(kAmplitude * std::sin(2.0 * M_PI * 1200.0 * t)) : 0.0f;
    }
    CCollectingCw d;
    d.SetFilter(1200, 30);
    const int block = int(std::lround(1024.0 * rate / kRate));
    ASSERT_EQ(d.Init(rate, block, int(std::lround(128.0 * rate / kRate)), 0), 1);
    Feed(d, s, block);
    EXPECT_EQ(CharErrorRate(kText, d.text), 0.0) << rate << ": " << d.text;
  }
}

TEST(CwDecoder, ConnectsItsTwoSignals) {
  CCwDecoder d;
  const HWND w = reinterpret_cast<HWND>(0x10);
  EXPECT_EQ(d.Connect(w, kCwBandPassChannel), 1);
  EXPECT_EQ(d.Connect(w, kCwBandPassChannel), 0);
  EXPECT_EQ(d.Connect(w, kCwEnvelopeChannel), 1);
  EXPECT_EQ(d.Connect(w, 7), 0);
  EXPECT_EQ(d.DisConnect(w, kCwBandPassChannel), 1);
  EXPECT_EQ(d.DisConnect(w, kCwBandPassChannel), 0);
  EXPECT_EQ(d.DisConnect(w, 4), 0);
}

}  // namespace
