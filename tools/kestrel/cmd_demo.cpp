// kestrel demo: the audio loop end to end on a built-in signal. A tone sweep is written to a
// wave file, captured through the wave-file device in real time (or the sound card with
// --device), posted block by block to a headless window, measured and played.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "spl/audio/sound_backends.h"
#include "spl/audio/wave_file.h"
#include "spl/radio/radio.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/audio_loop.h"
#include "tools/kestrel/command.h"

int RunScanDemo();  // cmd_scan.cpp: a short scan of a simulated band
int RunNavtexDemo(const std::string& dir);  // navtex_demo.cpp
int RunSstvDemo(const std::string& dir);  // sstv_demo.cpp

namespace {

constexpr int kRate = 11025;
constexpr int kBlock = 1024;
constexpr int kBuffers = 64;
constexpr int kPreRoll = 2;
constexpr double kSweepFrom = 300.0, kSweepTo = 3000.0;  // Hz
constexpr double kSweepLevel = 0.5;                      // of full scale
constexpr const char* kPlaybackFallback = "null";

const char* kHelp =
    "usage: kestrel demo [--device NAME] [--playback NAME] [--seconds N] [--out DIR]\n"
    "  Writes a tone sweep to DIR/sweep.wav, captures it through the wave-file device in\n"
    "  real time (or captures NAME, a sound device), posts every block to a window,\n"
    "  measures it and plays it (the default playback device, else ALSA \"null\").\n";

int WriteSweep(const std::string& path, double seconds, std::string& why) {
  CWaveFile file;
  WAVEFORMATEX* wfx = file.GetWFX(kRate, 16, 1);
  int ok = wfx && file.Create(path.c_str(), wfx);
  free(wfx);
  if (!ok) {
    why = file.LastError();
    return 0;
  }
  const int n = int(seconds * kRate);
  std::vector<int16_t> pcm(static_cast<size_t>(n));
  double phase = 0.0;
  for (int i = 0; i < n; ++i) {
    double f = kSweepFrom * std::pow(kSweepTo / kSweepFrom, double(i) / n);  // logarithmic
    phase += 2.0 * M_PI * f / kRate;
    pcm[size_t(i)] = int16_t(std::lround(kSweepLevel * kFullScale * std::sin(phase)));
  }
  ok = file.Write(pcm.data(), int(pcm.size() * 2)) && file.Close();
  if (!ok) why = file.LastError();
  return ok;
}

}  // namespace

int RunDemo(int argc, char** argv) {
  CArgs args({"--device", "--playback", "--seconds", "--out"}, {});
  if (!args.Parse(argc, argv)) return Fail("demo", args.Error());
  if (args.WantsHelp()) return printf("%s", kHelp), kExitOk;
  double seconds;
  if (!args.GetDouble("--seconds", 3.0, 0.5, 3600.0, seconds)) return Fail("demo", args.Error());

  std::string dir = args.Get("--out");
  if (dir.empty()) {
    char tmpl[] = "/tmp/kestrel-demo-XXXXXX";
    if (!mkdtemp(tmpl)) return Fail("/tmp", "cannot make a folder for the demo");
    dir = tmpl;
  }
  std::string device = args.Get("--device");
  if (device.empty()) {
    std::string sweep = dir + "/sweep.wav", why;
    if (!WriteSweep(sweep, seconds, why)) return Fail(sweep, why);
    printf("demo: tone sweep %.0f-%.0f Hz, %.1f s, written to %s\n", kSweepFrom, kSweepTo, seconds,
           sweep.c_str());
    device = std::string(kWaveFilePrefix) + sweep;
  }

  CMessageLoop loop;
  loop.SetOrphanHandler(DiscardAudioMessage);
  CRadio radio;  // no receiver connected: the loop needs only its owner
  if (!InitAudio(&radio, 1, kRate, kBlock, kBuffers, device.c_str()))
    return InitAudio(&radio, 0, kRate, kBlock, kBuffers), Fail(device, std::string("InitAudio error: ") + AudioErrorText());
  std::string playback = args.Get("--playback");
  bool played_out = playback.empty() ? (InitAudioOut(&radio, kPreRoll) != nullptr) : false;
  if (!played_out) {
    std::string name = playback.empty() ? kPlaybackFallback : playback;
    if (!InitAudioOut(&radio, kPreRoll, name.c_str())) {
      std::string why = AudioErrorText();
      InitAudio(&radio, 0, kRate, kBlock, kBuffers);
      return Fail(name, "InitAudioOut error: " + why);
    }
    playback = name;
  } else {
    playback = "default";
  }
  printf("demo: capturing from %s, playing to %s, %d Hz, blocks of %d samples\n", device.c_str(),
         playback.c_str(), kRate, kBlock);

  CAudioLoopWindow window(loop, [](const AudioBlock* b) { PlayAudioBlock(b); });
  Connect(window.Handle(), 0);
  DWORD start = GetTickCount();
  RunAudioLoop(loop, window, [&] { return GetTickCount() - start > DWORD(seconds * 1000 + 2000); },
               2000, true, true);
  DisConnect(window.Handle(), 0);
  InitAudioOut(nullptr, 0);
  InitAudio(&radio, 0, kRate, kBlock, kBuffers);
  loop.Pump();
  printf("demo: %lld blocks (%lld samples) captured, peak %.1f dBFS, %lld played\n", window.Blocks(),
         window.Samples(), LevelDb(window.Peak()), window.Played());
  if (window.Blocks() == 0) return kExitFailure;
  const int navtex = RunNavtexDemo(dir);
  if (navtex != kExitOk) return navtex;
  const int sstv = RunSstvDemo(dir);
  if (sstv != kExitOk) return sstv;
  return RunScanDemo();
}
