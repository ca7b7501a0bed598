// kestrel spectrogram / kestrel spectrum: the station's waterfall of a whole file and the
// analyser's picture of its loudest block, written as BMP pictures.
#include <cstdio>
#include <string>
#include <vector>

#include "spl/dsp/spectrum_analyser.h"
#include "spl/dsp/spectrogram.h"
#include "spl/image/dib_section.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/command.h"
#include "tools/kestrel/wav_io.h"

namespace {

constexpr int kBlock = 1024;
constexpr long kDefaultRows = 256;
constexpr long kMinRows = 8;
constexpr long kMaxRows = 4096;
constexpr long kMaxColumns = 32000;  // blocks in one waterfall picture
constexpr int kSpectrumWidth = 516;   // analyser client area, 2 pixels of edge each side
constexpr int kSpectrumHeight = 260;
constexpr int kInset = 2;

const char* kSpectrogramHelp =
    "usage: kestrel spectrogram FILE.wav -o OUT.bmp [--area LO-HI] [--rows N] [--band-pass]\n"
    "  A waterfall of the whole file: one column per block of 1024 samples, frequency upwards\n"
    "  over LO ... HI Hz (default the whole band), N rows (8 ... 4096, default 256);\n"
    "  --band-pass filters the audio to the area (128 taps) before each transform.\n";
const char* kSpectrumHelp =
    "usage: kestrel spectrum FILE.wav [--area LO-HI] -o OUT.bmp\n"
    "  The spectrum analyser's picture of the loudest block (1024 samples) of the file.\n";

// "LO-HI" into two integers; false when malformed.
bool ParseArea(const std::string& text, int& lo, int& hi) {
  char tail = 0;
  return sscanf(text.c_str(), "%d-%d%c", &lo, &hi, &tail) == 2;
}

int ReadBlocks(const std::string& cmd, const std::string& path, std::vector<AudioBlock*>& out,
               int& rate) {
  CWavBlockReader reader;
  if (!reader.Open(path, kBlock)) return Fail(cmd, reader.Error());
  rate = reader.Rate();
  // The reader owns its block: keep copies.
  while (AudioBlock* b = reader.Next(true)) {
    AudioBlock* copy = nullptr;
    if (long(out.size()) >= kMaxColumns || !DupAudioBlock(b, &copy)) break;
    out.push_back(copy);
  }
  if (out.empty()) return Fail(cmd, path + ": no samples");
  return 0;
}

void FreeBlocks(std::vector<AudioBlock*>& blocks) {
  for (AudioBlock* b : blocks) FreeAudioBlock(b);
  blocks.clear();
}

}  // namespace

int RunSpectrogram(int argc, char** argv) {
  CArgs args({"-o", "--area", "--rows"}, {"--band-pass"});
  if (!args.Parse(argc, argv)) return Fail("spectrogram", args.Error());
  if (args.WantsHelp()) return fputs(kSpectrogramHelp, stdout), 0;
  if (args.Positional().size() != 1 || !args.Has("-o"))
    return Fail("spectrogram", "expected FILE.wav -o OUT.bmp");
  long rows = 0;
  if (!args.GetInt("--rows", kDefaultRows, kMinRows, kMaxRows, rows))
    return Fail("spectrogram", args.Error());
  std::vector<AudioBlock*> blocks;
  int rate = 0;
  if (int st = ReadBlocks("spectrogram", args.Positional()[0], blocks, rate)) return st;
  CMemoryPaintTarget target;
  CTimeSpec spec;
  int status = 0;
  if (!target.Init(int(blocks.size()) + 2 * kInset, int(rows) + 2 * kInset) ||
      !spec.Init(&target, rate, kBlock)) {
    status = Fail("spectrogram", "cannot make the picture");
  } else if (args.Has("--area")) {
    int lo = 0, hi = 0;
    if (!ParseArea(args.Get("--area"), lo, hi))
      status = Fail("spectrogram", "--area wants LO-HI in Hz");
    else if (!spec.SetArea(lo, hi))
      status = Fail("spectrogram", "--area must satisfy 0 <= LO < HI <= " + std::to_string(rate / 2));
  }
  if (!status && args.Has("--band-pass") && !spec.SetFilter(1))
    status = Fail("spectrogram", "cannot set up the band-pass");
  if (!status) {
    for (AudioBlock* b : blocks) spec.Draw(b);
    if (!spec.SaveFile(args.Get("-o").c_str(), spec.Picture()))
      status = Fail("spectrogram", args.Get("-o") + ": " + CDibSection::ErrorText(spec.Error()));
    else
      printf("%zu columns, %ld rows, zoom %d\n", blocks.size(), rows, spec.Zoom());
  }
  FreeBlocks(blocks);
  return status;
}

int RunSpectrum(int argc, char** argv) {
  CArgs args({"-o", "--area"}, {});
  if (!args.Parse(argc, argv)) return Fail("spectrum", args.Error());
  if (args.WantsHelp()) return fputs(kSpectrumHelp, stdout), 0;
  if (args.Positional().size() != 1 || !args.Has("-o"))
    return Fail("spectrum", "expected FILE.wav -o OUT.bmp");
  std::vector<AudioBlock*> blocks;
  int rate = 0;
  if (int st = ReadBlocks("spectrum", args.Positional()[0], blocks, rate)) return st;
  CMemoryPaintTarget target;
  CSpectrana ana;
  int status = 0;
  if (!target.Init(kSpectrumWidth, kSpectrumHeight) || !ana.Init(&target, rate, kBlock)) {
    status = Fail("spectrum", "cannot make the picture");
  } else if (args.Has("--area")) {
    int lo = 0, hi = 0;
    if (!ParseArea(args.Get("--area"), lo, hi))
      status = Fail("spectrum", "--area wants LO-HI in Hz");
    else if (!ana.SetArea(lo, hi))
      status = Fail("spectrum", "--area must satisfy 0 <= LO < HI <= " + std::to_string(rate / 2));
  }
  if (!status) {
    size_t loud = 0;
    for (size_t i = 0; i < blocks.size(); ++i) {
      MeasureAudioBlock(blocks[i]);
      if (blocks[i]->peak > blocks[loud]->peak) loud = i;
    }
    ana.FFTDisplay(blocks[loud]);
    CDibSection dib;
    if (!dib.SaveFile(args.Get("-o").c_str(), target.Picture()))
      status = Fail("spectrum", args.Get("-o") + ": " + CDibSection::ErrorText(dib.Error()));
    else
      printf("block %zu of %zu\n", loud, blocks.size());
  }
  FreeBlocks(blocks);
  return status;
}
