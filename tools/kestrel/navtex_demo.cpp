// The demo's NAVTEX part: a weather warning sent with the SITOR-B transmitter, noise from the
// station's test-noise source added, and the file carried through the live audio loop into the
// decoder set up as the station's "NAVTEX = SITOR B 100 Baud inv." choice.
#include <cstdio>
#include <string>
#include <vector>

#include "spl/audio/sound_backends.h"
#include "spl/audio/sound_device.h"
#include "spl/decoders/rtty_config.h"
#include "spl/radio/radio.h"
#include "tools/kestrel/audio_loop.h"
#include "tools/kestrel/command.h"
#include "tools/kestrel/demo_noise.h"
#include "tools/kestrel/rtty_printer.h"
#include "tools/kestrel/wav_io.h"

int RunTransmitNavtex(int argc, char** argv);  // cmd_rtty.cpp

namespace {

constexpr int kRate = kRttyReferenceRate;
constexpr int kBuffers = 64;
constexpr double kSignalScale = 0.3;  // the transmitter writes full scale; leave room for noise
constexpr double kSnrDb = 10.0;        // in a 3 kHz bandwidth
constexpr int kDrainMs = 2000;
const char* kWarning =
    "ZCZC EA03\n"
    "GALE WARNING GERMAN BIGHT\n"
    "SW 8 VEERING NW 9 LATER. SEA ROUGH.\n"
    "NNNN\n";

// Adds uniform noise to the scaled signal so that the noise in 3 kHz is kSnrDb below it.
bool AddTestNoise(const std::string& in, const std::string& out, std::string& why) {
  CWavBlockReader r;
  if (!r.Open(in, 4096)) return why = r.Error(), false;
  std::vector<float> s;
  while (AudioBlock* b = r.Next()) s.insert(s.end(), b->data, b->data + b->count);
  for (float& v : s) v = float(v * kSignalScale);
  return WriteWithDemoNoise(s, s.size(), kRate, kSnrDb, out, why);
}

}  // namespace

int RunNavtexDemo(const std::string& dir) {
  const std::string clean = dir + "/navtex.wav", noisy = dir + "/navtex_noisy.wav";
  std::string text = kWarning, out = clean;
  char* argv[] = {const_cast<char*>("navtex"), const_cast<char*>("--text"), text.data(),
                  const_cast<char*>("-o"), out.data()};
  printf("demo: NAVTEX warning sent with the SITOR-B transmitter: ");
  fflush(stdout);
  if (RunTransmitNavtex(5, argv) != kExitOk) return kExitFailure;
  std::string why;
  if (!AddTestNoise(clean, noisy, why)) return Fail(noisy, why);
  printf("demo: noise added at %+.0f dB SNR in 3 kHz: %s\n", kSnrDb, noisy.c_str());

  CRttyPrinter printer;
  const int block = RttyBlockSize(kRate);
  if (!ConfigureRttyDecoder(printer, kRate, block, RttyTaps(kRate), kNavtexLowTone, kNavtexHighTone,
                            kRttySitorB, kNavtexBaud, 1))
    return Fail("demo", "CRttyDecoder::Init error");
  CMessageLoop loop;
  loop.SetOrphanHandler(DiscardAudioMessage);
  CRadio radio;
  const std::string device = kWaveFileFastPrefix + noisy;
  if (!InitAudio(&radio, 1, kRate, block, kBuffers, device.c_str())) {
    why = AudioErrorText();
    InitAudio(&radio, 0, kRate, block, kBuffers);
    return Fail(device, "InitAudio error: " + why);
  }
  printf("demo: decoding it from the audio loop (%s):\n", device.c_str());
  CAudioLoopWindow window(loop, [&](const AudioBlock* b) { printer.Decode(b); });
  Connect(window.Handle(), 0);
  RunAudioLoop(loop, window, [] { return false; }, kDrainMs, false, false);
  DisConnect(window.Handle(), 0);
  InitAudio(&radio, 0, kRate, block, kBuffers);
  loop.Pump();
  printf("\ndemo: %lld characters decoded from %lld blocks\n", printer.Chars(), window.Blocks());
  fflush(stdout);
  return printer.Chars() > 0 ? kExitOk : kExitFailure;
}
