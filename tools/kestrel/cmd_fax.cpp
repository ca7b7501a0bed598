// kestrel decode fax / kestrel transmit fax: weather-fax pictures from a wave file into 8-bit BMP
// files named by their UTC start time, and a picture file into the audio of a fax transmission.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "app/views/picture_capture.h"
#include "spl/audio/audio_block.h"
#include "spl/decoders/fax_decoder.h"
#include "spl/decoders/fax_transmitter.h"
#include "spl/dsp/block_resampler.h"
#include "spl/image/dib_section.h"
#include "spl/image/fax_denoise.h"
#include "spl/image/fax_slant.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/command.h"
#include "tools/kestrel/wav_io.h"

namespace {

// The station's set-up at 11025 Hz: 1024-sample blocks and 64-tap filters; files at other
// rates are resampled to it first.
constexpr int kStationRate = 11025;
constexpr int kStationBlock = 1024;
constexpr int kStationTaps = 64;
constexpr int kTransmitRate = 11025;
// FM: the decoder's tones in a band of 1600 Hz (wider than the station's 1200: the quadrature
// demodulator keeps finer detail from it). AM: the satellite subcarrier, a band as wide as the
// pixel rate, and the sync burst (1040 Hz at the pixel rate, 39 pixels, its peak white).
constexpr int kFmCenter = 1900, kFmShift = 800, kFmWidth = 1600;
constexpr int kAmCenter = 2400, kAmWidth = 3600;
constexpr int kBurstHz = 1040, kBurstPixels = 39, kBurstPercent = 100;
// The line start is moved onto the burst once this many lines find it within a few pixels.
constexpr int kBurstAgreeLines = 4, kBurstAgreePixels = 3;
constexpr int kDefaultLpm = 120, kMinLpm = 30, kMaxLpm = 480;
constexpr int kIocWide = 576, kIocNarrow = 288;  // 288 is announced by the 675 Hz start tone
constexpr int kMaxTone = 20000;
// The transmitter's start tone, phasing and stop tone lengths (seconds), and their limit.
constexpr double kStartSeconds = 5.0, kPhasingSeconds = 30.0, kStopSeconds = 5.0;
constexpr double kMaxPartSeconds = 600.0;
// Lines of a tone that were drawn before the tone event fired (it fires on the fifth).
constexpr int kToneLinesDrawn = 4;
// A picture is saved and a new one begun at the largest bitmap height.
constexpr int kMaxPictureRows = kMaxBitmapSide;

const char* kDecodeUsage =
    "usage: kestrel decode fax [--ioc 576|288] [--lpm N] [--center HZ] [--shift HZ]\n"
    "                          [--am|--am-envelope] [--korr STEP] [--no-slant] [--no-denoise]\n"
    "                          --out DIR FILE.wav\n"
    "Receives weather-fax pictures and writes each as an 8-bit BMP into DIR, named\n"
    "FAX_YYYY-MM-DD_HH-MM.BMP after the UTC time the picture began (the file's modification time\n"
    "less its length); the file names go to standard output, the receive states to standard\n"
    "error. FM (default): black 1500 Hz, white 2300 Hz (--center 1900, --shift 800); a picture\n"
    "runs from the phasing to the stop tone, a 675 Hz start tone switches to IOC 288 until the\n"
    "next 300 Hz one. --am samples a 2400 Hz subcarrier at its peaks, --am-envelope takes its\n"
    "envelope (each pixel the mean over its samples, black and white from the sync burst: the\n"
    "cleaner picture); AM pictures run through the whole file. --korr sets the pixels per sample\n"
    "(slant correction; nominal IOC*pi*LPM/60/11025 rounded to whole pixels per line: the\n"
    "decoder runs at 11025 Hz whatever the file's rate). Without --korr, a first pass finds\n"
    "the line period that a clock error gives the charts (from their upright strokes), tells\n"
    "it (ppm) and decodes at the pixel clock it gives; --no-slant decodes as received.\n"
    "A noisy picture is filtered before it is saved, as strongly as the noise measured in it\n"
    "asks (edges, strokes and text kept; a clean picture is saved as received; the noise level\n"
    "is told); --no-denoise saves it as demodulated.\n";

const char* kTransmitUsage =
    "usage: kestrel transmit fax [--ioc 576|288] [--lpm N] [--am] [--start-tone S]\n"
    "                            [--phasing S] [--stop-tone S] --picture IN -o OUT.wav\n"
    "Sends the picture IN (BMP or JPEG) in gray, scaled to IOC*pi pixels a line keeping its\n"
    "aspect, at N lines a minute (30 ... 480, default 120) into a mono 16-bit wave file at\n"
    "11025 Hz: FM with start tone, phasing and stop tone, or with --am on a 2400 Hz subcarrier\n"
    "with a sync burst in every line. The start tone, phasing and stop tone last 5, 30 and 5\n"
    "seconds unless given (AM sends only the phasing, as lines of burst).\n";

// Demodulators, by option.
enum FaxDemod { kDemodFm, kDemodAm, kDemodEnvelope };

std::string Hz(int hz) { return std::to_string(hz) + " Hz"; }

// What the receive states and tone events are called on standard error.
const char* StateText(int code) {
  static const char* const kTexts[] = {"waiting for the start tone", "start tone 300 Hz",
                                       "start tone 675 Hz",          "stop tone 450 Hz",
                                       "phasing",                    "phasing found, line start aligned",
                                       "receiving"};
  return code >= 1 && code <= 7 ? kTexts[code - 1] : "?";
}

// One received picture: rows of gray bytes as the decoder draws them (0 white ... 255 black).
struct Picture {
  int width = 0;
  std::vector<uint8_t> rows;
  double start_seconds = 0.0;  // into the file
  int Height() const { return width > 0 ? int(rows.size() / size_t(width)) : 0; }
};

class CFaxFileDecoder : public CFaxDecoder {
 public:
  CFaxFileDecoder(int demod, int userIoc, int rpm, double korr, bool slant, bool denoise,
                  std::string dir, time_t fileStart)
      : demod_(demod), user_ioc_(userIoc), rpm_(rpm), korr_(korr), slant_(slant),
        denoise_(denoise), dir_(std::move(dir)), file_start_(fileStart) {}

