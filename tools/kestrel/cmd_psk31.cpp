// kestrel decode bpsk31|qpsk31 / kestrel transmit bpsk31|qpsk31: PSK31 from a wave file to
// text, and text to a wave file, with the library's PSK31 decoder, BPSK31 transmitter and
// QPSK31 coder and modulator, configured as the station configures them at the file's rate.
#include <cmath>
#include <cstdio>
#include <string>

#include "spl/decoders/psk31_decoder.h"
#include "spl/decoders/psk31_transmitter.h"
#include "spl/decoders/qpsk31_modulator.h"
#include "spl/decoders/viterbi_coder_qpsk.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/command.h"
#include "tools/kestrel/tone_check.h"
#include "tools/kestrel/wav_io.h"

namespace {

constexpr int kStationBlock = 1024;  // samples at 11025 Hz; other rates keep the duration
constexpr int kStationTaps = 128;
constexpr int kDefaultTone = 1000;
constexpr int kMinTone = 300;     // the loop's mixing products must stay off the carrier
constexpr int kDefaultRate = 11025;
constexpr int kMinRate = 4000, kMaxRate = 192000;
constexpr double kLeadSeconds = 1.0;   // idle before the text, for the decoder to lock
constexpr double kTailSeconds = 1.5;   // idle after it: the last character and the trellis out
constexpr int kLineFeed = 10, kCarriageReturn = 13, kTab = 9;
constexpr int kFirstLatin1 = 160;
constexpr long kMaxQuality = 100;

enum class Psk { kBpsk, kQpsk };

struct PskMode {
  Psk kind;
  const char* name;
  const char* decode_usage;
  const char* transmit_usage;
};

constexpr PskMode kModes[] = {
    {Psk::kBpsk, "bpsk31",
     "usage: kestrel decode bpsk31 [--tone HZ] [--quality N] [--squelch LEVEL] FILE.wav\n"
     "Decodes BPSK31 near a carrier of HZ (default 1000; a signal up to 20 Hz off is found and\n"
     "followed) and prints the characters as they come. --quality N (0 ... 100, default 50)\n"
     "holds back text while the signal quality is below N; 0 prints everything.\n",
     "usage: kestrel transmit bpsk31 [--tone HZ] [--rate HZ] --text TEXT -o OUT.wav\n"
     "Sends TEXT (bytes 0 ... 255 in Varicode) as BPSK31 on HZ (default 1000) into a mono\n"
     "16-bit wave file at --rate (default 11025) Hz, with a second of idle before and after.\n"},
    {Psk::kQpsk, "qpsk31",
     "usage: kestrel decode qpsk31 [--tone HZ] [--quality N] [--squelch LEVEL] [--reverse] FILE.wav\n"
     "Decodes QPSK31 near a carrier of HZ (default 1000; a signal up to 20 Hz off is found and\n"
     "followed) and prints the characters as they come. --quality N (0 ... 100, default 50)\n"
     "holds back text while the signal quality is below N; 0 prints everything. --reverse\n"
     "reads a signal sent on the other sideband (90 and 270 degree turns exchanged).\n",
     "usage: kestrel transmit qpsk31 [--tone HZ] [--rate HZ] [--reverse] --text TEXT -o OUT.wav\n"
     "Sends TEXT as QPSK31 (Varicode through the rate-1/2 convolutional code) on HZ (default\n"
     "1000) into a mono 16-bit wave file at --rate (default 11025) Hz; --reverse sends the\n"
     "other sideband.\n"},
};

// Prints text characters: line feeds as new lines, carriage returns and other control codes
// dropped, codes from 160 on as the Latin-1 letters they stand for.
class CPrintingPskDecoder : public CPSK31Decoder {
 public:
  void Char(int ch) override {
    ++printed;
    if (ch == kLineFeed || ch == kTab || (ch >= ' ' && ch < 127)) {
      fputc(ch, stdout);
    } else if (ch >= kFirstLatin1 && ch <= 255) {
      fputc(0xC0 | (ch >> 6), stdout);
      fputc(0x80 | (ch & 0x3F), stdout);
    } else if (ch != kCarriageReturn) {
      --printed;
    }
  }
  long printed = 0;
};

int Decode(const PskMode& mode, int argc, char** argv) {
  const std::string subject = std::string("decode ") + mode.name;
  CArgs args({"--tone", "--quality", "--squelch"}, mode.kind == Psk::kQpsk ? std::set<std::string>{"--reverse"}
                                                  : std::set<std::string>{});
  if (!args.Parse(argc, argv)) return Fail(subject, args.Error());
  if (args.WantsHelp()) {
    fputs(mode.decode_usage, stdout);
    PrintSquelchUsage(stdout);
    return kExitOk;
  }
  long tone = 0, quality = 0, squelch = 0;
  if (!args.GetInt("--tone", kDefaultTone, 1, 1000000, tone) ||
      !args.GetInt("--quality", kPsk31DefaultQualityThreshold, 0, kMaxQuality, quality) ||
      !args.GetInt("--squelch", kDefaultSquelchLevel, 0, kMaxSquelchLevel, squelch))
    return Fail(subject, args.Error());
  if (args.Positional().size() != 1) {
    fputs(mode.decode_usage, stderr);
    return Fail(subject, "one wave file wanted");
  }
  const std::string path = args.Positional()[0];
  CWavBlockReader probe;
  if (!probe.Open(path, kStationBlock)) return Fail(path, probe.Error());
  const int rate = probe.Rate();
  std::string why;
  if (!CheckTone(tone, kMinTone, rate, why)) return Fail(subject, why);
  const int block = ScaledToRate(kStationBlock, rate);
  CWavBlockReader reader;
  if (!reader.Open(path, block) || !reader.SetSquelch(int(squelch)))
    return Fail(path, reader.Error());
  CPrintingPskDecoder decoder;
  if (!decoder.Init(int(tone), rate, block, ScaledToRate(kStationTaps, rate)))
    return Fail(subject, "CPSK31Decoder::Init error (rate " + std::to_string(rate) + " Hz)");
  decoder.SetBPSKModeActive(mode.kind == Psk::kBpsk ? 1 : 0);
  decoder.SetReverseMode(args.Has("--reverse") ? 1 : 0);
  decoder.SetQualityThreshold(int(quality));
  while (AudioBlock* b = reader.Next(true)) {
    decoder.Decode(b);
    fflush(stdout);
  }
  if (decoder.printed == 0) {
    fprintf(stderr, "kestrel: %s: no %s decoded\n", path.c_str(), mode.name);
    return kExitFailure;
  }
  fputc('\n', stdout);
  return kExitOk;
}

// Renders block after block into the file: lead-in idle, the text, tail idle.
class CPskRenderer {
 public:
  virtual ~CPskRenderer() = default;
  virtual void Render(AudioBlock* b) = 0;
  virtual void Queue(const std::string& text) = 0;
  virtual bool Busy() const = 0;
};

class CBpskRenderer : public CPskRenderer {
 public:
  int Init(int tone, int rate, int block) { return tx_.Init(tone, rate, block); }
  void Render(AudioBlock* b) override { tx_.CreateAudio(b); }
  void Queue(const std::string& text) override {
    for (unsigned char c : text) tx_.Transmit(c);
  }
  bool Busy() const override { return tx_.GetBitCount() > 0; }

