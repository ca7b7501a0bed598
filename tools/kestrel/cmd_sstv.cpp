// kestrel decode sstv: slow-scan television pictures from a wave file, each saved as a JPEG
// named after its UTC start time, with the library's SSTV decoder set up as the station sets
// it up (1024-sample blocks at 11025 Hz; files at other rates are resampled to it first).
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>

#include "app/views/picture_capture.h"
#include "spl/decoders/sstv_decoder.h"
#include "spl/dsp/block_resampler.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/command.h"
#include "tools/kestrel/wav_io.h"

namespace {

constexpr int kStationRate = 11025;
constexpr int kStationBlock = 1024;
constexpr int kStationTaps = 64;
constexpr int kMinRate = 6000;  // the 1000 ... 2500 Hz band-pass must fit below half the rate
constexpr const char* kSubject = "decode sstv";

// The tool's mode names; "auto" leaves the choice to the VIS code.
struct ModeName {
  const char* name;
  int mode;
};
constexpr ModeName kModeNames[] = {
    {"martin1", kSstvMartin1}, {"scottie1", kSstvScottie1}, {"sc2-180", kSstvSc2180},
    {"robot72", kSstvRobot72}};
constexpr int kAuto = -1;

const char* kUsage =
    "usage: kestrel decode sstv [--mode martin1|scottie1|sc2-180|robot72|auto] [--ycc 601|709]\n"
    "                           [--no-slant] --out DIR FILE.wav\n"
    "Receives SSTV pictures and saves each as DIR/SSTV_YYYY-MM-DD_HH-MM.JPG (UTC start time;\n"
    "_2, _3 ... rather than overwrite). With auto (the default) the VIS code before each\n"
    "picture selects the mode; a fixed mode starts a picture at any 30 ms sync instead.\n"
    "A picture cut short is saved as far as it came. State changes go to standard error.\n"
    "--ycc: Robot 72's colour equations, 601 (studio range, as Robot sends; default) or 709\n"
    "full range. The line syncs straighten a picture that the sender's or the sound card's\n"
    "clock slants, and the line period found is printed (ppm from the published);\n"
    "--no-slant keeps the published line period.\n";

std::string StateText(unsigned long s) {
  if (!(s & kSstvReceiving)) return "waiting for a picture";
  return (s & kSstvSearching) ? "receiving, searching the line syncs" : "receiving, in sync";
}

class CSavingSstvDecoder : public CSstvDecoder {
 public:
  CSavingSstvDecoder(std::string dir, time_t start, bool fixed)
      : dir_(std::move(dir)), start_(start), fixed_(fixed) {}

  void StateChange(unsigned long state) override {
    if (state == reported_) return;
    fprintf(stderr, "kestrel: %s: %.1f s: %s\n", kSubject, double(samples_) / kStationRate,
            StateText(state).c_str());
    if ((state & kSstvReceiving) && !(reported_ & kSstvReceiving)) picture_start_ = samples_;
    // A picture ends when receiving stops; Decode is still inside that picture's last block.
    if (!(state & kSstvReceiving) && (reported_ & kSstvReceiving)) Save(false);
    reported_ = state;
  }

  // At the end of the file: a picture still coming in is saved as far as it came.
  void Finish() {
    if (GetState() & kSstvReceiving) Save(true);
  }

  void Advance(int n) { samples_ += n; }
  int saved = 0, failed = 0;

 private:
  void Save(bool partial) {
    const time_t at = start_ + time_t(picture_start_ / kStationRate);
    struct tm t;
    gmtime_r(&at, &t);
    char stem[64];
    snprintf(stem, sizeof stem, "SSTV_%04d-%02d-%02d_%02d-%02d", t.tm_year + 1900, t.tm_mon + 1,
             t.tm_mday, t.tm_hour, t.tm_min);
    const SstvMode* m = SstvModeByNumber(GetMode());
    const std::string vis =
        fixed_ ? std::string("mode set") : "VIS " + std::to_string(GetLastVIS());
    std::string path, error;
    if (!SaveSstvPictureAs(dir_ + "/" + stem + ".JPG", GetPicture(), path, error)) {
      // A full disk fails every later picture alike: its reason is told once.
      const size_t colon = error.rfind(": ");
      const std::string reason = colon == std::string::npos ? error : error.substr(colon);
      if (reason != last_reason_) fprintf(stderr, "kestrel: %s: %s\n", kSubject, error.c_str());
      last_reason_ = reason;
      ++failed;
      return;
    }
    ++saved;
    printf("%s %s (%s)", path.c_str(), m ? m->name : "?", vis.c_str());
    if (partial) printf(", %d of %d lines", GetLineCount(), GetYSize());
    if (std::fabs(GetClockPpm()) >= 0.5) printf(", line period %+.0f ppm", GetClockPpm());
    printf("\n");
    fflush(stdout);
  }