  // Init with the mode's settings; 1 or 0.
  int Start(int center, int shift, int width) {
    if (!Init(kStationRate, kStationBlock, kStationTaps, 0) ||
        !SetFaxDecoder(center, shift, width))
      return 0;
    if (!SetIoc(user_ioc_)) return 0;
    SetFmQuadrature(1);
    SetAmQuadrature(1);
    if (demod_ != kDemodFm) Open();  // AM carries no tones: the file is the picture
    return 1;
  }

  void Decode(AudioBlock* block, long long firstSample) {
    now_ = double(firstSample) / kStationRate;
    if (demod_ == kDemodFm) DecodeFM(block);
    else if (demod_ == kDemodAm) DecodeAM(block);
    else DecodeAMFilter(block);
    if (pending_ioc_) {  // a module change takes effect between blocks
      const int ioc = pending_ioc_;
      pending_ioc_ = 0;
      if (!SetIoc(ioc)) failed_ = true;
      // The change restarted the receive state; the start tone that asked for it was heard.
      else ExpectPhasing();
    }
  }

  // Saves a picture still open at the end of the file (not after a failed one: its reason
  // was told once). 1, or 0 when a file failed.
  int Finish() {
    if (!failed_) Close(0);
    return !failed_;
  }
  int Saved() const { return saved_; }
  bool Failed() const { return failed_; }

  void FaxLine(HBITMAP line, int burst) override {
    if (demod_ != kDemodFm) AlignToBurst(burst);
    if (!open_) return;
    const int w = Width(line);
    if (w != picture_.width) {  // a module change ends the picture
      Close(0);
      Open();
      picture_.width = w;
    }
    const uint8_t* p = AdrH(line);
    picture_.rows.insert(picture_.rows.end(), p, p + w);
    if (picture_.Height() >= kMaxPictureRows) {
      Close(0);
      Open();
    }
  }