 private:
  CPSK31Transmitter tx_;
};

class CQpskRenderer : public CPskRenderer {
 public:
  int Init(int tone, int rate, int reverse) {
    coder_.SetReverseMode(reverse);
    return modulator_.Init(tone, rate);
  }
  void Render(AudioBlock* b) override {
    // The coder's buffer takes the text a piece at a time.
    while (next_ < text_.size() && coder_.GetTextLength() < kQpskTextBuffer - 2) {
      const char one[2] = {text_[next_++], '\0'};
      if (one[0] == '\0') continue;  // a NUL cannot travel through the text buffer
      coder_.AppendText(one);
    }
    modulator_.CreateAudio(b, coder_);
  }
  void Queue(const std::string& text) override { text_ += text; }
  bool Busy() const override { return next_ < text_.size() || coder_.GetTextLength() > 0; }

 private:
  CViterbiCoderQPSK coder_;
  CQpsk31Modulator modulator_;
  std::string text_;
  size_t next_ = 0;
};

int Transmit(const PskMode& mode, int argc, char** argv) {
  const std::string subject = std::string("transmit ") + mode.name;
  CArgs args({"--tone", "--rate", "--text", "-o"},
             mode.kind == Psk::kQpsk ? std::set<std::string>{"--reverse"}
                                     : std::set<std::string>{});
  if (!args.Parse(argc, argv)) return Fail(subject, args.Error());
  if (args.WantsHelp()) {
    fputs(mode.transmit_usage, stdout);
    return kExitOk;
  }
  long tone = 0, rate = 0;
  if (!args.GetInt("--tone", kDefaultTone, 1, 1000000, tone) ||
      !args.GetInt("--rate", kDefaultRate, kMinRate, kMaxRate, rate))
    return Fail(subject, args.Error());
  if (!args.Has("--text") || !args.Has("-o") || !args.Positional().empty()) {
    fputs(mode.transmit_usage, stderr);
    return Fail(subject, "--text and -o wanted");
  }
  std::string why;
  if (!CheckTone(tone, kMinTone, int(rate), why)) return Fail(subject, why);
  const int block = ScaledToRate(kStationBlock, int(rate));
  CBpskRenderer bpsk;
  CQpskRenderer qpsk;
  CPskRenderer* renderer = nullptr;
  if (mode.kind == Psk::kBpsk) {
    if (!bpsk.Init(int(tone), int(rate), block))
      return Fail(subject, "CPSK31Transmitter::Init error");
    renderer = &bpsk;
  } else {
    if (!qpsk.Init(int(tone), int(rate), args.Has("--reverse") ? 1 : 0))
      return Fail(subject, "QPSK31 modulator set-up error");
    renderer = &qpsk;
  }
  const std::string path = args.Get("-o");
  CWavWriter out;
  if (!out.Create(path, int(rate))) return Fail(path, out.Error());
  AudioBlock* b = nullptr;
  if (!NewAudioBlock(&b, block)) return Fail(subject, "out of memory");
  long long written = 0;
  auto render = [&]() {
    renderer->Render(b);
    written += b->count;
    return out.Write(b);
  };
  int ok = 1;
  while (ok && written < (long long)(kLeadSeconds * rate)) ok = render();
  renderer->Queue(args.Get("--text"));
  while (ok && renderer->Busy()) ok = render();
  const long long end = written + (long long)(kTailSeconds * rate);
  while (ok && written < end) ok = render();
  FreeAudioBlock(b);
  if (!ok || !out.Close()) return Fail(path, out.Error());
  return kExitOk;
}

}  // namespace

int RunDecodeBpsk31(int argc, char** argv) { return Decode(kModes[0], argc, argv); }
int RunDecodeQpsk31(int argc, char** argv) { return Decode(kModes[1], argc, argv); }
int RunTransmitBpsk31(int argc, char** argv) { return Transmit(kModes[0], argc, argv); }
int RunTransmitQpsk31(int argc, char** argv) { return Transmit(kModes[1], argc, argv); }
