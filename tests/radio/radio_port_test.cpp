// The connection: port names and the COM table, busy and missing devices, line settings
// reaching the device, the reader restarting, and a port that vanishes under the radio.
#include <cerrno>
#include <cstring>

#include "spl/platform/com_ports.h"
#include "tests/radio/radio_test_util.h"

namespace {

// Puts the default COM table back whatever a test did to it.
class ComTable : public ::testing::Test {
 protected:
  void TearDown() override { ResetComPortDevices(); }
};

TEST_F(ComTable, NamesAndPaths) {
  EXPECT_EQ(ComPortDevice(5), "/dev/ttyUSB0");
  EXPECT_EQ(ComPortFromName("com12"), 12);
  for (const char* bad : {"COM0", "COM256", "COM3x", "COM", "ttyS0"})
    EXPECT_EQ(ComPortFromName(bad), 0) << bad;
  EXPECT_EQ(ComPortFromName("/dev/ttyUSB1"), 6);  // already in the table
  int n = ComPortFromName("/dev/serial/by-id/radio");
  EXPECT_GE(n, kComPortFirstPath);
  EXPECT_EQ(ComPortFromName("/dev/serial/by-id/radio"), n);  // same path, same number
  EXPECT_EQ(ComPortDevice(n), "/dev/serial/by-id/radio");
  EXPECT_EQ(SetComPortDevice(1, "/dev/ttyACM0"), 1);
  EXPECT_EQ(ComPortDevice(1), "/dev/ttyACM0");
  EXPECT_EQ(SetComPortDevice(0, "/dev/x"), 0);
  EXPECT_EQ(SetComPortDevice(256, "/dev/x"), 0);
}

TEST_F(ComTable, MissingBusyAndNotATerminal) {
  CRadio radio;
  radio.SetReceiver(3);
  EXPECT_EQ(radio.Init("/dev/kestrel-no-such-port", 1), 0);
  EXPECT_EQ(radio.PortDevice(), "/dev/kestrel-no-such-port");
  EXPECT_EQ(radio.PortError(), ENOENT);
  EXPECT_EQ(radio.Port(), 0);
  EXPECT_EQ(radio.Init("/dev/null", 1), 0);
  EXPECT_EQ(radio.PortError(), ENOTTY);
  EXPECT_EQ(radio.Init("nonsense", 1), 0);

  CSimReceiver sim;
  ASSERT_EQ(sim.Init(3), 1);
  ASSERT_EQ(radio.Init(sim.DevicePath(), 1), 1);
  CRadio second;
  second.SetReceiver(3);
  EXPECT_EQ(second.Init(sim.DevicePath(), 1), 0);
  EXPECT_EQ(second.PortError(), EBUSY);
  EXPECT_EQ(second.PortDevice(), sim.DevicePath());
  radio.Exit();
  EXPECT_EQ(second.Init(sim.DevicePath(), 1), 1);  // free again once closed
}

TEST_F(ComTable, PortZeroSearchesCom1ToCom4) {
  CSimReceiver sim;
  ASSERT_EQ(sim.Init(9), 1);
  for (int p = 1; p <= 4; ++p) SetComPortDevice(p, "/dev/kestrel-no-such-port");
  CRadio radio;
  radio.SetReceiver(9);
  EXPECT_EQ(radio.Init(0, 1), 0);
  EXPECT_EQ(radio.Port(), 0);
  SetComPortDevice(3, sim.DevicePath());
  ASSERT_EQ(radio.Init(0, 1), 1);
  EXPECT_EQ(radio.Port(), 3);
  ASSERT_EQ(radio.Radio_SetMode(kModeCW), 1);
  ASSERT_EQ(sim.WaitCommands(1, kWaitMs), 1);
  EXPECT_EQ(sim.Commands()[0], "mode CW");
  SetComPortDevice(5, sim.DevicePath());
  CRadio byNumber;
  byNumber.SetReceiver(9);
  EXPECT_EQ(byNumber.Init(5, 1), 0);  // the same device, held by the first radio
  EXPECT_EQ(byNumber.PortError(), EBUSY);
}

using Connection = RadioOnPty;

TEST_F(Connection, LineSettingsReachTheDevice) {
  for (int type : {1, 3, 6, 12}) {
    SCOPED_TRACE(type);
    Connect(type);
    SerialLine line;
    ASSERT_EQ(sim.Line(line), 1);
    EXPECT_EQ(line.baud, radio.Line().baud);
    EXPECT_EQ(line.stopBits, radio.Line().stopBits);
    // The stored settings stay; SetBaud changes only the open line.
    ASSERT_EQ(radio.SetBaud(19200, 8, 0, 0), 1);
    ASSERT_EQ(sim.Line(line), 1);
    EXPECT_EQ(line.baud, 19200);
    EXPECT_EQ(line.stopBits, 0);
    EXPECT_NE(radio.Line().baud, 19200);
    radio.Exit();
  }
}

TEST_F(Connection, InitAgainKeepsThePortAndRestartsTheReader) {
  Connect(12, 0);
  const std::string port = sim.DevicePath();
  EXPECT_EQ(radio.Init(port, 1), 1);  // open already: the reader starts now
  sim.SetSignal(0x42);
  ASSERT_EQ(radio.TxCom("I1?\r\n", 5), 1);
  for (int i = 0; i < 500 && radio.Radio_GetSMeter() != 0x42; ++i) Sleep(2);
  EXPECT_EQ(radio.Radio_GetSMeter(), 0x42);
  EXPECT_EQ(radio.Init(port, 0), 1);  // and stops again
  EXPECT_EQ(radio.Init(port, 1), 1);
}

TEST_F(Connection, PttAndModemLinesOnAPty) {
  // Pseudo-terminals have no modem lines; the calls must neither fail the radio nor send.
  Connect(3);
  Expect({{kPtt, 1, ""}, {kPtt, 0, ""}});
  radio.SerialMode(kSerialRtsOffDtrOff);
  radio.SerialMode(12345);
  Expect({{kMode, kModeAM, "MU4\r"}});  // still working
}

TEST_F(Connection, PortVanishing) {
  Connect(12);
  sim.Hangup();  // the pty closes under the radio; the reader sees it go
  EXPECT_EQ(radio.TxCom("H101", 4), 0);
  EXPECT_EQ(radio.Port(), 0);
  EXPECT_EQ(radio.PortError(), EIO);
  // Disconnected: later commands are accepted and go nowhere, as without a port.
  EXPECT_EQ(radio.TxCom("H101", 4), 1);
  EXPECT_EQ(radio.Radio_SetVolume(10), 1);
  radio.Exit();  // the reader has ended; this returns
  // A new receiver on a new pty connects again.
  Connect(12);
  Expect({{kAtt, 1, "J4701"}});
}

TEST_F(Connection, WriteTimesOutWhenTheReceiverStopsReading) {
  // A receiver that takes nothing: the pty fills, the write gives up after 3 s and the
  // radio disconnects. (The one slow test: it checks the time-out exists, not its length.)
  Connect(3);
  sim.Pause(true);
  std::string block(4096, 'x');
  int result = 1;
  for (int i = 0; i < 64 && result; ++i) result = radio.TxCom(block.data(), int(block.size()));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(radio.PortError(), ETIMEDOUT);
  EXPECT_EQ(radio.Port(), 0);
  sim.Pause(false);
  sim.Clear();
}

}  // namespace