  // A first pass over the file only measures the slant of its longest picture: nothing is said
  // or saved.
  void MeasureOnly() { measure_ = true; }
  // The clock ratio the longest picture showed: its line length over the width (1.0: none).
  double LineRatio() const { return measured_ratio_; }

  void FaxState(int code) override {
    if (!measure_) fprintf(stderr, "%9.1f s  %s\n", now_, StateText(code));
    switch (code) {
      case kFaxStart300:
      case kFaxStart675:
        Close(kToneLinesDrawn);
        if (code == kFaxStart675 && ioc_ != kIocNarrow) pending_ioc_ = kIocNarrow;
        if (code == kFaxStart300 && ioc_ != user_ioc_) pending_ioc_ = user_ioc_;
        break;
      case kFaxStop450:
        Close(kToneLinesDrawn);
        break;
      case kFaxWaitStop:
        Open();
        break;
    }
  }

 private:
  int SetIoc(int ioc) {
    if (!SetFaxMode(ioc, rpm_)) return 0;
    ioc_ = ioc;
    // The correction is given for the chosen module; another module's lines scale it.
    if (korr_ > 0.0) {
      const double k = ioc == user_ioc_ ? korr_ : korr_ * GetXSize() / user_x_size_;
      if (!SetKorr(k)) return 0;
    }
    if (ioc == user_ioc_) user_x_size_ = GetXSize();
    if (demod_ != kDemodFm && !DefineBurst(BurstAtPixelRate(), kBurstPixels, kBurstPercent))
      return 0;
    return 1;
  }

  // The burst is keyed pixel by pixel at 1040 Hz of the pixel rate; at a pixel rate below
  // twice that (slow drums, IOC 288) the keyed pixels show it at its alias.
  int BurstAtPixelRate() const {
    const int rate = rpm_ * GetXSize() / 60;
    if (rate < 1) return kBurstHz;
    const int folded = kBurstHz % rate;
    return folded > rate / 2 ? rate - folded : folded;
  }

  // The decoder pulls the burst towards the line start by a fraction of a pixel a line; from
  // wherever the recording began that takes thousands of lines. As the station's user clicks on
  // the burst, the line start is moved onto it once, when a few lines agree on its place.
  void AlignToBurst(int burst) {
    if (aligned_) return;
    const int w = GetXSize();
    if (burst <= 0 || burst >= w) {
      burst_agree_ = 0;
      return;
    }
    int d = std::abs(burst - last_burst_);
    d = std::min(d, w - d);
    burst_agree_ = d <= kBurstAgreePixels ? burst_agree_ + 1 : 0;
    last_burst_ = burst;
    if (burst_agree_ >= kBurstAgreeLines) {
      SetSyncPos(-burst);
      aligned_ = true;
    }
  }

  void Open() {
    if (open_) return;
    open_ = true;
    picture_ = Picture();
    picture_.width = GetXSize();
    picture_.start_seconds = now_;
  }

  // Ends the open picture, dropping its last dropRows rows (a tone's lines), and saves it.
  void Close(int dropRows) {
    if (!open_) return;
    open_ = false;
    const int keep = picture_.Height() - dropRows;
    if (keep < 1) return;
    picture_.rows.resize(size_t(keep) * picture_.width);
    if (!Save(picture_)) failed_ = true;
  }

  // FAX_YYYY-MM-DD_HH-MM.BMP of the UTC time the picture began; one of the same minute (or
  // one already in the folder) is saved as "_2", "_3" ...
  std::string FileName(double startSeconds) const {
    const time_t t = file_start_ + time_t(startSeconds);
    struct tm u {};
    gmtime_r(&t, &u);
    char name[64];
    snprintf(name, sizeof name, "FAX_%04d-%02d-%02d_%02d-%02d.BMP", u.tm_year + 1900,
             u.tm_mon + 1, u.tm_mday, u.tm_hour, u.tm_min);
    return dir_ + "/" + name;
  }

