// kestrel filter-curve: the filter curve view of a band-pass (or low-pass) design, measured
// from its impulse response, written as a BMP picture.
#include <cstdio>
#include <string>

#include "spl/dsp/filter.h"
#include "spl/dsp/view_filter.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/command.h"

namespace {

constexpr long kDefaultRate = 11025;
constexpr long kDefaultTaps = 128;
constexpr long kMaxTaps = 4096;
constexpr int kBlock = 1024;
constexpr int kCurveWidth = 404;  // a 400 x 200 curve inside the 2-pixel edge
constexpr int kCurveHeight = 204;

const char* kHelp =
    "usage: kestrel filter-curve LO-HI -o OUT.bmp [--taps N] [--rate HZ] [--smoothing HZ]\n"
    "  The amplitude response of a band-pass LO ... HI Hz (LO 0: a low-pass at HI) with N taps\n"
    "  (default 128) and a Hann window at the given rate (default 11025), from 0 Hz to half the\n"
    "  rate, the pass band highlighted; --smoothing runs a 64-tap low-pass over the curve.\n";

}  // namespace

int RunFilterCurve(int argc, char** argv) {
  const std::string cmd = "filter-curve";
  CArgs args({"-o", "--taps", "--rate", "--smoothing"}, {});
  if (!args.Parse(argc, argv)) return Fail(cmd, args.Error());
  if (args.WantsHelp()) return fputs(kHelp, stdout), 0;
  if (args.Positional().size() != 1 || !args.Has("-o")) return Fail(cmd, "expected LO-HI -o OUT.bmp");
  long taps = 0, rate = 0, smoothing = 0;
  if (!args.GetInt("--taps", kDefaultTaps, 2, kMaxTaps, taps) ||
      !args.GetInt("--rate", kDefaultRate, 2000, 192000, rate) ||
      !args.GetInt("--smoothing", 0, 0, rate / 2 - 1, smoothing))
    return Fail(cmd, args.Error());
  int lo = 0, hi = 0;
  char tail = 0;
  if (sscanf(args.Positional()[0].c_str(), "%d-%d%c", &lo, &hi, &tail) != 2 || lo < 0 ||
      lo >= hi || hi > rate / 2)
    return Fail(cmd, "LO-HI must satisfy 0 <= LO < HI <= " + std::to_string(rate / 2));
  CFilter filter;
  if (!filter.Init(int(rate), kBlock, int(taps)) ||
      !filter.CreateBP(float(lo), float(hi), kFilterWindowHann))
    return Fail(cmd, "cannot design the filter");
  CMemoryPaintTarget target;
  CViewFilter view;
  if (!target.Init(kCurveWidth, kCurveHeight) || !view.Init(&filter, int(smoothing), &target) ||
      !view.SetRange(lo, hi) || !view.View())
    return Fail(cmd, "cannot make the picture");
  CDibSection dib;
  if (!dib.SaveFile(args.Get("-o").c_str(), target.Picture()))
    return Fail(cmd, args.Get("-o") + ": " + CDibSection::ErrorText(dib.Error()));
  printf("%d-%d Hz, %ld taps at %ld Hz: columns %d-%d of %d\n", lo, hi, taps, rate,
         view.Column(lo), view.Column(hi), view.Width());
  return kExitOk;
}
