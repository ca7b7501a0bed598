// kestrel equalize / kestrel squelch: the station's equalizer and audio squelch over a file.
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "spl/dsp/audio_squelch.h"
#include "spl/dsp/equalizer_modul.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/command.h"
#include "tools/kestrel/wav_io.h"

namespace {

constexpr long kDefaultBlock = 1024;
constexpr long kMinBlock = 16;
constexpr long kMaxBlock = 65536;

const char* kEqualizeHelp =
    "usage: kestrel equalize IN.wav OUT.wav (--curve FILE.equ | --range LO-HI:GAIN[,LO-HI:GAIN...])\n"
    "                        [--filter HZ] [--block N] [--save FILE.equ]\n"
    "  Runs the station's equalizer over a 16-bit PCM file (mono, or the left channel) and\n"
    "  writes the result, aligned with the input (the equalizer's half-block delay removed).\n"
    "  --range sets the gain (0 ... 1) of LO ... HI Hz on the flat curve; --curve applies a\n"
    "  curve file; --filter is the curve smoothing (default 1000, or the file's); --save keeps\n"
    "  the curve as a file. N is a power of two (default 1024).\n";

const char* kSquelchHelp =
    "usage: kestrel squelch FILE.wav [--block N]\n"
    "  Prints, per block of N samples (a power of two, default 1024), its start time, the\n"
    "  audio squelch measure (0 flat noise ... 1 a pure tone) and the station's level 0 ... 255.\n";

bool PowerOfTwo(long n) { return n > 0 && (n & (n - 1)) == 0; }

// "300-800:0,1200-1500:0.5" into the equalizer; false with why set on a malformed item.
bool ApplyRanges(const std::string& text, CEqualizer& eq, std::string& why) {
  std::stringstream items(text);
  for (std::string item; std::getline(items, item, ',');) {
    int lo = 0, hi = 0;
    float gain = 0.0f;
    char dash = 0, colon = 0;
    std::stringstream s(item);
    if (!(s >> lo >> dash >> hi >> colon >> gain) || dash != '-' || colon != ':' || !s.eof() ||
        !(gain >= 0.0f && gain <= 1.0f)) {
      why = "\"" + item + "\" is not LO-HI:GAIN with a gain from 0 to 1";
      return false;
    }
    if (!eq.SetRange(lo, hi, gain)) {
      why = "\"" + item + "\" lies outside 0 ... " + std::to_string(eq.GetRate() / 2) + " Hz";
      return false;
    }
  }
  return true;
}

}  // namespace

int RunEqualize(int argc, char** argv) {
  CArgs args({"--curve", "--range", "--filter", "--block", "--save"}, {});
  if (!args.Parse(argc, argv)) return Fail("equalize", args.Error());
  if (args.WantsHelp()) {
    fputs(kEqualizeHelp, stdout);
    return kExitOk;
  }
  long block = 0, filter = 0;
  if (!args.GetInt("--block", kDefaultBlock, kMinBlock, kMaxBlock, block) ||
      !args.GetInt("--filter", kEqualizerDefaultSmoothing, 1, 1000000, filter))
    return Fail("equalize", args.Error());
  if (!PowerOfTwo(block)) return Fail("equalize", "--block must be a power of two");
  if (args.Positional().size() != 2 || args.Has("--curve") == args.Has("--range")) {
    fputs(kEqualizeHelp, stderr);
    return kExitUsage;
  }
  const std::string in_path = args.Positional()[0], out_path = args.Positional()[1];
  CWavBlockReader in;
  if (!in.Open(in_path, int(block))) return Fail(in_path, in.Error());

  CEqualizerModul panel;
  if (!panel.Init(in.Rate(), int(block))) return Fail("equalize", "cannot set up the equalizer");
  if (args.Has("--curve")) {
    std::string why;
    if (!panel.LoadCurve(args.Get("--curve"), &why)) return Fail(args.Get("--curve"), why);
  }
  if (args.Has("--filter") || args.Has("--range")) panel.SetFilter(int(filter));
  std::string why;
  if (args.Has("--range") && !ApplyRanges(args.Get("--range"), panel.Equalizer(), why))
    return Fail("--range", why);
  if (args.Has("--save") && !panel.SaveCurve(args.Get("--save")))
    return Fail(args.Get("--save"), "cannot write the curve file");

  CWavWriter out;
  if (!out.Create(out_path, in.Rate())) return Fail(out_path, out.Error());
  // Every block goes through whole; one block of silence more pushes the last samples out,
  // and the first half block (the delay) is dropped.
  long long left = in.Frames();
  long long skip = block / 2;
  AudioBlock* b = nullptr;
  std::vector<float> silence(size_t(block), 0.0f);
  AudioBlock* tail = nullptr;
  if (!NewAudioBlock(&tail, int(block))) return Fail("equalize", "out of memory");
  for (bool more = true; more && left > 0;) {
    b = in.Next(true);
    if (!b) {
      for (int i = 0; i < block; ++i) tail->data[i] = 0.0f;
      b = tail;
      more = false;
    }
    panel.Equalize(b);
    const long long from = std::min<long long>(skip, block);
    skip -= from;
    const long long n = std::min<long long>(block - from, left);
    if (n > 0 && !out.Write(b->data + from, int(n))) {
      FreeAudioBlock(tail);
      return Fail(out_path, out.Error());
    }
    left -= std::max<long long>(n, 0);
  }
  FreeAudioBlock(tail);
  if (!out.Close()) return Fail(out_path, out.Error());
  printf("%s: %lld samples equalized at %d Hz in blocks of %ld\n", out_path.c_str(), in.Frames(),
         in.Rate(), block);
  return kExitOk;
}

int RunSquelch(int argc, char** argv) {
  CArgs args({"--block"}, {});
  if (!args.Parse(argc, argv)) return Fail("squelch", args.Error());
  if (args.WantsHelp()) {
    fputs(kSquelchHelp, stdout);
    return kExitOk;
  }
  long block = 0;
  if (!args.GetInt("--block", kDefaultBlock, kMinBlock, kMaxBlock, block))
    return Fail("squelch", args.Error());
  if (!PowerOfTwo(block)) return Fail("squelch", "--block must be a power of two");
  if (args.Positional().size() != 1) {
    fputs(kSquelchHelp, stderr);
    return kExitUsage;
  }
  const std::string path = args.Positional()[0];
  CWavBlockReader in;
  if (!in.Open(path, int(block))) return Fail(path, in.Error());
  CAudioSquelch squelch;
  if (!squelch.Init(in.Rate(), int(block))) return Fail("squelch", "cannot set up the squelch");
  printf("%10s %8s %5s\n", "time s", "measure", "level");
  long long at = 0;
  while (AudioBlock* b = in.Next()) {
    const float v = squelch.GetSpecDiff(b);
    printf("%10.3f %8.3f %5d\n", double(at) / in.Rate(), double(v), CAudioSquelch::Level(v));
    at += b->count;
  }
  return kExitOk;
}