  // A picture the disk takes only in part keeps its first lines; the run then ends, as later
  // pictures would not fit either.
  int Save(const Picture& p) {
    int h = p.Height();
    // A clock a little off slants the chart: its rows are cut anew along the line length the
    // picture shows.
    const double drift = slant_ ? FaxLineDrift(p.rows.data(), p.width, h) : 0.0;
    if (measure_) {
      if (h > measured_rows_) measured_rows_ = h, measured_ratio_ = (p.width + drift) / p.width;
      ++saved_;
      return 1;
    }
    const std::vector<uint8_t> straight =
        drift != 0.0 ? FaxStraighten(p.rows.data(), p.width, &h, drift) : std::vector<uint8_t>();
    const uint8_t* rows_out = drift != 0.0 ? straight.data() : p.rows.data();
    // Below about +15 dB the picture is noise-limited: filtered as strongly as its noise asks.
    const double noise = denoise_ ? FaxNoiseLevel(rows_out, p.width, h) : 0.0;
    const std::vector<uint8_t> filtered =
        noise >= kFaxCleanNoise ? FaxDenoise(rows_out, p.width, h, noise) : std::vector<uint8_t>();
    if (!filtered.empty()) rows_out = filtered.data();
    std::string path, error;
    int rows = 0;
    if (!SaveFaxPicture(FileName(p.start_seconds), rows_out, p.width, h, path, rows, error)) {
      fprintf(stderr, "kestrel: decode fax: %s\n", error.c_str());
      return 0;
    }
    printf("%s\n", path.c_str());
    fflush(stdout);
    if (drift != 0.0)
      fprintf(stderr, "kestrel: decode fax: %s: slant straightened, line period %+.0f ppm\n",
              path.c_str(), FaxDriftPpm(drift, p.width));
    if (!filtered.empty())
      fprintf(stderr, "kestrel: decode fax: %s: noise %.1f levels, filtered\n", path.c_str(),
              noise);
    ++saved_;
    if (rows < h) {
      const size_t colon = error.rfind(": ");
      fprintf(stderr, "kestrel: decode fax: %s: %d of %d lines kept (%s)\n", path.c_str(), rows,
              h, colon == std::string::npos ? error.c_str() : error.c_str() + colon + 2);
      return 0;
    }
    return 1;
  }

  int demod_, user_ioc_, rpm_;
  double korr_;
  bool slant_, denoise_, measure_ = false;
  int measured_rows_ = 0;
  double measured_ratio_ = 1.0;
  std::string dir_;
  time_t file_start_;
  int ioc_ = 0, user_x_size_ = 1, pending_ioc_ = 0;
  double now_ = 0.0;
  bool open_ = false, failed_ = false, aligned_ = false;
  int last_burst_ = -1000, burst_agree_ = 0;
  int saved_ = 0;
  Picture picture_;
};

// The UTC time the recording began: its modification time less its length, or now.
time_t FileStart(const std::string& path, double seconds) {
  struct stat st {};
  const time_t end = stat(path.c_str(), &st) == 0 ? st.st_mtime : time(nullptr);
  return end - time_t(seconds + 0.5);
}

int ReadIoc(CArgs& a, const std::string& subject, long& ioc) {
  if (!a.GetInt("--ioc", kIocWide, 1, 100000, ioc)) return Fail(subject, a.Error()), 0;
  if (ioc != kIocWide && ioc != kIocNarrow) return Fail(subject, "--ioc wants 576 or 288"), 0;
  return 1;
}

}  // namespace

