// The demo's SSTV part: the built-in colour chart sent in Robot 72 (the shortest of the
// station's modes) by the SSTV generator, noise added, carried through the live audio loop
// into the SSTV decoder with automatic VIS, and the received picture saved as a JPEG file.
#include <cstdio>
#include <string>
#include <vector>

#include "spl/audio/sound_backends.h"
#include "spl/audio/sound_device.h"
#include "spl/decoders/sstv_chart.h"
#include "spl/decoders/sstv_decoder.h"
#include "spl/decoders/sstv_transmitter.h"
#include "spl/radio/radio.h"
#include "tools/kestrel/audio_loop.h"
#include "tools/kestrel/command.h"
#include "tools/kestrel/demo_noise.h"

namespace {

constexpr int kRate = kSstvTxDefaultRate;
constexpr int kBlock = 1024;
constexpr int kBuffers = 64;
constexpr double kAmplitude = 0.3 * 32767.0;  // room for the noise
constexpr double kSnrDb = 15.0;                // in a 3 kHz bandwidth
constexpr double kTailSeconds = 1.0;           // noise after the picture completes its last line
constexpr int kDrainMs = 2000;
constexpr int kJpegQuality = 75;

class CDemoReceiver : public CSstvDecoder {
 public:
  void ShowSSTV(int line) override { lines += line >= 0; }
  int lines = 0;
};

// The transmission with uniform noise from the station's test-noise source, kSnrDb below it.
bool WriteNoisy(const std::string& path, std::string& why) {
  CSstvTransmitter tx;
  std::vector<uint8_t> chart;
  std::vector<float> s;
  if (!tx.Init(kSstvTxRobot72, kRate, 0.0, kAmplitude) ||
      !MakeSstvChart(kSstvTxWidth, tx.GetLines(), chart) ||
      !tx.SetPicture(chart.data(), kSstvTxWidth, tx.GetLines()) || !tx.Transmit(s))
    return why = "the SSTV generator failed", false;
  const size_t measured = s.size();
  s.resize(s.size() + size_t(kTailSeconds * kRate), 0.0f);
  return WriteWithDemoNoise(s, measured, kRate, kSnrDb, path, why);
}

}  // namespace

int RunSstvDemo(const std::string& dir) {
  const std::string noisy = dir + "/sstv_robot72.wav", jpeg = dir + "/sstv_robot72.jpg";
  std::string why;
  if (!WriteNoisy(noisy, why)) return Fail(noisy, why);
  printf("demo: colour chart sent in Robot 72 by the SSTV generator, noise at %+.0f dB SNR in "
         "3 kHz: %s\n", kSnrDb, noisy.c_str());
  CDemoReceiver rx;
  if (!rx.Init(kRate, kBlock)) return Fail("demo", "CSstvDecoder::Init error");
  rx.SetAVIS(1);
  CMessageLoop loop;
  loop.SetOrphanHandler(DiscardAudioMessage);
  CRadio radio;
  const std::string device = kWaveFileFastPrefix + noisy;
  if (!InitAudio(&radio, 1, kRate, kBlock, kBuffers, device.c_str())) {
    why = AudioErrorText();
    InitAudio(&radio, 0, kRate, kBlock, kBuffers);
    return Fail(device, "InitAudio error: " + why);
  }
  printf("demo: receiving it from the audio loop (%s)\n", device.c_str());
  fflush(stdout);
  CAudioLoopWindow window(loop, [&](const AudioBlock* b) {
    rx.Decode(const_cast<AudioBlock*>(b));  // mix-sync is off: the block stays as it is
  });
  Connect(window.Handle(), 0);
  RunAudioLoop(loop, window, [] { return false; }, kDrainMs, false, false);
  DisConnect(window.Handle(), 0);
  InitAudio(&radio, 0, kRate, kBlock, kBuffers);
  loop.Pump();
  if (!rx.SaveJpeg(jpeg.c_str(), rx.GetPicture(), kJpegQuality))
    return Fail(jpeg, CDibSection::ErrorText(rx.Error()));
  printf("demo: %d picture lines received (VIS %d), saved as %s\n", rx.lines, rx.GetLastVIS(),
         jpeg.c_str());
  fflush(stdout);
  return rx.lines > 0 ? kExitOk : kExitFailure;
}