  std::string dir_;
  time_t start_;
  bool fixed_;
  std::string last_reason_;
  unsigned long reported_ = 0;
  long long samples_ = 0, picture_start_ = 0;
};

// The UTC time at which the recording began: the file's time less its length, or now.
time_t RecordingStart(const std::string& path, long long frames, int rate) {
  struct stat st;
  const time_t end = stat(path.c_str(), &st) == 0 ? st.st_mtime : time(nullptr);
  return end - time_t(frames / rate);
}

}  // namespace

int RunDecodeSstv(int argc, char** argv) {
  CArgs args({"--mode", "--out", "--ycc"}, {"--no-slant"});
  if (!args.Parse(argc, argv)) return Fail(kSubject, args.Error());
  if (args.WantsHelp()) {
    fputs(kUsage, stdout);
    return kExitOk;
  }
  int mode = kAuto;
  const std::string mode_name = args.Get("--mode", "auto");
  if (mode_name != "auto") {
    mode = -2;
    for (const ModeName& m : kModeNames)
      if (mode_name == m.name) mode = m.mode;
    if (mode == -2)
      return Fail(kSubject, "unknown mode '" + mode_name +
                                "' (martin1, scottie1, sc2-180, robot72 or auto)");
  }
  int matrix = kSstvMatrixOfMode;
  if (args.Has("--ycc")) {
    const std::string ycc = args.Get("--ycc");
    for (int i = 0; i < kSstvMatrixCount; ++i)
      if (ycc == SstvColourMatrixAt(i)->name) matrix = i;
    if (matrix == kSstvMatrixOfMode) return Fail(kSubject, "--ycc is 601 or 709, not " + ycc);
  }
  if (!args.Has("--out") || args.Positional().size() != 1) {
    fputs(kUsage, stderr);
    return Fail(kSubject, "--out DIR and one wave file wanted");
  }
  const std::string dir = args.Get("--out");
  const std::string path = args.Positional()[0];
  CWavBlockReader reader;
  if (!reader.Open(path, kStationBlock)) return Fail(path, reader.Error());
  const int rate = reader.Rate();
  if (rate < kMinRate)
    return Fail(kSubject, std::to_string(rate) + " Hz sampling is too low for SSTV (at least " +
                              std::to_string(kMinRate) + " Hz)");
  std::string unwritable;
  if (!PictureFolderWritable(dir, unwritable)) return Fail(kSubject, unwritable);
  CBlockResampler to_station;
  if (!to_station.Init(rate, kStationRate, kStationBlock))
    return Fail(kSubject, "no resampler from " + std::to_string(rate) + " Hz");
  CSavingSstvDecoder decoder(dir, RecordingStart(path, reader.Frames(), rate), mode != kAuto);
  if (!decoder.SetFilter(1000, 2500, kStationTaps, 0) || !decoder.Init(kStationRate, kStationBlock))
    return Fail(kSubject, "CSstvDecoder::Init error");
  decoder.SetColourMatrix(matrix);
  decoder.SetAutoSlant(!args.Has("--no-slant"));
  decoder.SetToneVis(1);
  if (mode != kAuto) {
    decoder.SetAVIS(0);
    if (!decoder.SetMode(mode, 0.0)) return Fail(kSubject, "CSstvDecoder::SetMode error");
  }
  const auto decode = [&decoder](AudioBlock* b) {
    decoder.Decode(b);
    decoder.Advance(b->count);
  };
  while (AudioBlock* b = reader.Next()) to_station.Push(b, decode);
  // The last block is padded with silence, so the decoder always gets whole blocks.
  to_station.Flush(decode);
  // One block of silence brings the end of the file out of the band-pass.
  AudioBlock* silence = nullptr;
  if (NewAudioBlock(&silence, kStationBlock)) {
    for (int i = 0; i < kStationBlock; ++i) silence->data[i] = 0.0f;
    MeasureAudioBlock(silence);
    if (decoder.GetState() & kSstvReceiving) decoder.Decode(silence);
    FreeAudioBlock(silence);
  }
  decoder.Finish();
  if (decoder.failed) return kExitFailure;
  if (decoder.saved == 0) {
    fprintf(stderr, "kestrel: %s: no SSTV picture found\n", path.c_str());
    return kExitFailure;
  }
  return kExitOk;
}
