// kestrel rig: the receiver types, tuning a receiver over its serial port (or over the
// network, type 24), watching its S-meter and squelch, and running a simulated receiver
// on a pseudo-terminal.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "spl/platform/message_loop.h"
#include "spl/radio/radio.h"
#include "spl/radio/sim_receiver.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/command.h"

namespace {

constexpr DWORD kPollMs = 100;        // how often the tool looks for news and for Ctrl-C
constexpr DWORD kQueryEveryMs = 500;  // S-meter and squelch requests to receivers that answer
constexpr unsigned kPollTimer = 1;
constexpr unsigned kQueryTimer = 2;
constexpr int kLevelMax = 255;

volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) { g_interrupted = 1; }

void CatchInterrupt() {
  g_interrupted = 0;
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
}

const char* kUsage =
    "usage: kestrel rig types\n"
    "       kestrel rig --type N --port COMn|PATH|HOST:PORT [--power on|off] [--frq KHZ]\n"
    "                   [--mode MODE] [--ifw KHZ] [--att on|off] [--agc on|off] [--nb on|off]\n"
    "                   [--vol 0-255] [--sql 0-255] [--smeter]\n"
    "       kestrel rig simulate --type N [--signal 0-255]\n"
    "                   [--carriers KHZ:LEVEL[:HALFWIDTH],...] [--floor 0-255] [--noise 0-255]\n"
    "MODE is one of LSB USB CWN CW RTTY FAX AMN AM ASD ASF ASL ASU FM WFM; a frequency is\n"
    "tuned in the type's first mode when the current one is not among the type's own.\n"
    "Type 24 is rigctld (hamlib) reached over TCP: --port HOST:PORT (HOST alone: port 4532).\n"
    "--smeter prints S-meter and squelch changes until interrupted (Ctrl-C).\n"
    "simulate prints the pty path to give as --port, then every command it receives.\n"
    "With --carriers its S-meter follows the tuned frequency: LEVEL within HALFWIDTH kHz\n"
    "(default 0.4) of a carrier, elsewhere the --floor plus up to --noise.\n";

constexpr double kDefaultHalfWidthKHz = 0.4;

// "7010:180,7025.5:120:1.5" -> carriers; 0 with why set on a malformed list.
int ParseCarriers(const std::string& text, std::vector<SimCarrier>& out, std::string& why) {
  size_t at = 0;
  while (at <= text.size() && !text.empty()) {
    size_t end = text.find(',', at);
    std::string item = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    SimCarrier c{0, 0, kDefaultHalfWidthKHz};
    char tail = 0;
    int n = sscanf(item.c_str(), "%lf:%d:%lf%c", &c.kHz, &c.level, &c.halfWidthKHz, &tail);
    if ((n != 2 && n != 3) || !(c.kHz > 0) || c.level < 0 || c.level > kLevelMax ||
        !(c.halfWidthKHz >= 0)) {
      why = "--carriers wants KHZ:LEVEL[:HALFWIDTH] items (level 0-255), not \"" + item + "\"";
      return 0;
    }
    out.push_back(c);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return 1;
}

std::string LineText(const SerialLine& line) {
  static const char kParity[] = "NOE";
  static const char* const kStop[] = {"1", "1.5", "2"};
  return std::to_string(line.baud) + " " + std::to_string(line.dataBits) + kParity[line.parity] +
         kStop[line.stopBits];
}

std::string Capabilities(unsigned mask) {
  std::string text;
  for (int i = 0; i < kModeCount; ++i)
    if (mask & (1u << i)) text += (text.empty() ? "" : " ") + ModeName(1 << i);
  static const struct {
    unsigned bit;
    const char* name;
  } kControls[] = {{kCapAttenuator, "att"}, {kCapIFWidth, "ifw"}, {kCapVolume, "vol"},
                   {kCapSquelch, "sql"},    {kCapAGC, "agc"},     {kCapNB, "nb"}};
  std::string controls;
  for (const auto& c : kControls)
    if (mask & c.bit) controls += (controls.empty() ? "" : ",") + std::string(c.name);
  if (!controls.empty()) text += (text.empty() ? "" : "; ") + controls;
  return text.empty() ? "-" : text;
}

int Types() {
  printf("%-4s %-38s %-10s %-8s %s\n", "type", "command set", "line", "mask", "modes; controls");
  for (int i = 0; i < kReceiverTypeCount; ++i) {
    const ReceiverType& t = kReceiverTypes[i];
    const std::string line = t.defaultAddress ? "TCP" : LineText(t.line);
    printf("%-4d %-38s %-10s 0x%05X %s\n", t.type, t.name, line.c_str(), t.mask,
           Capabilities(t.mask).c_str());
  }
  return kExitOk;
}

int OnOff(const std::string& text, int& out) {
  if (text == "on" || text == "1") return out = 1, 1;
  if (text == "off" || text == "0") return out = 0, 1;
  return 0;
}

// A radio whose reports are stored by the reader thread and printed by the loop's thread.
class CWatchedRadio : public CRadio {
 public:
  ~CWatchedRadio() override { Exit(); }
  void SMeterChange(int value) override {
    std::lock_guard<std::mutex> lock(mutex_);
    smeter_ = value;
  }
  void SquelchChange(int open) override {
    std::lock_guard<std::mutex> lock(mutex_);
    squelch_ = open;
  }
  void PrintChanges() {
    int smeter, squelch;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      smeter = smeter_;
      squelch = squelch_;
    }
    if (smeter != shown_smeter_) printf("S-meter %d\n", smeter);
    if (squelch != shown_squelch_) printf("squelch %s\n", squelch ? "open" : "closed");
    if (smeter != shown_smeter_ || squelch != shown_squelch_) fflush(stdout);
    shown_smeter_ = smeter;
    shown_squelch_ = squelch;
  }

 private:
  std::mutex mutex_;
  int smeter_ = -1, squelch_ = -1;
  int shown_smeter_ = -1, shown_squelch_ = -1;
};

