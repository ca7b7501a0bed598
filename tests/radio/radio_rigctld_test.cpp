// Receiver type 24, rigctld over TCP: against hamlib's own daemon driving its dummy rig
// (read back through the daemon's protocol), and against a scripted peer for exact command lines, error answers, silence and hang-ups.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "spl/platform/tcp_port.h"
#include "spl/radio/receiver_handlers.h"
#include "tests/common/signal_test_util.h"
#include "tests/radio/radio_test_util.h"
#include "tests/radio/rigctld_daemon.h"

namespace {

using rigctld_test::CRigctldDaemon;
using rigctld_test::PickFreePort;

sigtest::ToolResult Rig(const std::string& args) { return sigtest::RunTool("rig " + args); }

// hamlib's daemon on its dummy rig, on a free local port, for one test.
class Rigctld : public ::testing::Test {
 protected:
  void SetUp() override {
    if (CRigctldDaemon::Program().empty())
      GTEST_SKIP() << "rigctld (Debian package libhamlib-utils) is not installed";
    port_ = daemon_.Start();
    ASSERT_NE(port_, 0) << "rigctld did not start listening";
  }
  void TearDown() override {
    radio.Exit();
    daemon_.Stop();
  }
  void Connect(int reader) {
    radio.SetReceiver(24);
    ASSERT_EQ(radio.Init("localhost:" + std::to_string(port_), reader), 1)
        << radio.PortDevice() << ": " << radio.PortErrorText();
  }

  CRigctldDaemon daemon_;
  int port_ = 0;
  CRadio radio;
};

TEST_F(Rigctld, EverySetterReachesTheDummyRig) {
  for (int reader = 1; reader >= 0; --reader) {  // answers read by the reader thread, or inline
    SCOPED_TRACE(reader ? "reader thread" : "no reader thread");
    Connect(reader);
    EXPECT_EQ(radio.Port(), port_);
    EXPECT_EQ(radio.PortDevice(), "localhost:" + std::to_string(port_));
    // Each setting read back from the daemon: the mode carries the passband (the IF width
    // set, or a narrow mode's own), levels 0..255 are rigctld's 0..1, the attenuator takes the
    // dummy's first step (10 of 10, 20, 30 dB) and the AGC the level it lists (AUTO).
    const struct {
      RadioOp op;
      double value;
      const char* ask;  // "" asks nothing
      std::vector<std::string> answer;
    } steps[] = {
        {kFrq, 7055.5, "f", {"7055500"}},       {kFrq, 145500.125, "f", {"145500125"}},
        {kMode, kModeUSB, "", {}},              {kWidth, 3, "m", {"USB", "3000"}},
        {kMode, kModeCWN, "m", {"CW", "500"}},  {kMode, kModeAM, "m", {"AM", "3000"}},
        {kWidth, 6, "m", {"AM", "6000"}},       {kMode, kModeWFM, "", {}},
        {kVol, 255, "l AF", {"1.000000"}},      {kVol, 128, "l AF", {"0.502000"}},
        {kSql, 64, "l SQL", {"0.251000"}},      {kSql, 0, "l SQL", {"0.000000"}},
        {kAtt, 1, "l ATT", {"10"}},             {kAtt, 0, "l ATT", {"0"}},
        {kAgc, 1, "l AGC", {"6"}},              {kAgc, 0, "l AGC", {"0"}},
        {kNb, 1, "u NB", {"1"}},                {kNb, 0, "u NB", {"0"}},
    };
    for (const auto& st : steps) {
      ASSERT_EQ(DoRadioOp(radio, st.op, st.value), 1) << st.op << " " << radio.RefusalText();
      if (*st.ask) {
        EXPECT_EQ(daemon_.Ask(st.ask, st.answer.size()), st.answer) << st.op;
      }
    }
    EXPECT_EQ(radio.Radio_SetMode(kModeASF), 0);  // no name for it in rigctld
    EXPECT_EQ(daemon_.Mode(), "WFM");
    EXPECT_EQ(radio.RefusalText(), "");
    EXPECT_NE(radio.Port(), 0);
    radio.Exit();
    daemon_.Settle();
  }
}

class CSMeterRadio : public CRadio {
 public:
  ~CSMeterRadio() override { Exit(); }
  void SMeterChange(int value) override {
    std::lock_guard<std::mutex> lock(mutex);
    reports.push_back(value);
  }
  std::mutex mutex;
  std::vector<int> reports;
};

TEST_F(Rigctld, SMeterIsTheStrengthOnTheStationScale) {
  CSMeterRadio meter;
  meter.SetReceiver(24);
  ASSERT_EQ(meter.Init("localhost:" + std::to_string(port_), 1), 1);
  // The dummy's strength wanders by a dB or two a reading, from about S0 (-54 dB) upwards:
  // every value read is what the daemon reports now, on the station's scale.
  constexpr int kWanderDb = 10;
  constexpr int kUnitsPerDb = 255 / (60 + 54) + 1;
  for (int i = 0; i < 3; ++i) {
    const int value = meter.Radio_GetSMeter();
    {
      std::lock_guard<std::mutex> lock(meter.mutex);
      ASSERT_EQ(meter.reports.size(), size_t(i + 1));
      EXPECT_EQ(meter.reports.back(), value);
    }
    const int db = atoi(daemon_.AskOne("l STRENGTH").c_str());
    EXPECT_NEAR(value, RadioHandlers::RigctldSMeterValue(db), kWanderDb * kUnitsPerDb)
        << db << " dB over S9";
  }
}

TEST_F(Rigctld, ToolTunesTheDummyRig) {
  const std::string address = "localhost:" + std::to_string(port_);
  auto run = Rig("--type 24 --port " + address + " --frq 7055.5 --mode USB");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("mode USB: sent"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("frequency 7055.500 kHz: sent"), std::string::npos) << run.out;
  EXPECT_EQ(daemon_.AskOne("f"), "7055500");
  EXPECT_EQ(daemon_.Mode(), "USB");
}

// ---- a scripted peer ----------------------------------------------------------------------

// Listens on a free local port, takes one connection and answers each command line from a
// script (no entry: silence; "CLOSE": hangs up). Every line received is kept.
class CScriptedPeer {
 public:
  explicit CScriptedPeer(std::map<std::string, std::string> script) : script_(std::move(script)) {
    listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        listen(listen_fd_, 1) != 0 ||
        getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
      return;
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~CScriptedPeer() {
    shutdown(listen_fd_, SHUT_RDWR);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (conn_fd_ >= 0) shutdown(conn_fd_, SHUT_RDWR);
    }
    if (thread_.joinable()) thread_.join();
    close(listen_fd_);
  }
  int Port() const { return port_; }
  std::vector<std::string> Received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }

 private:
  void Serve() {
    int fd = accept(listen_fd_, nullptr, nullptr);
    if (fd < 0) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      conn_fd_ = fd;
    }
    std::string text;
    char buffer[256];
    bool open = true;
    while (open) {
      ssize_t n = recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      text.append(buffer, size_t(n));
      size_t nl;
      while (open && (nl = text.find('\n')) != std::string::npos) {
        std::string line = text.substr(0, nl);
        text.erase(0, nl + 1);
        {
          std::lock_guard<std::mutex> lock(mutex_);
          received_.push_back(line);
        }
        auto it = script_.find(line);
        if (it == script_.end()) continue;
        if (it->second == "CLOSE") {
          open = false;
          break;
        }
        if (send(fd, it->second.data(), it->second.size(), MSG_NOSIGNAL) < 0) open = false;
      }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    close(fd);
    conn_fd_ = -1;
  }

  std::map<std::string, std::string> script_;
  int listen_fd_ = -1;
  int conn_fd_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> received_;
};

TEST(RigctldPeer, CommandLinesByteForByte) {
  const std::string caps =
      "Caps dump for model: 9\nAttenuator: 12dB 24dB\nAGC levels: 0=OFF 2=FAST 3=SLOW\nRPRT 0\n";
  CScriptedPeer peer({{"F 7055500", "RPRT 0\n"},
                      {"M USB 0", "RPRT 0\n"},
                      {"M CW 500", "RPRT 0\r\n"},  // a line end with CR counts the same
                      {"M USB 2000", "RPRT 0\n"},
                      {"L AF 0.502", "RPRT 0\n"},
                      {"L SQL 1.000", "RPRT 0\n"},
                      {"U NB 1", "RPRT 0\n"},
                      {"L ATT 0", "RPRT 0\n"},
                      {"L AGC 0", "RPRT 0\n"},
                      {"\\dump_caps", caps},
                      {"L ATT 12", "RPRT 0\n"},
                      {"L AGC 2", "RPRT 0\n"}});
  ASSERT_NE(peer.Port(), 0);
  CRadio radio;
  radio.SetReceiver(24);
  ASSERT_EQ(radio.Init("127.0.0.1:" + std::to_string(peer.Port()), 1), 1) << radio.PortErrorText();
  // In this order (a braced list is evaluated left to right); the capabilities are read once,
  // for the attenuator and the AGC both.
  EXPECT_EQ((std::vector<int>{radio.Radio_SetFrq(7055.5), radio.Radio_SetMode(kModeUSB),
                              radio.Radio_SetMode(kModeCWN), radio.Radio_SetMode(kModeUSB),
                              radio.Radio_SetZFWidth(2), radio.Radio_SetVolume(128),
                              radio.Radio_SetSquelch(255), radio.Radio_SetNB(1),
                              radio.Radio_SetAtt(0), radio.Radio_SetAGC(0), radio.Radio_SetAtt(1),
                              radio.Radio_SetAGC(1)}),
            std::vector<int>(12, 1));
  EXPECT_EQ(radio.RefusalText(), "");
  radio.Exit();
  EXPECT_EQ(peer.Received(),
            (std::vector<std::string>{"F 7055500", "M USB 0", "M CW 500", "M USB 0", "M USB 2000",
                                      "L AF 0.502", "L SQL 1.000", "U NB 1", "L ATT 0", "L AGC 0",
                                      "\\dump_caps", "L ATT 12", "L AGC 2"}));
}

