// kestrel transmit sstv: a picture (or the built-in colour chart) as a slow-scan television
// wave file in one of the station's four SSTV modes.
#include <cstdio>
#include <string>
#include <vector>

#include "spl/decoders/sstv_chart.h"
#include "spl/decoders/sstv_transmitter.h"
#include "spl/image/dib_section.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/command.h"
#include "tools/kestrel/wav_io.h"

namespace {

constexpr long kMinRate = 4000, kMaxRate = 192000;
constexpr double kMaxPpm = 10000.0;
constexpr int kChunk = 4096;

struct YccRow {
  const char* name;
  int matrix;
};
constexpr YccRow kYccRows[] = {{"601", kSstvYcc601Studio}, {"709", kSstvYcc709Full}};

std::string ModeList() {
  std::string s;
  for (const char* const* n = CSstvTransmitter::ModeNames(); *n; ++n)
    s += std::string(s.empty() ? "" : "|") + *n;
  return s;
}

std::string Usage() {
  return "usage: kestrel transmit sstv --mode " + ModeList() +
         " --picture IN|--chart -o OUT.wav\n"
         "       [--rate HZ] [--clock-ppm N] [--ycc 601|709]\n"
         "  IN is a BMP or JPEG picture, scaled to 320 x the mode's lines; --chart sends the\n"
         "  built-in colour bars and gray ramp instead. --rate: 4000 ... 192000 (default 11025).\n"
         "  --clock-ppm: the sender's clock error (positive: fast, lines shorter).\n"
         "  --ycc: Robot 72's colour equations, 601 (published, default) or 709 full range.\n";
}

}  // namespace

int RunTransmitSstv(int argc, char** argv) {
  const std::string subject = "transmit sstv";
  CArgs a({"--mode", "--picture", "-o", "--rate", "--clock-ppm", "--ycc"}, {"--chart"});
  if (!a.Parse(argc, argv)) return Fail(subject, a.Error());
  if (a.WantsHelp()) return printf("%s", Usage().c_str()), kExitOk;
  if (!a.Positional().empty()) return Fail(subject, "unexpected argument " + a.Positional()[0]);
  if (!a.Has("--mode") || !a.Has("-o")) return Fail(subject, "--mode and -o are needed");
  if (a.Has("--picture") == a.Has("--chart"))
    return Fail(subject, "one of --picture and --chart is needed");
  const int mode = CSstvTransmitter::ModeFromName(a.Get("--mode").c_str());
  if (mode < 0) return Fail(subject, "unknown mode " + a.Get("--mode") + " (" + ModeList() + ")");
  long rate;
  double ppm;
  if (!a.GetInt("--rate", kSstvTxDefaultRate, kMinRate, kMaxRate, rate) ||
      !a.GetDouble("--clock-ppm", 0.0, -kMaxPpm, kMaxPpm, ppm))
    return Fail(subject, a.Error());
  int matrix = -1;
  const std::string ycc = a.Get("--ycc", "601");
  for (const YccRow& r : kYccRows)
    if (ycc == r.name) matrix = r.matrix;
  if (matrix < 0) return Fail(subject, "--ycc is 601 or 709, not " + ycc);

  CSstvTransmitter tx;
  if (!tx.Init(mode, int(rate), ppm) || !tx.SetColorMatrix(matrix))
    return Fail(subject, "the transmitter refuses these settings");
  std::string source = "built-in colour chart";
  if (a.Has("--chart")) {
    std::vector<uint8_t> chart;
    if (!MakeSstvChart(kSstvTxWidth, tx.GetLines(), chart) ||
        !tx.SetPicture(chart.data(), kSstvTxWidth, tx.GetLines()))
      return Fail(subject, "out of memory");
  } else {
    source = a.Get("--picture");
    CDibSection dib;
    HBITMAP h = dib.LoadFile(source.c_str());
    if (!h) return Fail(source, CDibSection::ErrorText(dib.Error()));
    const int ok = tx.SetPicture(h);
    DeleteObject(h);
    if (!ok) return Fail(source, "not a picture the transmitter can send");
  }

  const std::string out = a.Get("-o");
  CWavWriter w;
  if (!w.Create(out, int(rate))) return Fail(out, w.Error());
  std::vector<float> buf(kChunk);
  bool ok = true;
  for (int n; ok && (n = tx.Generate(buf.data(), kChunk)) > 0;) ok = w.Write(buf.data(), n) != 0;
  if (!ok || !w.Close()) return Fail(out, w.Error());
  const long long samples = tx.GetSamplesDone();
  printf("%s: %lld samples at %ld Hz (%.1f s), %s (VIS %d), %d lines of %.4f ms, clock %+.1f ppm, "
         "from %s\n",
         out.c_str(), samples, rate, double(samples) / double(rate), tx.GetName(), tx.GetVis(),
         tx.GetLines(), tx.GetLineMs(), ppm, source.c_str());
  return kExitOk;
}
