#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "spl/audio/audio_block.h"
#include "spl/audio/op_amp.h"
#include "spl/primitives/nsp.h"

namespace {

AudioBlock* Make(std::vector<float> v) {
  AudioBlock* b = nullptr;
  EXPECT_EQ(NewAudioBlock(&b, int(v.size())), 1);
  memcpy(b->data, v.data(), v.size() * sizeof(float));
  return b;
}

TEST(AudioBlock, NewBlockIsSilentAndMeasured) {
  EXPECT_EQ(offsetof(AudioBlock, data), size_t(kAudioBlockHeaderBytes));  // what is allocated
  AudioBlock* b = nullptr;
  ASSERT_EQ(NewAudioBlock(&b, 1), 1);
  EXPECT_EQ(b->count, 1);
  EXPECT_EQ(b->peak, 0.0f);
  EXPECT_EQ(b->data[0], 0.0f);
  FreeAudioBlock(b);
}

TEST(AudioBlock, DuplicateIsByteIdenticalTickIncluded) {
  int16_t pcm[5] = {1, -300, 32767, -32768, 0};
  AudioBlock* b = nullptr;
  ASSERT_EQ(AudioBlockFromMono16(pcm, 5, &b), 1);
  EXPECT_EQ(b->min, -32768.0f);
  EXPECT_EQ(b->max, 32767.0f);
  EXPECT_EQ(b->peak, 32768.0f);
  b->tick = 0xDEADBEEF;
  AudioBlock* d = nullptr;
  ASSERT_EQ(DupAudioBlock(b, &d), 1);
  EXPECT_EQ(memcmp(b, d, kAudioBlockHeaderBytes + 5 * 4), 0);
  for (AudioBlock* x : {b, d}) FreeAudioBlock(x);
}

TEST(AudioBlock, StereoSplitsAndMeasuresEachSide) {
  int16_t frames[4] = {1, -1, 2, -2};
  AudioBlock *l = nullptr, *r = nullptr;
  ASSERT_EQ(AudioBlockFromStereo16(frames, 2, &l, &r), 1);
  EXPECT_EQ(l->data[0], 1.0f);
  EXPECT_EQ(l->data[1], 2.0f);
  EXPECT_EQ(l->min, 1.0f);
  EXPECT_EQ(l->max, 2.0f);
  EXPECT_EQ(l->peak, 2.0f);
  EXPECT_EQ(r->min, -2.0f);
  EXPECT_EQ(r->max, -1.0f);
  EXPECT_EQ(r->peak, 2.0f);
  for (AudioBlock* x : {l, r}) FreeAudioBlock(x);
}

TEST(OpAmp, CopyBetweenUnequalCountsMeasuresEqualCountsCopyHeaderButNotTick) {
  COpAmp op;
  AudioBlock *big = nullptr, *small = nullptr;
  NewAudioBlock(&big, 512);
  NewAudioBlock(&small, 256);
  for (int i = 0; i < 512; ++i) big->data[i] = float(i);
  op.Copy(big, small);
  EXPECT_EQ(small->data[255], 255.0f);
  EXPECT_EQ(small->max, 255.0f);  // measured over its own 256
  AudioBlock* same = nullptr;
  NewAudioBlock(&same, 256);
  same->tick = 42;
  small->min = -7.0f;  // a stale header is copied as it is
  op.Copy(small, same);
  EXPECT_EQ(same->min, -7.0f);
  EXPECT_EQ(same->tick, 42u);
  for (AudioBlock* x : {big, small, same}) FreeAudioBlock(x);
}

TEST(OpAmp, ThreeBlockArithmeticRunsOverTheSmallestCount) {
  COpAmp op;
  AudioBlock *a = nullptr, *b = nullptr, *c = nullptr;
  NewAudioBlock(&a, 100);
  NewAudioBlock(&b, 200);
  NewAudioBlock(&c, 50);
  op.Set(a, 1.5f);
  op.Set(b, -3.0f);
  EXPECT_EQ(b->peak, -3.0f);  // Set takes no absolute value
  op.Add(a, b, c, 1);
  EXPECT_EQ(c->data[49], -1.5f);
  EXPECT_EQ(c->min, -1.5f);
  EXPECT_EQ(c->max, -1.5f);
  op.Mul(a, b, c, 1);
  EXPECT_EQ(c->data[0], -4.5f);
  op.Sub(a, b, 0);  // b -= a over 100 samples only
  EXPECT_EQ(b->data[99], -4.5f);
  EXPECT_EQ(b->data[100], -3.0f);
  for (AudioBlock* x : {a, b, c}) FreeAudioBlock(x);
}

TEST(OpAmp, RectifyHalfAndFull) {
  COpAmp op;
  AudioBlock* b = Make({-2.0f, 3.0f, -4.0f});
  AudioBlock* d = Make({9.0f, 9.0f, 9.0f});
  op.Rectify(b, d, 1, 1);
  EXPECT_EQ(d->data[2], 4.0f);
  EXPECT_EQ(d->min, 2.0f);
  op.Rectify(b, 0, 1);
  EXPECT_EQ(b->data[0], 0.0f);
  EXPECT_EQ(b->data[1], 3.0f);
  EXPECT_EQ(b->min, 0.0f);
  for (AudioBlock* x : {b, d}) FreeAudioBlock(x);
}

TEST(OpAmp, ConversionsRoundHalvesToEvenAndLeaveOutOfRangeAlone) {
  COpAmp op;
  AudioBlock* b = Make({40000.0f, 2.5f, 3.5f, -2.5f});
  int16_t s[4] = {111, 0, 0, 0};
  op.ToShort(b, s);
  EXPECT_EQ(std::vector<int16_t>(s, s + 4), (std::vector<int16_t>{111, 2, 4, -2}));
  AudioBlock* c = Make({0.0f, -128.0f, 127.0f});
  uint8_t u[3];
  op.ToChar(c, u);
  EXPECT_EQ(std::vector<uint8_t>(u, u + 3), (std::vector<uint8_t>{128, 0, 255}));
  uint8_t bytes[3] = {0, 200, 255};
  op.ToFloat(bytes, c);
  EXPECT_EQ(c->data[1], 200.0f);
  EXPECT_EQ(c->data[2], 255.0f);
  EXPECT_FLOAT_EQ(op.Mean(c), 455.0f / 3.0f);
  for (AudioBlock* x : {b, c}) FreeAudioBlock(x);
}

TEST(OpAmp, FftAndMagnitudeOfAnImpulse) {
  COpAmp op;
  AudioBlock* re = Make({0, 1, 0, 0});
  AudioBlock* im = Make({0, 0, 0, 0});
  AudioBlock* mag = Make({0, 0, 0, 0});
  op.FFT(re, im, 2, 1, 1);
  EXPECT_NEAR(re->data[0], 1.0f, 1e-6);
  EXPECT_NEAR(im->data[1], -1.0f, 1e-6);
  EXPECT_NEAR(re->data[2], -1.0f, 1e-6);
  EXPECT_NEAR(im->data[3], 1.0f, 1e-6);
  EXPECT_NEAR(im->min, -1.0f, 1e-6);  // only im is measured
  op.Mag(re, im, mag, 1);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(mag->data[i], 1.0f, 1e-6);
  op.FFT(re, im, 2, 0, 0);
  EXPECT_NEAR(re->data[1], 1.0f, 1e-6);
  EXPECT_NEAR(re->data[0], 0.0f, 1e-6);
  for (AudioBlock* x : {re, im, mag}) FreeAudioBlock(x);
}

}  // namespace