TEST(RigctldPeer, ErrorsAreReportedAndNothingHangs) {
  CScriptedPeer peer({{"F 7055500", "RPRT -11\n"},
                      {"M FAX 0", "RPRT -9\n"},
                      {"l STRENGTH", "RPRT -4\n"},
                      {"F 7000000", "RPRT 0\n"},
                      {"U NB 1", "CLOSE"}});
  CRadio radio;
  radio.SetReceiver(24);
  ASSERT_EQ(radio.Init("127.0.0.1:" + std::to_string(peer.Port()), 1), 1);
  EXPECT_EQ(radio.Radio_SetFrq(7055.5), 0);
  EXPECT_EQ(radio.RefusalText(), "rigctld answers RPRT -11: not available on this receiver");
  EXPECT_EQ(radio.Radio_SetMode(kModeFAX), 0);
  EXPECT_EQ(radio.RefusalText(), "rigctld answers RPRT -9: refused by the receiver");
  EXPECT_EQ(radio.Radio_GetSMeter(), 0);
  EXPECT_NE(radio.RefusalText().find("RPRT -4"), std::string::npos);
  // An error answer keeps the connection: the next command goes through.
  EXPECT_NE(radio.Port(), 0);
  EXPECT_EQ(radio.Radio_SetFrq(7000.0), 1);
  EXPECT_EQ(radio.RefusalText(), "");
  // The peer hangs up instead of answering: refused at once, and disconnected.
  EXPECT_EQ(radio.Radio_SetNB(1), 0);
  EXPECT_EQ(radio.RefusalText(), "rigctld closed the connection");
  EXPECT_EQ(radio.Port(), 0);
}

TEST(RigctldPeer, SilenceEndsTheConnection) {
  CScriptedPeer peer(std::map<std::string, std::string>{});  // answers nothing
  CRadio radio;
  radio.SetReceiver(24);
  ASSERT_EQ(radio.Init("127.0.0.1:" + std::to_string(peer.Port()), 1), 1);
  EXPECT_EQ(radio.Radio_SetFrq(7055.5), 0);
  EXPECT_EQ(radio.Port(), 0);
  EXPECT_EQ(radio.PortError(), ETIMEDOUT);
  EXPECT_NE(radio.RefusalText().find("no answer from rigctld"), std::string::npos);
  // Disconnected, later commands are not sent and count as handed over (as on a serial line).
  EXPECT_EQ(radio.Radio_SetMode(kModeUSB), 1);
  EXPECT_EQ(peer.Received(), (std::vector<std::string>{"F 7055500"}));
}

