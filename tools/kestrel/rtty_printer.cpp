#include "tools/kestrel/rtty_printer.h"

#include <cstdio>

#include "spl/decoders/rtty_config.h"
#include "tools/kestrel/wav_io.h"

namespace {
constexpr int kNewLine = 13;
}

void CRttyPrinter::Char(int ch) {
  ++chars_;
  if (to_stdout_) {
    putchar(ch == kNewLine ? '\n' : ch);
    if (ch == kNewLine) fflush(stdout);
  }
  for (const Consumer& c : consumers_) c(ch);
}

int DecodeRttyFile(const std::string& path, const RttyDecodeSettings& s, CRttyPrinter& printer,
                   std::string& why) {
  // The block size follows the rate, which only the file tells.
  CWavBlockReader probe, reader;
  if (!probe.Open(path, RttyBlockSize(kRttyReferenceRate))) return why = probe.Error(), 0;
  const int rate = probe.Rate();
  const int block = RttyBlockSize(rate);
  if (!reader.Open(path, block) || !reader.SetSquelch(s.squelch)) return why = reader.Error(), 0;
  if (const char* e = RttySettingsError(rate, block, s.mark, s.space, s.baud))
    return why = std::string(e) + " (" + std::to_string(rate) + " Hz)", 0;
  const int inverted = (s.mark > s.space) != s.invert ? 1 : 0;
  printer.SetAutoTune(s.auto_tune ? 1 : 0);
  printer.SetTuneRange(s.tune_range);
  printer.SetQualityThreshold(s.quality);
  if (!ConfigureRttyDecoder(printer, rate, block, RttyTaps(rate), s.mark, s.space, s.mode, s.baud,
                            inverted, s.receiver))
    return why = "CRttyDecoder::Init error", 0;
  while (AudioBlock* b = reader.Next()) printer.Decode(b);
  fflush(stdout);
  return 1;
}
