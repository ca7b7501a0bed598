// kestrel scan: steps a receiver through a frequency range with the scan procedure of the
// library (CScanControl over a CScanner), prints a line per step and the signals it held on,
// optionally records the held audio and saves the scan report. The demo's short scan of a
// simulated band lives here too.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/lists/frq_list_file.h"
#include "spl/audio/scan_recorder.h"
#include "spl/audio/sound_device.h"
#include "spl/dsp/audio_squelch.h"
#include "spl/platform/message_loop.h"
#include "spl/radio/radio.h"
#include "spl/radio/scan_control.h"
#include "spl/radio/scanner.h"
#include "spl/radio/sim_receiver.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/audio_loop.h"
#include "tools/kestrel/command.h"

namespace {

constexpr int kRate = 11025;
constexpr int kBlock = 1024;
constexpr int kBuffers = 64;
constexpr long kLevelMax = 255;
constexpr double kMaxKHz = 1e8;
constexpr long kMaxMs = 86400000;     // a day
constexpr long kDefaultHoldMs = 1000;  // hold on a signal without --record
constexpr DWORD kSMeterWaitMs = 500;   // for a receiver's answer to an S-meter query
// The S-meter query of the receivers that report one (types 12 and 22).
constexpr char kSMeterQuery[] = "I1?\r\n";

volatile std::sig_atomic_t g_stop = 0;
void OnInterrupt(int) { g_stop = 1; }

const char* kUsage =
    "usage: kestrel scan --type N --port COMn|PATH (--from KHZ --to KHZ --step HZ | --channels FILE.scl)\n"
    "                    [--dwell MS]\n"
    "                    [--hold MS] [--record MS --out FILE.wav] [--report FILE.scl]\n"
    "                    [--sweeps N] [--device NAME] [--fast] [--event smeter|audio]\n"
    "                    [--rsql 0-255] [--threshold 0-255] [--no-hold]\n"
    "  Prints a line per step (S-meter, audio level above the threshold, blocks measured)\n"
    "  and each signal it holds on. A signal is a non-zero S-meter value after the receiver\n"
    "  squelch offset (--rsql, 129 adds nothing, higher values take (rsql-129)*2 off) for\n"
    "  receivers that report an S-meter, else a non-zero audio level. The hold lasts --hold\n"
    "  (default 1000 ms; 0: while the signal lasts) or --record ms, recorded to --out.\n"
    "  Audio comes from --device (a sound device, \"null\", \"wav:FILE\"); without it the\n"
    "  scanner hears silence made in real time, or as fast as the receiver answers with\n"
    "  --fast (block times then run on a virtual clock). --sweeps: lines to scan (default 1).\n"
    "  --channels: scan the checked entries of a channel list (428-byte frequency records) in\n"
    "  list order, each tuned to its dial frequency with its mode and IF width. A file that is\n"
    "  not such a list (a scanner report, say, which shares the extension) is refused; the\n"
    "  report must not replace the channel list.\n";

// A receiver whose S-meter reports can be waited for.
class CSyncRadio : public CRadio {
 public:
  ~CSyncRadio() override { Exit(); }
  void SMeterChange(int) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++reports_;
    changed_.notify_all();
  }
  // Asks for the S-meter and waits for the answer; false when none came.
  bool QuerySMeter() {
    long long seen;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      seen = reports_;
    }
    if (IsNetwork()) Radio_GetSMeter();  // asked and answered in one call
    else if (!TxCom(kSMeterQuery, int(sizeof kSMeterQuery - 1))) return false;
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(kSMeterWaitMs),
                             [&] { return reports_ != seen; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  long long reports_ = 0;
};

// The scan procedure with its reports printed.
class CPrintedScan : public CScanControl {
 public:
  explicit CPrintedScan(bool quiet) : quiet_(quiet) {}
  void OnValue(int column, int line, float kHz, int smeter, int audio, int blocks) override {
    ++steps_;
    if (!quiet_)
      printf("step  line %d  column %4d  %12.3f kHz  S-meter %3d  audio %3d  blocks %d\n", line,
             column, kHz, smeter, audio, blocks);
  }
  void OnLineFinished(int) override { ++lines_; }
  void OnHold(const ScanEvent& e) override {
    if (!quiet_) printf("hold  %12.3f kHz  signal %d\n", e.kHz, e.value);
    fflush(stdout);
  }
  void OnRelease(const ScanEvent& e) override {
    if (!quiet_) printf("free  %12.3f kHz  after %d blocks\n", e.kHz, e.blocks);
  }
  int Lines() const { return lines_; }
  long long Steps() const { return steps_; }

