// kestrel station: the whole station core without a display. Start-up in order, a decoder
// chosen or a frequency tuned, every captured block through the hub, decoded text printed as
// it comes, the products saved into the base folder, and shutdown in order.
#include <csignal>
#include <cstdio>
#include <string>

#include "app/core/page_windows.h"
#include "app/core/sim_station.h"
#include "app/core/station_core.h"
#include "app/core/station_paths.h"
#include "spl/audio/sound_device.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/command.h"

namespace {

constexpr const char* kSubject = "station";
constexpr DWORD kPollMs = 50;
// After the end of a file source: run until no block has come for this long.
constexpr DWORD kDrainQuietMs = 500;
constexpr double kMaxSeconds = 7 * 24 * 3600.0;

// Set by SIGINT or SIGTERM: the station then shuts down in order, saving what is under way.
volatile sig_atomic_t g_stop = 0;
void OnStopSignal(int) { g_stop = 1; }

const char* kUsage =
    "usage: kestrel station [--base DIR] --port PATH|COMn|sim[:TYPE]\n"
    "                       --audio-in DEVICE|wav:FILE|wavfast:FILE|sim|simfast [--audio-out DEVICE|null]\n"
    "                       [--decoder CODE | --frq KHZ [--mode MODE]] [--seconds N] [--until-end]\n"
    "                       [--stations FILE]\n"
    "Runs the station without a display: start-up, the receiver on PORT (sim: a simulated\n"
    "receiver of the settings' type or TYPE), capture from DEVICE (sim: the simulated band,\n"
    "which follows the simulated receiver's tuning; simfast: the same as fast as it goes),\n"
    "decoded text on standard output as it comes, states and saved files on standard error;\n"
    "messages ZCZC ... NNNN saved as text/RTTY_*.RTF, FAX pictures as fax/FAX_*.BMP, SSTV\n"
    "pictures as sstv/SSTV_*.JPG below the base folder, and the settings files written at the\n"
    "end. The base folder: DIR, else the current folder when it holds KSTL.INI or\n"
    "KSTLCONFIG.CFG, else ~/.local/share/kestrel.\n"
    "  --decoder CODE  0 RTTY, 1 RTTY sync, 2 SITOR-B, 16 SYNOP, 18 NAVTEX, 257 BPSK31,\n"
    "                  258 QPSK31, 2048 CW, 4096 FAX, 8192 SSTV, 16384 audio\n"
    "  --frq KHZ       tune to a station: one of the simulated band's with its decoder, or\n"
    "                  this frequency with the present decoder (--mode LSB|USB|CW|AM|FM ...)\n"
    "  --seconds N     stop after N seconds (default: run until interrupted; Ctrl-C stops\n"
    "                  in order and keeps what is being received)\n"
    "  --until-end     stop when a wave-file source has been read to its end\n"
    "  --stations FILE the simulated band's station list (default data/simband.txt)\n";

// The console side of the station: text to standard output, the rest to standard error.
class CConsoleUi : public CStationUi {
 public:
  void ShowMessage(const std::string& text) override {
    EndLine();
    fprintf(stderr, "kestrel: %s: %s\n", kSubject, text.c_str());
  }
  void StatusPane(int pane, const std::string& text) override {
    if (pane < 0 || pane >= kPanes || panes_[pane] == text) return;
    panes_[pane] = text;
    if (pane != kPaneDecoder && pane != kPaneState) return;
    EndLine();
    fprintf(stderr, "%s: %s\n", pane == kPaneDecoder ? "decoder" : "state", text.c_str());
  }
  void ReceivedChar(int ch) override {
    if (ch == '\r' || ch == '\n') {
      putchar('\n');
      column_ = 0;
    } else if (ch == '\b') {
      return;
    } else {
      putchar(ch);
      ++column_;
    }
    fflush(stdout);
  }
  void ReceivedText(const std::string& text, uint32_t colour) override {
    for (char c : text) ReceivedChar(static_cast<unsigned char>(c));
  }
  void ProductSaved(StationProduct kind, const std::string& path) override {
    EndLine();
    fprintf(stderr, "saved: %s\n", path.c_str());
    ++saved_;
  }
  int Saved() const { return saved_; }

 private:
  static constexpr int kPanes = 10;
  void EndLine() {
    if (column_ > 0) putchar('\n');
    column_ = 0;
    fflush(stdout);
  }
  std::string panes_[kPanes];
  int column_ = 0;
  int saved_ = 0;
};

int ModeBit(const std::string& name) {
  for (int i = 0; i < kModeCount; ++i) {
    std::string entry(kModeNames + 4 * i, 4);
    entry.erase(entry.find_last_not_of(' ') + 1);
    if (entry == name) return 1 << i;
  }
  return 0;
}

}  // namespace