TEST(RigctldPeer, SMeterScale) {
  // STRENGTH is dB over S9: S0 = -54 dB gives 0, S9 121, S9+60 dB 255, clamped beyond.
  const int scale[][2] = {{-80, 0}, {-54, 0}, {-48, 13}, {0, 121}, {60, 255}, {75, 255}};
  for (const auto& [db, value] : scale) EXPECT_EQ(RadioHandlers::RigctldSMeterValue(db), value) << db;
  CScriptedPeer peer(std::map<std::string, std::string>{{"l STRENGTH", "20\n"}});
  CRadio radio;
  radio.SetReceiver(24);
  ASSERT_EQ(radio.Init("127.0.0.1:" + std::to_string(peer.Port()), 0), 1);
  EXPECT_EQ(radio.Radio_GetSMeter(), 166);  // S9+20 dB
}

TEST(RigctldPeer, RefusedConnectionIsReportedClearly) {
  const int closed = PickFreePort();  // nothing listens there
  CRadio radio;
  radio.SetReceiver(24);
  EXPECT_EQ(radio.Init("127.0.0.1:" + std::to_string(closed), 1), 0);
  EXPECT_EQ(radio.PortError(), ECONNREFUSED);
  EXPECT_EQ(radio.PortErrorText(), "Connection refused");
  EXPECT_EQ(radio.PortDevice(), "127.0.0.1:" + std::to_string(closed));
  EXPECT_EQ(radio.Port(), 0);
  EXPECT_EQ(radio.Init("localhost:notaport", 1), 0);
  EXPECT_EQ(radio.PortError(), EINVAL);

  auto run = Rig("--type 24 --port localhost:" + std::to_string(closed) + " --frq 7055.5");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.out.find("kestrel: localhost:" + std::to_string(closed) + ": Connection refused"),
            std::string::npos)
      << run.out;
}

// ---- the types' own modes ---------------------------------------------------------------

TEST(TuningModes, AFrequencyIsTunedInTheTypesFirstModeWhenTheCurrentOneIsNotItsOwn) {
  const uint32_t type22 = FindReceiverType(22)->mask;
  EXPECT_EQ((std::vector<int>{TuningMode(type22, kModeUSB), TuningMode(type22, kModeFM),
                              TuningMode(type22, kModeWFM), TuningMode(type22, kModeAM | kModeFM)}),
            (std::vector<int>{kModeAM, kModeFM, kModeWFM, kModeAM}));
  EXPECT_EQ(TuningMode(FindReceiverType(12)->mask, kModeUSB), kModeUSB);
  EXPECT_EQ(TuningMode(FindReceiverType(2)->mask, kModeUSB), kModeUSB);  // tunes without modes

  // The tool on the simulated type 22: no refusal, the receiver ends in AM on the frequency.
  CSimReceiver sim;
  ASSERT_EQ(sim.Init(22), 1);
  auto run = Rig("--type 22 --port " + sim.DevicePath() + " --frq 145500");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("mode AM (type 22 has no USB): sent"), std::string::npos) << run.out;
  ASSERT_EQ(sim.WaitReceived(36, kWaitMs), 1);
  auto got = sim.Received();
  EXPECT_EQ(std::string(got.begin(), got.end()), "K00010000000020000K00145500000020000");
  EXPECT_EQ(sim.State().mode, kModeAM);
  EXPECT_DOUBLE_EQ(sim.State().frqKHz, 145500.0);
  EXPECT_TRUE(sim.Faults().empty());
  // A mode of its own stays.
  sim.Clear();
  run = Rig("--type 22 --port " + sim.DevicePath() + " --mode FM --frq 145500");
  EXPECT_EQ(run.status, 0) << run.out;
  ASSERT_EQ(sim.WaitReceived(36, kWaitMs), 1);
  EXPECT_EQ(sim.State().mode, kModeFM);
}

TEST(TuningModes, Type21IsRefusedWithItsReason) {
  EXPECT_EQ(FindReceiverType(21)->mask, 0u);
  auto run = Rig("--type 21 --port COM1 --frq 7055.5");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.out.find("receiver type 21 has no known command set: it cannot be driven"),
            std::string::npos)
      << run.out;
}

}  // namespace
