// kestrel timer: runs the station's daily timer schedule. The station starts headless (by
// default on the simulated receiver and band, as fast as the band renders), and the schedule's
// clock is the audio itself: it starts at --clock and advances by each captured block's
// length, so an hour of schedule runs in the time the station takes to decode an hour of band.
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "app/core/page_windows.h"
#include "app/core/settings_fields.h"
#include "app/core/sim_station.h"
#include "app/core/station_core.h"
#include "app/core/station_paths.h"
#include "app/lists/frq_list_file.h"
#include "app/lists/frq_tables.h"
#include "spl/audio/sound_device.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/command.h"

namespace {

constexpr const char* kSubject = "timer";
constexpr DWORD kPollMs = 50;
constexpr double kMaxMinutes = 7 * 1440.0;
// A source that delivers nothing for this long (wall time) has stopped.
constexpr DWORD kSilentSourceMs = 10000;

const char* kUsage =
    "usage: kestrel timer run FILE.tim --clock YYYY-MM-DDTHH:MM --minutes N [--base DIR]\n"
    "                         [--port PATH|COMn|sim[:TYPE]] [--audio-in DEVICE|sim|simfast|wavfast:FILE]\n"
    "                         [--stations FILE]\n"
    "Runs a timer list on the station without a display. Each enabled entry is applied when\n"
    "the clock enters its window (first enabled entry in list order wins) and finished when it\n"
    "leaves it, closing the message, picture or recording it produced; the list repeats daily.\n"
    "The clock starts at --clock (UTC) and advances with the audio: by each captured block's\n"
    "length, so with the simulated band (--port sim --audio-in simfast, the default) it runs as\n"
    "fast as the station decodes. Stops after N minutes of that clock.\n"
    "Standard output: one line per entry applied and finished, one per product saved.\n"
    "  --stations FILE  the simulated band's station list (default data/simband.txt)\n";

std::string ClockText(time_t t) {
  struct tm u;
  gmtime_r(&t, &u);
  char buf[32];
  strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &u);
  return buf;
}

// "YYYY-MM-DDTHH:MM" (UTC); -1 when it is not one.
time_t ParseClock(const std::string& text) {
  struct tm u = {};
  char tail = 0;
  if (text.size() != 16 || std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d%c", &u.tm_year, &u.tm_mon, &u.tm_mday,
                                       &u.tm_hour, &u.tm_min, &tail) != 5)
    return -1;
  if (u.tm_mon < 1 || u.tm_mon > 12 || u.tm_mday < 1 || u.tm_mday > 31 || u.tm_hour > 23 || u.tm_min > 59)
    return -1;
  u.tm_year -= 1900;
  u.tm_mon -= 1;
  return timegm(&u);
}

// The station's side on the console: the schedule's lines and the products on standard
// output, messages on standard error; received text is not shown.
class CTimerUi : public CStationUi {
 public:
  void ShowMessage(const std::string& text) override {
    fprintf(stderr, "kestrel: %s: %s\n", kSubject, text.c_str());
  }
  void ProductSaved(StationProduct kind, const std::string& path) override {
    printf("saved: %s\n", path.c_str());
    fflush(stdout);
    ++products_;
  }
  // Products saved since the last call.
  int TakeProducts() {
    const int n = products_;
    products_ = 0;
    return n;
  }

 private:
  int products_ = 0;
};

// A window minute without the list's alignment blanks: "10:20", "+ 00:40".
std::string Minute(int minutes) {
  std::string t = TimerMinuteText(minutes);
  return t.substr(t.find_first_not_of(' '));
}

std::string EntryText(const CTimeScanner& timer, int index) {
  const CFrqRecord& r = timer.Entries()[size_t(index)].record;
  char buf[64];
  std::snprintf(buf, sizeof buf, "entry %d  %s-%s  %.3f kHz  ", index + 1, Minute(r.extension[0]).c_str(),
                Minute(r.extension[1]).c_str(), r.rxFrq);
  return buf + std::string(r.name) + "  " + FrqDecoderText(r.decoder, -1, nullptr);
}

// Prints what a check did, the finish before the apply (one check can do both).
void Report(const CTimeScanner& timer, const TimerCheck& check, time_t now, CTimerUi& ui) {
  if (check.finished >= 0) {
    const int n = ui.TakeProducts();
    printf("%s  finished %s  (%d product%s saved)\n", ClockText(now).c_str(), EntryText(timer, check.finished).c_str(),
           n, n == 1 ? "" : "s");
  }
  if (check.reloaded) printf("%s  list read again for the new day\n", ClockText(now).c_str());
  if (check.applied >= 0 || check.failed >= 0) {
    ui.TakeProducts();  // saved before this entry began
    const int index = check.applied >= 0 ? check.applied : check.failed;
    printf("%s  %s %s\n", ClockText(now).c_str(), check.applied >= 0 ? "applied" : "could not apply",
           EntryText(timer, index).c_str());
  }
  fflush(stdout);
}

}  // namespace