int RunStation(int argc, char** argv) {
  CArgs args({"--base", "--port", "--audio-in", "--audio-out", "--decoder", "--frq", "--mode",
              "--seconds", "--stations"},
             {"--until-end"});
  if (!args.Parse(argc, argv)) return Fail(kSubject, args.Error());
  if (args.WantsHelp()) return fputs(kUsage, stdout), kExitOk;
  if (!args.Positional().empty()) return Fail(kSubject, "unexpected \"" + args.Positional()[0] + "\"");
  if (!args.Has("--port") || !args.Has("--audio-in")) {
    fputs(kUsage, stderr);
    return Fail(kSubject, "--port and --audio-in are needed");
  }
  if (args.Has("--decoder") && args.Has("--frq"))
    return Fail(kSubject, "--decoder and --frq exclude each other");
  long decoder = -1;
  double seconds = 0.0, frq = 0.0;
  if (!args.GetInt("--decoder", -1, 0, 1 << 20, decoder) ||
      !args.GetDouble("--seconds", 0.0, 0.0, kMaxSeconds, seconds) ||
      !args.GetDouble("--frq", 0.0, 0.0, 1e8, frq))
    return Fail(kSubject, args.Error());
  if (decoder >= 0 && !FindDecoderChoice(int(decoder)))
    return Fail(kSubject, "no decoder has the code " + std::to_string(decoder));
  int mode = 0;
  if (args.Has("--mode") && !(mode = ModeBit(args.Get("--mode"))))
    return Fail(kSubject, "unknown mode \"" + args.Get("--mode") + "\"");
  const bool until_end = args.Has("--until-end");
  if (seconds == 0.0 && !until_end && args.Get("--audio-in") == kSimAudioFastName)
    return Fail(kSubject, "simfast runs faster than real time: give --seconds");

  std::string why;
  const std::string base = ChooseBaseFolder(args.Get("--base"), &why);
  if (base.empty()) return Fail(kSubject, why);

  CMessageLoop loop;
  loop.SetOrphanHandler(DiscardAudioMessage);
  CLoopPageHost pages(loop);
  CConsoleUi ui;
  CStationCore core;
  fprintf(stderr, "station: base folder %s\n", base.c_str());
  if (!core.Init(base, &ui, &pages)) return kExitUsage;
  StationOptions options;
  options.port = args.Get("--port");
  options.audioIn = args.Get("--audio-in");
  options.audioOut = args.Get("--audio-out");
  options.simStations = args.Get("--stations");
  // The decoder or station chosen is the record the start applies, so that a file source
  // starts with that decoder listening.
  if (decoder >= 0) {
    core.Settings().SetInt(kCfgDecoder, int(decoder));
    core.UseStandardParameters(int(decoder));
    core.SetCurrentRecord(core.RecordFromSettings(0.0));
  } else if (frq > 0.0) {
    CFrqRecord record = core.RecordFromSettings(frq);
    FindSimStationRecord(options.simStations, frq, record);
    for (int i = 0; i < kModeCount; ++i)
      if (mode == 1 << i) record.modulation = i;
    core.SetCurrentRecord(record);
  }
  if (!core.Start(options) || (decoder >= 0 && core.Decoder() != decoder)) {
    core.Shutdown();
    return kExitUsage;
  }

  struct sigaction stop {};
  stop.sa_handler = OnStopSignal;
  sigaction(SIGINT, &stop, nullptr);
  sigaction(SIGTERM, &stop, nullptr);
  const DWORD start = GetTickCount();
  DWORD last_block = start;
  int code = 0;
  for (;;) {
    MSG msg;
    if (loop.GetMessage(msg, kPollMs)) {
      if (msg.message == WM_QUIT) {
        code = int(msg.wParam);
        break;
      }
      if (msg.message == WM_AUDIOBLOCK) last_block = GetTickCount();
      loop.DispatchMessage(msg);
    }
    if (g_stop) break;
    const DWORD now = GetTickCount();
    if (seconds > 0.0 && now - start >= DWORD(seconds * 1000.0)) break;
    if (until_end && AudioInputEnded() && now - last_block >= kDrainQuietMs) break;
  }
  if (code) {
    const std::string status = AudioStatusText();
    fprintf(stderr, "kestrel: %s: %s\n", kSubject, status.empty() ? "stopped" : status.c_str());
  }
  core.Shutdown();
  loop.Pump();
  return code ? kExitFailure : kExitOk;
}
