// kestrel decode rtty|sitor|navtex and kestrel transmit rtty|sitor|navtex: teleprinter signals
// from and to wave files, with the station's decoder set-up.
#include <cstdio>
#include <string>

#include "spl/audio/audio_block.h"
#include "spl/decoders/rtty_config.h"
#include "spl/decoders/rtty_transmitter.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/command.h"
#include "tools/kestrel/rtty_printer.h"
#include "tools/kestrel/synop_printer.h"
#include "tools/kestrel/wav_io.h"

namespace {

constexpr int kMaxTone = 20000;
constexpr int kMaxBaud = 10000;
constexpr int kTransmitRate = kRttyReferenceRate;
constexpr double kTailSeconds = 1.0;
constexpr int kIdleElements = 16;  // an idle sync or SITOR-B line refills one character

// One row per decode/transmit mode: framing, fixed or default baud rate and tones, and how far
// the decoder looks for the tone pair by default (Hz about the set centre, 0 the passband).
struct RttyModeRow {
  const char* name;
  int mode;
  double baud;
  int mark, space;
  bool has_tones, has_baud, has_sync;
  int tune_range;
};
constexpr RttyModeRow kRows[] = {
    {"rtty", kRttyAsync, 50, 1275, 1700, true, true, true, kRttyDefaultTuneRangeHz},
    {"sitor", kRttySitorB, kSitorBaud, 1275, 1700, true, false, false, kRttyDefaultTuneRangeHz},
    // Inverted polarity: the higher tone is binary 1. Coast stations are heard anywhere in the
    // passband depending on the receiver's tuning, so the whole passband is searched.
    {"navtex", kRttySitorB, kNavtexBaud, kNavtexHighTone, kNavtexLowTone, true, false, false, 0},
};
constexpr int kMaxQuality = 100;

const RttyModeRow* Row(const char* name) {
  for (const RttyModeRow& r : kRows)
    if (std::string(name) == r.name) return &r;
  return nullptr;
}

std::string Usage(const RttyModeRow& r, bool transmit) {
  std::string u = std::string("usage: kestrel ") + (transmit ? "transmit " : "decode ") + r.name;
  if (r.has_tones) u += " [--mark HZ] [--space HZ]";
  if (r.has_baud) u += " [--baud N]";
  if (!transmit && r.has_sync) u += " [--sync]";
  if (!transmit && r.has_baud) u += " [--invert]";
  if (!transmit) u += " [--fixed | --search] [--quality N] [--squelch LEVEL] [--plain]";
  u += transmit ? " --text TEXT -o OUT.wav\n" : " FILE.wav\n";
  char baud[32];
  snprintf(baud, sizeof baud, "%g", r.baud);
  u += "  --mark is the tone of binary 1 (default " + std::to_string(r.mark) + " Hz), --space the other (" +
       std::to_string(r.space) + " Hz)";
  if (r.has_baud) u += ", --baud the rate (default " + std::string(baud) + ", fractional as 45.45)";
  u += ".\n";
  if (!transmit) {
    u += r.tune_range > 0
             ? "  The tone pair of the given shift is looked for within " +
                   std::to_string(r.tune_range) + " Hz of the given centre and followed;\n"
                   "  --search looks in the whole passband, --fixed keeps the given tones.\n"
             : std::string("  The tone pair of the given shift is looked for in the whole passband and\n"
                           "  followed; --fixed keeps the given tones.\n");
    u += "  --quality N (0...100, default " + std::to_string(kRttyDefaultQuality) +
         ") prints only while the signal is received at least that well; 0 prints all.\n"
         "  --plain uses the plain filter receiver (fixed tones, no quality squelch).\n";
  }
  if (transmit) u += "  A line break in TEXT is sent as CR LF.\n";
  return u;
}

int ReadTones(CArgs& a, const RttyModeRow& r, const std::string& subject, long& mark, long& space,
              double& baud) {
  if (!a.GetInt("--mark", r.mark, 1, kMaxTone, mark) ||
      !a.GetInt("--space", r.space, 1, kMaxTone, space) ||
      !a.GetDouble("--baud", r.baud, 1, kMaxBaud, baud))
    return Fail(subject, a.Error()), 0;
  if (mark == space) return Fail(subject, "mark and space must differ"), 0;
  return 1;
}

std::set<std::string> ToneOptions(const RttyModeRow& r, std::set<std::string> base) {
  if (r.has_tones) base.insert({"--mark", "--space"});
  if (r.has_baud) base.insert("--baud");
  return base;
}

int RunDecodeRow(const RttyModeRow& r, int argc, char** argv) {
  const std::string subject = std::string("decode ") + r.name;
  std::set<std::string> flags;
  if (r.has_sync) flags.insert("--sync");
  if (r.has_sync) flags.insert("--synop");  // reports instead of text, as the station chains them
  if (r.has_baud) flags.insert("--invert");
  flags.insert({"--fixed", "--plain"});
  if (r.tune_range > 0) flags.insert("--search");
  CArgs a(ToneOptions(r, {"--quality", "--squelch"}), flags);
  if (!a.Parse(argc, argv)) return Fail(subject, a.Error());
  if (a.WantsHelp()) {
    printf("%s", Usage(r, false).c_str());
    PrintSquelchUsage(stdout);
    return kExitOk;
  }
  if (a.Positional().size() != 1) return Fail(subject, "one wave file expected");
  long mark, space, quality, squelch;
  double baud;
  if (!ReadTones(a, r, subject, mark, space, baud)) return kExitUsage;
  if (!a.GetInt("--quality", kRttyDefaultQuality, 0, kMaxQuality, quality) ||
      !a.GetInt("--squelch", kDefaultSquelchLevel, 0, kMaxSquelchLevel, squelch))
    return Fail(subject, a.Error());
  if (a.Has("--fixed") && a.Has("--search")) return Fail(subject, "--fixed or --search, not both");
  RttyDecodeSettings s;
  s.mode = a.Has("--sync") ? kRttySync : r.mode;
  s.baud = baud;
  s.mark = int(mark);
  s.space = int(space);
  s.invert = a.Has("--invert");
  s.receiver = a.Has("--plain") ? kRttyReceiverPlain : kRttyReceiverMatched;
  s.auto_tune = !a.Has("--fixed");
  s.tune_range = a.Has("--search") ? 0 : r.tune_range;
  s.quality = int(quality);
  s.squelch = int(squelch);
  CRttyPrinter printer(!a.Has("--synop"));
  CSynopPrinter synop;
  if (a.Has("--synop")) {
    if (!synop.Init("", stdout)) return Fail("synop store", synop.Error());
    printer.AddConsumer([&synop](int ch) { synop.Char(ch); });
  }
  std::string why;
  if (!DecodeRttyFile(a.Positional()[0], s, printer, why)) return Fail(a.Positional()[0], why);
  if (a.Has("--synop")) synop.Finish();
  return kExitOk;
}

int RunTransmitRow(const RttyModeRow& r, int argc, char** argv) {
  const std::string subject = std::string("transmit ") + r.name;
  CArgs a(ToneOptions(r, {"--text", "-o"}), {});
  if (!a.Parse(argc, argv)) return Fail(subject, a.Error());
  if (a.WantsHelp()) return printf("%s", Usage(r, true).c_str()), kExitOk;
  if (!a.Has("--text") || !a.Has("-o")) return Fail(subject, "--text and -o are needed");
  long mark, space;
  double baud;
  if (!ReadTones(a, r, subject, mark, space, baud)) return kExitUsage;
  const int block = RttyBlockSize(kTransmitRate);
  CRttyTransmitter tx;
  tx.SetMode(r.mode);
  tx.SetBaud(float(baud));
  tx.SetFreq(int(mark), int(space));
  if (!tx.Init(kTransmitRate, block))
    return Fail(subject, "the transmitter refuses these settings (tones below " +
                             std::to_string(kTransmitRate / 2) + " Hz, at most " +
                             std::to_string(kTransmitRate / kRttyMinSamplesPerBit) + " Bd)");
  for (char c : a.Get("--text")) {
    const int ch = static_cast<unsigned char>(c);
    const bool ok = c == '\n' ? tx.Transmit('\r') && tx.Transmit('\n') : tx.Transmit(ch);
    if (!ok) return Fail(subject, std::string("character '") + c + "' cannot be sent");
  }
  CWavWriter w;
  const std::string out = a.Get("-o");
  if (!w.Create(out, kTransmitRate)) return Fail(out, w.Error());
  AudioBlock* b = nullptr;
  if (!NewAudioBlock(&b, block)) return Fail(subject, "out of memory");
  // SITOR-B's RX copies follow two characters behind; then a second of idle.
  const double lag = r.mode == kRttySitorB ? 6.0 * 7.0 / double(baud) : 0.0;
  long long tail = (long long)((kTailSeconds + lag) * kTransmitRate), samples = 0;
  bool idle = false, ok = true;
  while (ok && tail > 0) {
    idle = idle || tx.GetBitCount() <= kIdleElements;
    tx.CreateAudio(b);
    ok = w.Write(b) != 0;
    samples += b->count;
    if (idle) tail -= b->count;
  }
  FreeAudioBlock(b);
  if (!ok || !w.Close()) return Fail(out, w.Error());
  printf("%s: %lld samples at %d Hz (%.1f s), %s %g Bd, mark %ld Hz, space %ld Hz\n", out.c_str(),
         samples, kTransmitRate, double(samples) / kTransmitRate, r.name, baud, mark, space);
  return kExitOk;
}

}  // namespace

int RunDecodeRtty(int argc, char** argv) { return RunDecodeRow(*Row("rtty"), argc, argv); }
int RunDecodeSitor(int argc, char** argv) { return RunDecodeRow(*Row("sitor"), argc, argv); }
int RunDecodeNavtex(int argc, char** argv) { return RunDecodeRow(*Row("navtex"), argc, argv); }
int RunTransmitRtty(int argc, char** argv) { return RunTransmitRow(*Row("rtty"), argc, argv); }
int RunTransmitSitor(int argc, char** argv) { return RunTransmitRow(*Row("sitor"), argc, argv); }
int RunTransmitNavtex(int argc, char** argv) { return RunTransmitRow(*Row("navtex"), argc, argv); }