int RunTimer(int argc, char** argv) {
  CArgs args({"--base", "--port", "--audio-in", "--clock", "--minutes", "--stations"}, {});
  if (!args.Parse(argc, argv)) return Fail(kSubject, args.Error());
  if (args.WantsHelp()) return fputs(kUsage, stdout), kExitOk;
  const std::vector<std::string>& pos = args.Positional();
  if (pos.size() != 2 || pos[0] != "run") {
    fputs(kUsage, stderr);
    return kExitUsage;
  }
  const std::string list = pos[1];
  if (!args.Has("--clock") || !args.Has("--minutes")) return Fail(kSubject, "--clock and --minutes are needed");
  const time_t start = ParseClock(args.Get("--clock"));
  if (start < 0) return Fail(kSubject, "--clock is YYYY-MM-DDTHH:MM (UTC)");
  double minutes = 0.0;
  if (!args.GetDouble("--minutes", 0.0, 1.0 / 60.0, kMaxMinutes, minutes)) return Fail(kSubject, args.Error());
  std::vector<CFrqRecord> entries;
  std::string why;
  if (!ReadFrqListFile(list, 1, entries, &why)) return Fail(kSubject, why);

  const std::string base = ChooseBaseFolder(args.Get("--base"), &why);
  if (base.empty()) return Fail(kSubject, why);

  // The schedule's clock: the start plus the audio captured so far.
  long long samples = 0;
  int rate = 0;
  auto now = [&] { return start + time_t(rate > 0 ? samples / rate : 0); };

  CMessageLoop loop;
  loop.SetOrphanHandler(DiscardAudioMessage);
  CLoopPageHost pages(loop);
  CTimerUi ui;
  CStationCore core;
  fprintf(stderr, "timer: base folder %s\n", base.c_str());
  core.SetClock(now);
  if (!core.Init(base, &ui, &pages)) return kExitUsage;
  rate = core.Settings().GetInt(kCfgSampleRate);
  StationOptions options;
  options.port = args.Get("--port", kSimPortName);
  options.audioIn = args.Get("--audio-in", kSimAudioFastName);
  options.audioOut = "null";
  options.simStations = args.Get("--stations");
  if (!core.Start(options)) {
    core.Shutdown();
    return kExitUsage;
  }
  if (!core.StartTimer(list)) {
    core.Shutdown();
    return kExitUsage;
  }
  printf("%s  timer list %s, %zu entries, for %g minutes\n", ClockText(start).c_str(), list.c_str(), entries.size(),
         minutes);
  const time_t end = start + time_t(minutes * 60.0);
  int code = 0;
  DWORD last_block = GetTickCount();
  Report(core.Timer(), core.CheckTimer(), now(), ui);
  while (now() < end) {
    MSG msg;
    if (loop.GetMessage(msg, kPollMs)) {
      if (msg.message == WM_QUIT) {
        code = int(msg.wParam);
        break;
      }
      if (msg.message == WM_AUDIOBLOCK && msg.wParam == 0 && msg.lParam) {
        samples += reinterpret_cast<const AudioBlock*>(msg.lParam)->count;
        last_block = GetTickCount();
      }
      loop.DispatchMessage(msg);
      Report(core.Timer(), core.CheckTimer(), now(), ui);
    } else if (GetTickCount() - last_block >= kSilentSourceMs) {
      fprintf(stderr, "kestrel: %s: the audio source delivers nothing, the clock stands still\n", kSubject);
      code = 1;
      break;
    }
  }
  if (core.Timer().EntryApplied()) {
    const int index = core.Timer().ActiveIndex();
    core.StopTimer();
    const int n = ui.TakeProducts();
    printf("%s  ended with the run: %s  (%d product%s saved)\n", ClockText(now()).c_str(),
           EntryText(core.Timer(), index).c_str(), n, n == 1 ? "" : "s");
  }
  core.StopTimer();
  core.Shutdown();
  loop.Pump();
  printf("%s  end of run\n", ClockText(now()).c_str());
  if (code) {
    const std::string status = AudioStatusText();
    fprintf(stderr, "kestrel: %s: %s\n", kSubject, status.empty() ? "stopped" : status.c_str());
  }
  return code ? kExitFailure : kExitOk;
}