int Report(int result, const std::string& what, const CRadio& radio, int& refused) {
  if (result) {
    printf("%s: sent\n", what.c_str());
  } else {
    const std::string why = radio.RefusalText();
    fprintf(stderr, "kestrel: rig: receiver type %d refuses %s%s\n", radio.Type(), what.c_str(),
            why.empty() ? "" : (" (" + why + ")").c_str());
    refused = 1;
  }
  return result;
}

// A row without a single operation is a command set nobody has described.
bool Drivable(const ReceiverType& row) {
  const RadioOps& o = row.ops;
  return o.onOff || o.setFrq || o.setMode || o.setZFWidth || o.setAtt || o.setAGC || o.setNB ||
         o.setVolume || o.setSquelch || o.setPTT || o.getSMeter;
}

int Control(CArgs& args) {
  long type;
  if (!args.Has("--type")) return Fail("rig", "--type is required (see kestrel rig types)");
  if (!args.GetInt("--type", 0, kReceiverTypeFirst, kReceiverTypeLast, type))
    return Fail("rig", args.Error());
  const ReceiverType* row = FindReceiverType(int(type));
  if (!row || !Drivable(*row))
    return Fail("rig", "receiver type " + std::to_string(type) +
                           " has no known command set: it cannot be driven");
  if (!args.Has("--port"))
    return Fail("rig", row->defaultAddress ? "--port is required (HOST:PORT)"
                                           : "--port is required (COMn or a device path)");
  double frq = 0;
  long ifw = 0, vol = 0, sql = 0;
  int att = 0, agc = 0, nb = 0, power = 0, mode = 0;
  if (!args.GetDouble("--frq", 0, 0, 1e9, frq) || !args.GetInt("--ifw", 0, 0, 100000, ifw) ||
      !args.GetInt("--vol", 0, 0, kLevelMax, vol) || !args.GetInt("--sql", 0, 0, kLevelMax, sql))
    return Fail("rig", args.Error());
  if (args.Has("--mode") && !(mode = ModeFromName(args.Get("--mode"))))
    return Fail("rig", "unknown mode \"" + args.Get("--mode") + "\"");
  if (args.Has("--att") && !OnOff(args.Get("--att"), att))
    return Fail("rig", "--att wants on or off, not \"" + args.Get("--att") + "\"");
  if (args.Has("--agc") && !OnOff(args.Get("--agc"), agc))
    return Fail("rig", "--agc wants on or off, not \"" + args.Get("--agc") + "\"");
  if (args.Has("--nb") && !OnOff(args.Get("--nb"), nb))
    return Fail("rig", "--nb wants on or off, not \"" + args.Get("--nb") + "\"");
  if (args.Has("--power") && !OnOff(args.Get("--power"), power))
    return Fail("rig", "--power wants on or off, not \"" + args.Get("--power") + "\"");

  CMessageLoop loop;  // the keep-alive timer of the PCR types runs on it
  CWatchedRadio radio;
  radio.SetReceiver(int(type));
  if (!radio.Init(args.Get("--port"), 1)) {
    std::string device = radio.PortDevice().empty() ? args.Get("--port") : radio.PortDevice();
    return Fail(device, radio.PortError() == ENODEV && !radio.IsNetwork()
                            ? "no device for this port (COM1-COM8 are mapped; or give a path)"
                            : radio.PortErrorText());
  }
  int refused = 0;
  char text[64];
  if (args.Has("--power"))
    Report(radio.Radio_OnOff(power), power ? "power on" : "power off", radio, refused);
  if (args.Has("--mode"))
    Report(radio.Radio_SetMode(mode), "mode " + ModeName(mode), radio, refused);
  if (args.Has("--frq")) {
    // A type tunes only in its own modes: rather than have the frequency refused, the
    // receiver goes to the type's first mode.
    const int tuning = TuningMode(radio.CapabilityMask, radio.CurrentMode());
    if (tuning != radio.CurrentMode()) {
      // Named before the mode changes.
      const std::string what = "mode " + ModeName(tuning) + " (type " + std::to_string(type) + " has no " +
                               ModeName(radio.CurrentMode()) + ")";
      Report(radio.Radio_SetMode(tuning), what, radio, refused);
    }
    snprintf(text, sizeof text, "frequency %.3f kHz", frq);
    Report(radio.Radio_SetFrq(frq), text, radio, refused);
  }
  if (args.Has("--ifw"))
    Report(radio.Radio_SetZFWidth(int(ifw)), "IF width " + std::to_string(ifw) + " kHz", radio,
           refused);
  if (args.Has("--att"))
    Report(radio.Radio_SetAtt(att), att ? "attenuator on" : "attenuator off", radio, refused);
  if (args.Has("--agc"))
    Report(radio.Radio_SetAGC(agc), agc ? "AGC on" : "AGC off", radio, refused);
  if (args.Has("--nb"))
    Report(radio.Radio_SetNB(nb), nb ? "noise blanker on" : "noise blanker off", radio, refused);
  if (args.Has("--vol"))
    Report(radio.Radio_SetVolume(int(vol)), "volume " + std::to_string(vol), radio, refused);
  if (args.Has("--sql"))
    Report(radio.Radio_SetSquelch(int(sql)), "squelch " + std::to_string(sql), radio, refused);
  fflush(stdout);
  if (radio.Port() == 0)
    return Fail(radio.PortDevice(), "lost: " + radio.PortErrorText());

  if (args.Has("--smeter")) {
    if (!row->ops.parse) {
      fprintf(stderr, "kestrel: rig: receiver type %ld does not report its S-meter\n", type);
      return kExitFailure;
    }
    CatchInterrupt();
    loop.SetTimer(kPollTimer, kPollMs, [&] { radio.PrintChanges(); });
    loop.SetTimer(kQueryTimer, kQueryEveryMs, [&] {
      if (radio.IsNetwork()) {  // asked and answered: the answer calls SMeterChange
        radio.Radio_GetSMeter();
        return;
      }
      radio.TxCom("I1?\r\n", 5);
      radio.TxCom("I0?\r\n", 5);
    });
    while (!g_interrupted && radio.Port() != 0) loop.Run(kPollMs);
    radio.PrintChanges();
    if (radio.Port() == 0) return Fail(radio.PortDevice(), "lost: " + radio.PortErrorText());
  }
  return refused ? kExitFailure : kExitOk;
}