int RunDecodeFax(int argc, char** argv) {
  const std::string subject = "decode fax";
  CArgs a({"--ioc", "--lpm", "--center", "--shift", "--korr", "--out"},
          {"--am", "--am-envelope", "--no-slant", "--no-denoise"});
  if (!a.Parse(argc, argv)) return Fail(subject, a.Error());
  if (a.WantsHelp()) return fputs(kDecodeUsage, stdout), kExitOk;
  if (a.Positional().size() != 1) {
    fputs(kDecodeUsage, stderr);
    return Fail(subject, "one wave file wanted");
  }
  if (!a.Has("--out")) return Fail(subject, "--out DIR is needed");
  if (a.Has("--am") && a.Has("--am-envelope"))
    return Fail(subject, "--am and --am-envelope exclude each other");
  const int demod = a.Has("--am") ? kDemodAm : a.Has("--am-envelope") ? kDemodEnvelope : kDemodFm;
  long ioc, lpm, center, shift;
  double korr;
  if (!ReadIoc(a, subject, ioc)) return kExitUsage;
  if (!a.GetInt("--lpm", kDefaultLpm, kMinLpm, kMaxLpm, lpm) ||
      !a.GetInt("--center", demod == kDemodFm ? kFmCenter : kAmCenter, 1, kMaxTone, center) ||
      !a.GetInt("--shift", kFmShift, 1, kMaxTone, shift) ||
      !a.GetDouble("--korr", 0.0, 0.0, 1.0, korr))
    return Fail(subject, a.Error());
  if (a.Has("--korr") && !(korr > 0.0 && korr < 1.0))
    return Fail(subject, "--korr wants pixels per sample between 0 and 1");
  const std::string dir = a.Get("--out");
  struct stat st {};
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return Fail(subject, dir + ": no such folder");
  std::string unwritable;
  if (!PictureFolderWritable(dir, unwritable)) return Fail(subject, unwritable);
  const std::string path = a.Positional()[0];
  const bool slant = !a.Has("--no-slant");
  const bool denoise = !a.Has("--no-denoise");
  const int width = demod == kDemodFm ? kFmWidth : kAmWidth;
  // One pass of the file through a decoder; kExitOk, or the exit status of a failure told.
  const auto pass = [&](CFaxFileDecoder& decoder) {
    CWavBlockReader reader;
    if (!reader.Open(path, kStationBlock)) return Fail(subject, path + ": " + reader.Error());
    const int rate = reader.Rate();
    CBlockResampler to_station;
    // The band must reach the decoder: below half the file's rate as well as the decoder's.
    if (2 * (center + width / 2) >= std::min(rate, kStationRate) ||
        !decoder.Start(int(center), int(shift), width) ||
        !to_station.Init(rate, kStationRate, kStationBlock))
      return Fail(subject, "the decoder refuses these settings at " + Hz(rate) + " (tones " +
                               Hz(int(center - shift / 2)) + " ... " +
                               Hz(int(center + shift / 2)) + ", band " +
                               Hz(int(center - width / 2)) + " ... " +
                               Hz(int(center + width / 2)) + ", under a pixel a sample)");
    long long done = 0;
    const auto decode = [&decoder, &done](AudioBlock* b) {
      if (decoder.Failed()) return;
      decoder.Decode(b, done);
      done += b->count;
    };
    while (AudioBlock* b = reader.Next()) {
      to_station.Push(b, decode);
      if (decoder.Failed()) break;
    }
    // The decoder takes whole blocks: the last one is filled up with silence.
    if (!decoder.Failed()) to_station.Flush(decode);
    if (!reader.Error().empty()) return Fail(subject, path + ": " + reader.Error());
    return decoder.Finish() ? kExitOk : kExitFailure;
  };
  CWavBlockReader probe;
  if (!probe.Open(path, kStationBlock)) return Fail(subject, path + ": " + probe.Error());
  const time_t start = FileStart(path, double(probe.Frames()) / probe.Rate());
  // A clock error found in a first pass is corrected at the decoder's pixel clock in the
  // second, as --korr would: sharper than cutting the received rows anew afterwards.
  if (slant && !a.Has("--korr")) {
    CFaxFileDecoder measure(demod, int(ioc), int(lpm), 0.0, true, false, dir, start);
    measure.MeasureOnly();
    const int status = pass(measure);
    if (status != kExitOk) return status;
    const double ratio = measure.LineRatio();
    if (ratio != 1.0) {
      korr = int(ioc * M_PI + 0.5) * double(lpm) / 60.0 / kStationRate / ratio;
      fprintf(stderr, "kestrel: decode fax: line period %+.0f ppm from the nominal: decoding "
              "with --korr %.9f\n", (ratio - 1.0) * 1e6, korr);
    }
  }
  CFaxFileDecoder decoder(demod, int(ioc), int(lpm), korr, slant, denoise, dir, start);
  const int status = pass(decoder);
  if (status != kExitOk) return status;
  if (decoder.Saved() == 0) {
    fprintf(stderr, "kestrel: decode fax: %s: no picture received\n", path.c_str());
    return kExitFailure;
  }
  return kExitOk;
}