 private:
  bool quiet_;
  int lines_ = 0;
  long long steps_ = 0;
};

struct ScanJob {
  int type = 0;
  std::string port;
  double fromKHz = 0, toKHz = 0, stepHz = 0;
  int dwellMs = 100, holdMs = int(kDefaultHoldMs);
  std::string out, report, device;
  int sweeps = 1;
  bool fast = false, quiet = false;
  ScanSettings settings;
  bool eventGiven = false;
  // A channel scan: dial frequencies (kHz), mode bits and IF widths (kHz), by column.
  std::vector<float> channels;
  std::vector<int> modes, widths;
};

// The channel table of a channel list. 0 after saying why.
int ReadChannels(const std::string& path, ScanJob& job) {
  std::vector<CFrqRecord> entries;
  std::string why;
  if (!ReadFrqListFile(path, 0, entries, &why)) return Fail("scan", why), 0;
  ChannelTable table = BuildChannelTable(entries);
  if (table.kHz.empty()) return Fail("scan", path + ": no checked channel"), 0;
  job.channels = std::move(table.kHz);
  job.modes = std::move(table.modes);
  job.widths = std::move(table.widths);
  return 1;
}

struct ScanResult {
  std::vector<ScanEvent> events;
  int lines = 0;
  long long steps = 0;
};

std::string Dirname(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Runs one scan; 0 on success, else the exit status (the message printed).
int RunScanJob(ScanJob job, ScanResult& result) {
  CMessageLoop loop;  // the keep-alive timer of the receivers that need one runs on it
  loop.SetOrphanHandler(DiscardAudioMessage);
  CSyncRadio radio;
  radio.SetReceiver(job.type);
  if (!radio.Init(job.port, 1)) {
    std::string device = radio.PortDevice().empty() ? job.port : radio.PortDevice();
    return Fail(device, radio.PortError() == ENODEV ? "no device for this port"
                                                    : strerror(radio.PortError()));
  }
  const ReceiverType* row = FindReceiverType(job.type);
  const bool has_smeter = row && row->ops.getSMeter;
  if (!job.eventGiven) job.settings.eventFromReceiver = has_smeter ? 1 : 0;

  CScanner scanner;
  CPrintedScan scan(job.quiet);
  if (!scan.Init(&scanner, &radio, kRate, kBlock)) return Fail("scan", "CScanner::Init error");
  // Without a sound card the blocks, and the line times, follow a clock of their own.
  const bool virtual_time = job.device.empty() && job.fast;
  const int32_t started = int32_t(std::time(nullptr));
  long long fed = 0;
  if (virtual_time)
    scanner.SetClock([&] { return int32_t(started + fed * kBlock / kRate); });
  scan.SetSettings(job.settings);
  if (!job.channels.empty()) {
    scanner.SetChannels(job.channels);
    scan.SetChannelModes(job.modes, job.widths);
  }

  CScanRecorder recorder;
  std::string record_dir;
  if (!job.out.empty()) {
    std::string tmpl = Dirname(job.out) + "/.kestrel-scan-XXXXXX";
    if (!mkdtemp(tmpl.data())) return Fail(job.out, std::string("cannot make a work folder: ") + strerror(errno));
    record_dir = tmpl;
    if (!recorder.Init(record_dir, kRate, kBlock)) {
      rmdir(record_dir.c_str());
      return Fail(job.out, "ScannRecord :: Open error: " + recorder.LastError());
    }
    scan.SetRecorder(&recorder);
  }
  auto finish_recording = [&]() -> int {
    if (record_dir.empty()) return 0;
    int ok = recorder.Close();
    std::string tmp = recorder.Path();
    int moved = ok && rename(tmp.c_str(), job.out.c_str()) == 0;
    if (!moved) unlink(tmp.c_str());
    rmdir(record_dir.c_str());
    record_dir.clear();
    return moved ? 0 : Fail(job.out, "cannot write the scan recording");
  };

  if (!scan.StartScan(job.fromKHz, job.toKHz, job.stepHz, job.dwellMs, job.holdMs)) {
    finish_recording();
    return Fail("scan", scan.Error());
  }
  if (!job.quiet && !job.channels.empty())
    printf("scan: %zu channels from %.3f kHz, dwell %d block(s) of %d ms, signal from %s\n", job.channels.size(),
           double(job.channels[0]), scan.DwellBlocks(), kBlock * 1000 / kRate,
           job.settings.eventFromReceiver ? "the S-meter" : "the audio");
  else if (!job.quiet)
    printf("scan: %.3f-%.3f kHz in %.0f Hz steps, %d columns, dwell %d block(s) of %d ms, "
           "signal from %s\n",
           scanner.Start(), scanner.Stop(), job.stepHz, scanner.GetXSize(), scan.DwellBlocks(),
           kBlock * 1000 / kRate, job.settings.eventFromReceiver ? "the S-meter" : "the audio");
  fflush(stdout);
  if (has_smeter) radio.QuerySMeter();

  g_stop = 0;
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  auto step = [&](const AudioBlock* block, int level) {
    scan.ProcessBlock(block, level);
    ++fed;
    if (has_smeter) radio.QuerySMeter();
    fflush(stdout);
  };
  auto done = [&] { return g_stop || scan.Lines() >= job.sweeps || radio.Port() == 0; };

  if (job.device.empty()) {
    AudioBlock* silence = nullptr;
    if (!NewAudioBlock(&silence, kBlock)) return Fail("scan", "out of memory");
    for (int i = 0; i < kBlock; ++i) silence->data[i] = 0.0f;
    MeasureAudioBlock(silence);
    auto t0 = std::chrono::steady_clock::now();
    while (!done()) {
      step(silence, 0);
      if (!job.fast)
        std::this_thread::sleep_until(t0 + std::chrono::microseconds(fed * kBlock * 1000000LL / kRate));
    }
    FreeAudioBlock(silence);
  } else {
    if (!InitAudio(&radio, 1, kRate, kBlock, kBuffers, job.device.c_str())) {
      std::string why = AudioErrorText();
      InitAudio(&radio, 0, kRate, kBlock, kBuffers);
      finish_recording();
      return Fail(job.device, "InitAudio error: " + why);
    }
    // The level of a captured block is the station's audio squelch level.
    CAudioSquelch squelch;
    squelch.Init(kRate, kBlock);
    CAudioLoopWindow window(loop, [&](const AudioBlock* b) {
      if (!done()) step(b, CAudioSquelch::Level(squelch.GetSpecDiff(b)));
    });
    Connect(window.Handle(), 0);
    RunAudioLoop(loop, window, done, 1000, false, false);
    DisConnect(window.Handle(), 0);
    InitAudio(&radio, 0, kRate, kBlock, kBuffers);
    loop.Pump();
  }
  scan.StopScan();
  if (radio.Port() == 0) {
    finish_recording();
    return Fail(radio.PortDevice(), std::string("lost: ") + strerror(radio.PortError()));
  }
  result.events = scan.Events();
  result.lines = scan.Lines();
  result.steps = scan.Steps();
  if (int status = finish_recording()) return status;
  if (!job.report.empty() && !scanner.SaveData(job.report.c_str()))
    return Fail(job.report, "cannot write the scan report");
  return 0;
}

void PrintSignals(const ScanResult& r) {
  std::vector<float> seen;
  for (const ScanEvent& e : r.events)
    if (std::find(seen.begin(), seen.end(), e.kHz) == seen.end()) seen.push_back(e.kHz);
  std::sort(seen.begin(), seen.end());
  printf("signals:");
  for (float f : seen) printf(" %.3f", f);
  printf("%s\n", seen.empty() ? " none" : " kHz");
  for (const ScanEvent& e : r.events)
    if (e.segment >= 0)
      printf("  event line %d column %d  %.3f kHz  %d blocks recorded from byte %d\n", e.line,
             e.column, e.kHz, e.blocks, e.start);
}

}  // namespace

int RunScan(int argc, char** argv) {
  CArgs args({"--type", "--port", "--from", "--to", "--step", "--channels", "--dwell", "--hold", "--record",
              "--out", "--report", "--sweeps", "--device", "--event", "--rsql", "--threshold"},
             {"--fast", "--no-hold", "--quiet"});
  if (!args.Parse(argc, argv)) return Fail("scan", args.Error());
  if (args.WantsHelp()) return fputs(kUsage, stdout), kExitOk;
  if (!args.Positional().empty())
    return Fail("scan", "unknown word \"" + args.Positional()[0] + "\" (see kestrel scan --help)");
  ScanJob job;
  long type, dwell, hold, record, sweeps, rsql, threshold;
  if (!args.Has("--type")) return Fail("scan", "--type is required (see kestrel rig types)");
  if (!args.Has("--port")) return Fail("scan", "--port is required (COMn or a device path)");
  const bool channels = args.Has("--channels");
  for (const char* needed : {"--from", "--to", "--step"}) {
    if (!channels && !args.Has(needed)) return Fail("scan", std::string(needed) + " is required");
    if (channels && args.Has(needed)) return Fail("scan", std::string(needed) + " and --channels exclude each other");
  }
  if (channels) {
    if (!ReadChannels(args.Get("--channels"), job)) return kExitUsage;
    std::error_code ec;
    if (args.Has("--report") && std::filesystem::equivalent(args.Get("--report"), args.Get("--channels"), ec))
      return Fail("scan", "the report would replace the channel list: keep reports in a folder of their own");
    job.fromKHz = *std::min_element(job.channels.begin(), job.channels.end());
    job.toKHz = *std::max_element(job.channels.begin(), job.channels.end());
  }
  if (!args.GetInt("--type", 0, kReceiverTypeFirst, kReceiverTypeLast, type) ||
      !args.GetDouble("--from", job.fromKHz, 0, kMaxKHz, job.fromKHz) ||
      !args.GetDouble("--to", job.toKHz, 0, kMaxKHz, job.toKHz) ||
      !args.GetDouble("--step", channels ? 1000 : 0, -kMaxKHz, kMaxKHz * 1000, job.stepHz) ||
      !args.GetInt("--dwell", 100, 0, kMaxMs, dwell) ||
      !args.GetInt("--hold", kDefaultHoldMs, 0, kMaxMs, hold) ||
      !args.GetInt("--record", 0, 0, kMaxMs, record) ||
      !args.GetInt("--sweeps", 1, 1, 1000000, sweeps) ||
      !args.GetInt("--rsql", 129, 0, kLevelMax, rsql) ||
      !args.GetInt("--threshold", 0, 0, kLevelMax, threshold))
    return Fail("scan", args.Error());
  if (!(job.stepHz > 0)) return Fail("scan", "--step must be above 0 Hz");
  if (job.toKHz < job.fromKHz)
    return Fail("scan", "the range runs backwards: --to is below --from");
  if (args.Has("--record") && !args.Has("--out"))
    return Fail("scan", "--record needs --out FILE.wav");
  if (args.Has("--event")) {
    std::string e = args.Get("--event");
    if (e != "smeter" && e != "audio") return Fail("scan", "--event wants smeter or audio");
    job.settings.eventFromReceiver = e == "smeter";
    job.eventGiven = true;
  }
  job.type = int(type);
  job.port = args.Get("--port");
  job.dwellMs = int(dwell);
  job.holdMs = int(args.Has("--record") ? record : hold);
  job.out = args.Get("--out");
  job.report = args.Get("--report");
  job.device = args.Get("--device");
  job.sweeps = int(sweeps);
  job.fast = args.Has("--fast");
  job.quiet = args.Has("--quiet");
  job.settings.receiverSquelch = int(rsql);
  job.settings.squelchThreshold = int(threshold);
  job.settings.stopOnSignal = args.Has("--no-hold") ? 0 : 1;
  ScanResult result;
  if (int status = RunScanJob(job, result)) return status;
  printf("scan: %d sweep(s), %lld steps, %zu hold(s)\n", result.lines, result.steps,
         result.events.size());
  PrintSignals(result);
  if (!job.report.empty()) printf("report: %s\n", job.report.c_str());
  if (!job.out.empty()) printf("recording: %s\n", job.out.c_str());
  return kExitOk;
}

// The demo's scan: a simulated receiver with three carriers over a noise floor, one sweep.
int RunScanDemo() {
  const std::vector<SimCarrier> carriers = {{7005.0, 170, 0.4}, {7017.0, 120, 0.4},
                                            {7024.0, 200, 0.4}};
  CSimReceiver sim;
  if (!sim.Init(12)) return Fail("demo", std::string("no pseudo-terminal: ") + strerror(errno));
  sim.SetBand(carriers, 30, 8);
  printf("demo: scanning 7000-7030 kHz in 1 kHz steps on a simulated receiver (type 12, %s);\n"
         "      carriers at 7005, 7017 and 7024 kHz over a noise floor of 30-38\n",
         sim.DevicePath().c_str());
  ScanJob job;
  job.type = 12;
  job.port = sim.DevicePath();
  job.fromKHz = 7000;
  job.toKHz = 7030;
  job.stepHz = 1000;
  job.holdMs = 300;
  job.fast = true;
  job.quiet = true;
  job.settings.receiverSquelch = 129 + 25;  // takes 50 off the S-meter: the floor reads 0
  ScanResult result;
  if (int status = RunScanJob(job, result)) return status;
  printf("demo: scan of %lld steps, ", result.steps);
  PrintSignals(result);
  return result.events.size() == carriers.size() ? kExitOk : kExitFailure;
}