int Simulate(CArgs& args) {
  long type, signal, floor, noise;
  if (!args.Has("--type")) return Fail("rig simulate", "--type is required");
  if (!args.GetInt("--type", 0, kReceiverTypeFirst, kReceiverTypeLast, type) ||
      !args.GetInt("--signal", 0, 0, kLevelMax, signal) ||
      !args.GetInt("--floor", 0, 0, kLevelMax, floor) ||
      !args.GetInt("--noise", 0, 0, kLevelMax, noise))
    return Fail("rig simulate", args.Error());
  const ReceiverType* row = FindReceiverType(int(type));
  if (row && row->defaultAddress)
    return Fail("rig simulate", "type " + std::to_string(type) +
                                    " is reached over the network; hamlib's rigctld -m 1 "
                                    "plays a simulated one");
  std::vector<SimCarrier> carriers;
  std::string why;
  if (args.Has("--carriers") && !ParseCarriers(args.Get("--carriers"), carriers, why))
    return Fail("rig simulate", why);
  CSimReceiver sim;
  std::mutex out;
  sim.SetListener([&](const std::string& line) {
    std::lock_guard<std::mutex> lock(out);
    printf("%s\n", line.c_str());
    fflush(stdout);
  });
  if (!sim.Init(int(type)))
    return Fail("rig simulate", std::string("no pseudo-terminal: ") + strerror(errno));
  sim.SetSignal(int(signal));
  if (!carriers.empty() || floor || noise) sim.SetBand(carriers, int(floor), int(noise));
  {
    std::lock_guard<std::mutex> lock(out);
    printf("%s\n", sim.DevicePath().c_str());
    fflush(stdout);
  }
  CatchInterrupt();
  while (!g_interrupted) Sleep(kPollMs);
  return kExitOk;
}

}  // namespace

int RunRig(int argc, char** argv) {
  CArgs args({"--type", "--port", "--frq", "--mode", "--ifw", "--att", "--agc", "--nb", "--vol",
              "--sql", "--power",
              "--signal", "--carriers", "--floor", "--noise"},
             {"--smeter"});
  if (!args.Parse(argc, argv)) return Fail("rig", args.Error());
  if (args.WantsHelp()) {
    fputs(kUsage, stdout);
    return kExitOk;
  }
  const auto& words = args.Positional();
  if (words.size() == 1 && words[0] == "types") return Types();
  if (words.size() == 1 && words[0] == "simulate") return Simulate(args);
  if (!words.empty())
    return Fail("rig", "unknown word \"" + words[0] + "\" (see kestrel rig --help)");
  return Control(args);
}
