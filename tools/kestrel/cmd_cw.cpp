// kestrel decode cw / kestrel transmit cw: Morse from a wave file to text, and text to a wave
// file, with the library's CW decoder and transmitter configured as the station configures
// them, the sample counts scaled to the file's rate.
#include <cmath>
#include <cstdio>
#include <string>

#include "spl/decoders/cw_decoder.h"
#include "spl/decoders/cw_transmitter.h"
#include "spl/decoders/morse_code.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/command.h"
#include "tools/kestrel/tone_check.h"
#include "tools/kestrel/wav_io.h"

namespace {

// The station's set-up at 11025 Hz: 1024-sample blocks and 128-tap filters; other rates keep
// the same durations.
constexpr int kStationBlock = 1024;
constexpr int kStationTaps = 128;
constexpr int kDefaultTone = 1000;
constexpr int kDefaultWpm = 20;
constexpr int kMinWpm = 5, kMaxWpm = 60;
constexpr int kMinQuality = 0, kMaxQuality = 100;
constexpr int kMinTone = 100;
constexpr int kBandwidth = 30;    // the decoder's tone band-pass
constexpr int kDefaultRate = 11025;
constexpr int kMinRate = 4000, kMaxRate = 192000;
constexpr double kLeadSeconds = 0.5, kTailSeconds = 1.0;

const char* kDecodeUsage =
    "usage: kestrel decode cw [--tone HZ] [--wpm N] [--quality N] [--squelch LEVEL] FILE.wav\n"
    "Decodes Morse keyed on a tone of HZ (default 1000) and prints the characters as they come.\n"
    "--wpm gives the expected speed (5 ... 60 words per minute) as the decoder's starting point;\n"
    "without it the decoder finds the speed (5 ... 60) itself and follows the signal either way.\n"
    "--quality N (0 ... 100, 0 = off) drops characters whose marks stand less than N / 3 dB\n"
    "above the noise; the default keeps noise alone from printing.\n";

const char* kTransmitUsage =
    "usage: kestrel transmit cw [--tone HZ] [--wpm N] [--rate HZ] --text TEXT -o OUT.wav\n"
    "Keys TEXT in Morse on a tone of HZ (default 1000) at N words per minute (5 ... 60, default\n"
    "20) into a mono 16-bit wave file at --rate (default 11025) Hz. Letters, digits, spaces and\n"
    "the signs . , : ? ' - / ( ) \" = + _ ^ can be sent.\n";

class CPrintingCwDecoder : public CCwDecoder {
 public:
  void Char(int ch) override {
    fputc(ch, stdout);
    ++printed;
  }
  long printed = 0;
};

}  // namespace

int RunDecodeCw(int argc, char** argv) {
  CArgs args({"--tone", "--wpm", "--quality", "--squelch"}, {});
  if (!args.Parse(argc, argv)) return Fail("decode cw", args.Error());
  if (args.WantsHelp()) {
    fputs(kDecodeUsage, stdout);
    PrintSquelchUsage(stdout);
    return kExitOk;
  }
  long tone = 0, wpm = 0, quality = 0, squelch = 0;
  if (!args.GetInt("--tone", kDefaultTone, 1, 1000000, tone) ||
      !args.GetInt("--wpm", 0, kMinWpm, kMaxWpm, wpm) ||
      !args.GetInt("--quality", kCwDefaultQuality, kMinQuality, kMaxQuality, quality) ||
      !args.GetInt("--squelch", kDefaultSquelchLevel, 0, kMaxSquelchLevel, squelch))
    return Fail("decode cw", args.Error());
  if (args.Positional().size() != 1) {
    fputs(kDecodeUsage, stderr);
    return Fail("decode cw", "one wave file wanted");
  }
  const std::string path = args.Positional()[0];
  CWavBlockReader probe;
  if (!probe.Open(path, kStationBlock)) return Fail(path, probe.Error());
  const int rate = probe.Rate();
  std::string why;
  if (!CheckTone(tone, kMinTone, rate, why)) return Fail("decode cw", why);
  const int block = ScaledToRate(kStationBlock, rate);
  CWavBlockReader reader;
  if (!reader.Open(path, block) || !reader.SetSquelch(int(squelch)))
    return Fail(path, reader.Error());
  CPrintingCwDecoder decoder;
  if (!decoder.SetSpeedHint(int(wpm)) || !decoder.SetQualityThreshold(int(quality)) ||
      !decoder.SetFilter(int(tone), kBandwidth) ||
      !decoder.Init(rate, block, ScaledToRate(kStationTaps, rate), 0))
    return Fail("decode cw", "CCwDecoder::Init error (rate " + std::to_string(rate) + " Hz)");
  while (AudioBlock* b = reader.Next(true)) {
    decoder.Decode(b);
    fflush(stdout);
  }
  decoder.Flush();  // the last character of a recording that stops right after it
  if (decoder.printed == 0) {
    fprintf(stderr, "kestrel: %s: no Morse decoded\n", path.c_str());
    return kExitFailure;
  }
  fputc('\n', stdout);
  return kExitOk;
}

int RunTransmitCw(int argc, char** argv) {
  CArgs args({"--tone", "--wpm", "--rate", "--text", "-o"}, {});
  if (!args.Parse(argc, argv)) return Fail("transmit cw", args.Error());
  if (args.WantsHelp()) {
    fputs(kTransmitUsage, stdout);
    return kExitOk;
  }
  long tone = 0, wpm = 0, rate = 0;
  if (!args.GetInt("--tone", kDefaultTone, 1, 1000000, tone) ||
      !args.GetInt("--wpm", kDefaultWpm, kMinWpm, kMaxWpm, wpm) ||
      !args.GetInt("--rate", kDefaultRate, kMinRate, kMaxRate, rate))
    return Fail("transmit cw", args.Error());
  if (!args.Has("--text") || !args.Has("-o") || !args.Positional().empty()) {
    fputs(kTransmitUsage, stderr);
    return Fail("transmit cw", "--text and -o wanted");
  }
  std::string why;
  if (!CheckTone(tone, kMinTone, int(rate), why)) return Fail("transmit cw", why);
  const std::string text = args.Get("--text");
  for (unsigned char c : text)
    if (c != ' ' && !MorseElementsOf(c))
      return Fail("transmit cw", std::string("'") + char(c) + "' has no Morse code");
  const int block = ScaledToRate(kStationBlock, int(rate));
  CCwTransmitter tx;
  if (!tx.Init(int(rate), block) || !tx.SetMode(int(tone), int(wpm)))
    return Fail("transmit cw", "CCwTransmitter::Init error");
  CWavWriter out;
  const std::string path = args.Get("-o");
  if (!out.Create(path, int(rate))) return Fail(path, out.Error());
  AudioBlock* b = nullptr;
  if (!NewAudioBlock(&b, block)) return Fail("transmit cw", "out of memory");
  long long written = 0;
  auto render = [&]() {
    tx.CreateAudio(b);
    written += b->count;
    return out.Write(b);
  };
  int ok = 1;
  while (ok && written < (long long)(kLeadSeconds * rate)) ok = render();
  for (unsigned char c : text) tx.Transmit(c);
  while (ok && tx.GetBitCount() > 0) ok = render();
  const long long end = written + (long long)(kTailSeconds * rate);
  while (ok && written < end) ok = render();
  FreeAudioBlock(b);
  if (!ok || !out.Close()) return Fail(path, out.Error());
  return kExitOk;
}
