// kestrel wav: looks into wave files: their format, length and peak level, decoding codec
// files through the same codec layer the station uses.
#include <cmath>
#include <cstdio>
#include <string>

#include "spl/audio/wave_player.h"
#include "spl/platform/codec.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/command.h"

namespace {

constexpr int kBlockSamples = 4096;       // decoded per step
constexpr double kFullScale = 32767.0;    // 0 dBFS, as in every audio block

const char* kUsage =
    "usage: kestrel wav info FILE\n"
    "info prints the format (tag and name, channels, rate, bits, block align), the length in\n"
    "samples and seconds and the peak level in dBFS. Damaged or unsupported files are\n"
    "reported as \"kestrel: FILE: reason\" with exit status 2; a file cut off inside its data\n"
    "is described as far as it goes, after \"kestrel: FILE: truncated: N of M bytes of data\".\n";

int Info(const std::string& path) {
  CWavePlayer player;
  if (!player.Open(path.c_str(), kBlockSamples)) {
    // Drop the operation name: the tool names the file instead.
    std::string why = player.LastError();
    const size_t colon = why.find(": ");
    return Fail(path, colon == std::string::npos ? why : why.substr(colon + 2));
  }
  if (player.Truncated())
    fprintf(stderr, "kestrel: %s: truncated: %d of %lld bytes of data\n", path.c_str(),
            player.DataSize(), player.DeclaredDataSize());
  const WAVEFORMATEX* w = player.FileFormat();
  const CodecDriver* d = CodecFindDriver(w->wFormatTag);
  const char* name = d ? d->name : w->wFormatTag == WAVE_FORMAT_IEEE_FLOAT ? "IEEE float" : "?";
  AudioBlock* block = nullptr;
  if (!NewAudioBlock(&block, kBlockSamples)) return Fail(path, "out of memory");
  long long samples = 0;
  float peak = 0.0f;
  for (int n; (n = player.Decompress(block)) > 0;) {
    samples += n;
    peak = std::max(peak, block->peak);
  }
  FreeAudioBlock(block);
  long long frames = samples / player.PcmFormat()->nChannels;
  // A codec's last block may be padded; the "fact" chunk then has the true length.
  if (player.FactFrames() >= 0 && player.FactFrames() < frames) frames = player.FactFrames();
  printf("file:        %s\n", path.c_str());
  if (player.FileTag() == WAVE_FORMAT_EXTENSIBLE)
    printf("format:      0x%04X extensible, 0x%04X %s\n", unsigned(player.FileTag()),
           unsigned(w->wFormatTag), name);
  else
    printf("format:      0x%04X %s\n", unsigned(w->wFormatTag), name);
  printf("channels:    %d\n", int(w->nChannels));
  printf("rate:        %u Hz\n", unsigned(w->nSamplesPerSec));
  printf("bits:        %d\n", int(w->wBitsPerSample));
  printf("block align: %d\n", int(w->nBlockAlign));
  printf("data:        %d bytes\n", player.DataSize());
  printf("length:      %lld samples, %.3f s\n", frames, double(frames) / w->nSamplesPerSec);
  if (peak > 0.0f)
    printf("peak:        %.2f dBFS\n", 20.0 * std::log10(peak / kFullScale));
  else
    printf("peak:        silent\n");
  return kExitOk;
}

}  // namespace

int RunWav(int argc, char** argv) {
  CArgs args({}, {});
  if (!args.Parse(argc, argv)) return Fail("wav", args.Error());
  if (args.WantsHelp()) {
    fputs(kUsage, stdout);
    return kExitOk;
  }
  const auto& words = args.Positional();
  if (words.size() == 2 && words[0] == "info") return Info(words[1]);
  fputs(kUsage, stderr);
  return Fail("wav", words.empty() ? "missing subcommand" : "unknown use (see kestrel wav --help)");
}