int RunTransmitFax(int argc, char** argv) {
  const std::string subject = "transmit fax";
  CArgs a({"--ioc", "--lpm", "--picture", "-o", "--start-tone", "--phasing", "--stop-tone"},
          {"--am"});
  if (!a.Parse(argc, argv)) return Fail(subject, a.Error());
  if (a.WantsHelp()) return fputs(kTransmitUsage, stdout), kExitOk;
  if (!a.Positional().empty()) return Fail(subject, "unexpected \"" + a.Positional()[0] + "\"");
  if (!a.Has("--picture") || !a.Has("-o")) return Fail(subject, "--picture and -o are needed");
  long ioc, lpm;
  if (!ReadIoc(a, subject, ioc)) return kExitUsage;
  double start_s, phasing_s, stop_s;
  if (!a.GetInt("--lpm", kDefaultLpm, kMinLpm, kMaxLpm, lpm) ||
      !a.GetDouble("--start-tone", kStartSeconds, 0.0, kMaxPartSeconds, start_s) ||
      !a.GetDouble("--phasing", kPhasingSeconds, 0.0, kMaxPartSeconds, phasing_s) ||
      !a.GetDouble("--stop-tone", kStopSeconds, 0.0, kMaxPartSeconds, stop_s))
    return Fail(subject, a.Error());
  CFaxTransmitter tx;
  if (!tx.Init(kTransmitRate, int(ioc), int(lpm), a.Has("--am") ? 1 : 0) ||
      !tx.SetTimes(start_s, phasing_s, stop_s))
    return Fail(subject, "the transmitter refuses these settings");
  const std::string in = a.Get("--picture");
  CDibSection dib;
  HBITMAP src = dib.LoadFile(in.c_str());
  if (!src) return Fail(subject, in + ": cannot read the picture (" + CDibSection::ErrorText(dib.Error()) + ")");
  // Gray by luminance, then xSize pixels a line with the picture's aspect.
  const int w = tx.GetXSize();
  const int sw = dib.Width(src), sh = std::abs(dib.Height(src));
  const int h = std::max(1, int(std::lround(double(sh) * w / sw)));
  HBITMAP gray = dib.ConvertToGray(src);
  DeleteObject(src);
  HBITMAP scaled = gray ? dib.Scale(gray, w, h) : nullptr;
  if (gray) DeleteObject(gray);
  HBITMAP line_gray = scaled ? dib.ConvertToGray(scaled) : nullptr;
  if (scaled) DeleteObject(scaled);
  if (!line_gray)
    return Fail(subject, in + ": cannot scale the picture (" + CDibSection::ErrorText(dib.Error()) + ")");
  std::vector<uint8_t> luminance(size_t(w) * h);
  const uint8_t* pixels = dib.AdrH(line_gray);
  const int bpl = dib.BPL(line_gray);
  const bool bottom_up = dib.Height(line_gray) > 0;
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = pixels + size_t(bottom_up ? h - 1 - y : y) * bpl;
    std::copy(row, row + w, luminance.begin() + size_t(y) * w);  // gray palette: index = level
  }
  DeleteObject(line_gray);
  std::vector<float> samples;
  if (!tx.Transmit(luminance.data(), w, h, samples)) return Fail(subject, "nothing to send");
  CWavWriter out;
  const std::string path = a.Get("-o");
  if (!out.Create(path, kTransmitRate) || !out.Write(samples.data(), int(samples.size())) ||
      !out.Close())
    return Fail(subject, path + ": " + out.Error());
  printf("%s: %zu samples at %d Hz (%.1f s), %s IOC %ld, %ld lines a minute, %d x %d pixels\n",
         path.c_str(), samples.size(), kTransmitRate, double(samples.size()) / kTransmitRate,
         a.Has("--am") ? "AM" : "FM", ioc, lpm, w, h);
  return kExitOk;
}
