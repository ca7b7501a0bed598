// Lifetimes of the sound devices and their threads: a device destroyed while its I/O thread
// runs, the capture and playback pair closed in either order, a failed opening.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "spl/audio/sound_device.h"
#include "spl/audio/wave_file_source.h"
#include "spl/platform/alsa_device.h"
#include "spl/primitives/nsperror.h"
#include "spl/radio/radio.h"
#include "tests/common/signal_test_util.h"

namespace {

constexpr int kRate = 11025;
constexpr int kFrames = 1024;
constexpr int kBuffers = 32;
constexpr const char* kNull = "null";

// Takes the device's completions and says when the first one came; nothing goes back.
class Completions {
 public:
  Completions() {
    thread_.Start([this](CThread& self) {
      MSG m;
      bool told = false;
      while (self.Queue().Get(m) && m.message != WM_QUIT) {
        if (!told && (m.message == MM_WIM_DATA || m.message == MM_WOM_DONE)) {
          told = true;
          first_.Set();
        }
      }
    });
  }
  ~Completions() {
    thread_.PostThreadMessage(WM_QUIT, 0, 0);
    thread_.Join(INFINITE);
  }
  CThread* Thread() { return &thread_; }
  int WaitFirst() { return first_.Wait(INFINITE); }

 private:
  CThread thread_;
  CEvent first_;
};

// Buffers that outlive the device they are queued on.
struct Buffers {
  explicit Buffers(int channels) : data(size_t(kBuffers) * kFrames * channels * 2) {
    for (int i = 0; i < kBuffers; ++i) {
      headers[i].lpData = data.data() + size_t(i) * kFrames * channels * 2;
      headers[i].dwBufferLength = DWORD(kFrames * channels * 2);
    }
  }
  int QueueAll(CWaveDevice& dev) {
    for (WAVEHDR& h : headers)
      if (!dev.Prepare(&h) || !dev.AddBuffer(&h)) return 0;
    return 1;
  }
  std::vector<char> data;
  WAVEHDR headers[kBuffers];
};

WavePcmFormat Mono() {
  WavePcmFormat f;
  f.channels = 1;
  f.rate = kRate;
  f.frames_per_buffer = kFrames;
  return f;
}

// The I/O thread keeps reading the file while the device is destroyed without Close; it must
// be gone before the file's player is.
TEST(WaveDeviceLifetime, FileSourceDestroyedWhileReadingWithoutClose) {
  const std::string path = ::testing::TempDir() + "lifetime_source.wav";
  ASSERT_TRUE(sigtest::WriteMonoWav(path, kRate, std::vector<float>(4 * kBuffers * kFrames, 0.0f)));
  Completions done;
  Buffers buffers(1);
  auto dev = std::make_unique<CWaveFileSource>(path, false);
  ASSERT_EQ(dev->Open(kWaveCapture, Mono(), done.Thread()), 1) << dev->LastError();
  ASSERT_EQ(buffers.QueueAll(*dev), 1);
  ASSERT_EQ(dev->Start(), 1);
  ASSERT_EQ(done.WaitFirst(), 1);
  dev.reset();
  std::remove(path.c_str());
}

// The same for ALSA playback: the PCM must not be closed under a write in progress.
TEST(WaveDeviceLifetime, AlsaPlaybackDestroyedWhilePlayingWithoutClose) {
  Completions done;
  Buffers buffers(1);
  auto dev = std::make_unique<CAlsaDevice>(kNull);
  ASSERT_EQ(dev->Open(kWavePlayback, Mono(), done.Thread()), 1) << dev->LastError();
  ASSERT_EQ(buffers.QueueAll(*dev), 1);
  ASSERT_EQ(dev->Start(), 1);
  ASSERT_EQ(done.WaitFirst(), 1);
  dev.reset();
}

class AudioLifetimeTest : public ::testing::Test {
 protected:
  void TearDown() override {
    InitAudioOut(nullptr, 0);
    InitAudio(nullptr, 0, kRate, kFrames, kBuffers);
  }
  CRadio radio;
};

TEST_F(AudioLifetimeTest, PlaybackClosesAfterCaptureAndOpensAgain) {
  ASSERT_NE(InitAudio(&radio, 1, kRate, kFrames, 8, kNull), nullptr) << AudioErrorText();
  ASSERT_NE(InitAudioOut(&radio, 0, kNull), nullptr) << AudioErrorText();
  EXPECT_NE(InitAudio(&radio, 0, kRate, kFrames, 8), nullptr);
  EXPECT_NE(InitAudioOut(nullptr, 0), nullptr);
  ASSERT_NE(InitAudio(&radio, 1, kRate, kFrames, 8, kNull), nullptr) << AudioErrorText();
  EXPECT_NE(InitAudioOut(&radio, 0, kNull), nullptr) << AudioErrorText();
}

TEST_F(AudioLifetimeTest, FailedOpeningSaysWhyAndLeavesNothingBehind) {
  EXPECT_EQ(InitAudio(&radio, 1, kRate, kFrames, 8, "no-such-pcm-device"), nullptr);
  EXPECT_NE(std::string(AudioErrorText()).find("no-such-pcm-device"), std::string::npos)
      << AudioErrorText();
  EXPECT_NE(InitAudio(&radio, 1, kRate, kFrames, 8, kNull), nullptr) << AudioErrorText();
}

void ProgramHandler(int, const char*, const char*, const char*, int) {}

TEST_F(AudioLifetimeTest, ClosingCaptureGivesThePreviousErrorHandlerBack) {
  NSPErrorHandler before = SetPrimitiveErrorHandler(ProgramHandler);
  ASSERT_NE(InitAudio(&radio, 1, kRate, kFrames, 8, kNull), nullptr) << AudioErrorText();
  const NSPErrorHandler audio = SetPrimitiveErrorHandler(nullptr);
  SetPrimitiveErrorHandler(audio);
  EXPECT_NE(audio, &ProgramHandler);
  InitAudio(nullptr, 0, kRate, kFrames, 8);
  EXPECT_EQ(SetPrimitiveErrorHandler(before), &ProgramHandler);
}

}  // namespace
