// kestrel record / kestrel play: the recorder and the player of the station on the command
// line, both running through the audio loop.
#include <cstdio>
#include <cstdlib>

#include "spl/audio/sound_backends.h"
#include "spl/audio/wave_file.h"
#include "spl/audio/wave_player.h"
#include "spl/audio/wave_recorder.h"
#include "spl/platform/codec.h"
#include "spl/radio/radio.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/audio_loop.h"
#include "tools/kestrel/command.h"

namespace {

constexpr int kBlock = 1024;
constexpr int kBuffers = 64;
constexpr int kPreRoll = 2;
constexpr int kDrainMs = 2000;

const char* kRecordHelp =
    "usage: kestrel record -o FILE [--codec pcm|alaw|ulaw|ima-adpcm] [--seconds N]\n"
    "                      [--rate HZ] [--device NAME]\n"
    "  Records the capture device (default: ALSA \"default\"; wav:FILE replays a file) into a\n"
    "  wave file, 10 s unless --seconds says otherwise.\n";
const char* kPlayHelp =
    "usage: kestrel play FILE [--device NAME]\n"
    "  Plays a wave file (any codec kestrel records) on the playback device (default: ALSA\n"
    "  \"default\"), through the audio loop as the station plays recordings.\n";

// The tool's codec names and the codec layer's.
std::string CodecName(const std::string& name) {
  if (name == "alaw") return "a-law";
  if (name == "ulaw") return "u-law";
  return name;
}

void CloseAudio(CRadio& radio) {
  InitAudioOut(nullptr, 0);
  InitAudio(&radio, 0, 0, 0, 0);
}

}  // namespace

int RunRecord(int argc, char** argv) {
  CArgs args({"-o", "--codec", "--seconds", "--rate", "--device"}, {});
  if (!args.Parse(argc, argv)) return Fail("record", args.Error());
  if (args.WantsHelp()) return printf("%s", kRecordHelp), kExitOk;
  std::string out = args.Get("-o");
  if (out.empty()) return Fail("record", "-o FILE is required");
  double seconds;
  long rate;
  if (!args.GetDouble("--seconds", 10.0, 0.1, 86400.0, seconds) ||
      !args.GetInt("--rate", 11025, kCodecMinRate, kCodecMaxRate, rate))
    return Fail("record", args.Error());
  std::string codec = CodecName(args.Get("--codec", "pcm"));
  const CodecDriver* driver = CodecFindDriverByName(codec);
  if (!driver) return Fail(args.Get("--codec"), "unknown codec (pcm, alaw, ulaw, ima-adpcm)");
  std::string device = args.Get("--device", kDefaultAlsaDevice);

  CMessageLoop loop;
  loop.SetOrphanHandler(DiscardAudioMessage);
  CRadio radio;
  if (!InitAudio(&radio, 1, int(rate), kBlock, kBuffers, device.c_str())) {
    std::string why = AudioErrorText();
    CloseAudio(radio);
    return Fail(device, "InitAudio error: " + why);
  }
  CWaveFile wave;
  WAVEFORMATEX* wfx = wave.GetWFX(int(rate), 16, 1);
  wfx->wFormatTag = driver->tag;
  CWaveRecorder recorder;
  int started = recorder.Start(out.c_str(), wfx, int(rate), kBlock, 1);
  free(wfx);
  if (!started) {
    CloseAudio(radio);
    return Fail(out, recorder.LastError());
  }
  bool write_failed = false;
  CAudioLoopWindow window(loop, [&](const AudioBlock* b) {
    if (!write_failed && !recorder.Record(b)) write_failed = true;
  });
  Connect(window.Handle(), 0);
  const long long want = (long long)(seconds * rate);
  RunAudioLoop(loop, window, [&] { return write_failed || window.Samples() >= want; }, kDrainMs,
               false, false);
  CloseAudio(radio);
  int stopped = recorder.Stop();
  if (write_failed || !stopped) return Fail(out, recorder.LastError());
  printf("%s: %lld samples recorded (%s), peak %.1f dBFS\n", out.c_str(), window.Samples(),
         driver->name, LevelDb(window.Peak()));
  return kExitOk;
}

int RunPlay(int argc, char** argv) {
  CArgs args({"--device"}, {});
  if (!args.Parse(argc, argv)) return Fail("play", args.Error());
  if (args.WantsHelp()) return printf("%s", kPlayHelp), kExitOk;
  if (args.Positional().size() != 1) return Fail("play", "give one wave file");
  const std::string file = args.Positional()[0];
  CWavePlayer probe;  // the file's own rate sets the loop's rate
  if (!probe.Open(file.c_str(), kBlock)) return Fail(file, probe.LastError());
  const int rate = int(probe.FileFormat()->nSamplesPerSec);
  probe.Close();
  std::string device = args.Get("--device", kDefaultAlsaDevice);

  CMessageLoop loop;
  loop.SetOrphanHandler(DiscardAudioMessage);
  CRadio radio;
  std::string source = std::string(kWaveFilePrefix) + file;
  if (!InitAudio(&radio, 1, rate, kBlock, kBuffers, source.c_str())) {
    std::string why = AudioErrorText();
    CloseAudio(radio);
    return Fail(file, "InitAudio error: " + why);
  }
  if (!InitAudioOut(&radio, kPreRoll, device.c_str())) {
    std::string why = AudioErrorText();
    CloseAudio(radio);
    return Fail(device, "InitAudioOut error: " + why);
  }
  CAudioLoopWindow window(loop, [](const AudioBlock* b) { PlayAudioBlock(b); });
  Connect(window.Handle(), 0);
  RunAudioLoop(loop, window, [] { return false; }, kDrainMs, false, true);
  CloseAudio(radio);
  printf("%s: %lld samples played on %s, peak %.1f dBFS\n", file.c_str(), window.Samples(),
         device.c_str(), LevelDb(window.Peak()));
  return kExitOk;
}
