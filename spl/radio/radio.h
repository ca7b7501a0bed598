// CRadio drives a communications receiver over one serial port, or over one TCP connection
// for a receiver type reached over the network (a control daemon such as rigctld): it owns
// the port, a reader thread that hands every received byte to InChar, and the operation
// table of the chosen receiver type (see receiver_table.h). Frequencies are kHz, modes are
// single mode bits, IF widths are whole kHz, volume and squelch 0..255.
//
// Threads. The Radio_... operations and TxCom run on the caller's thread and block until
// their bytes have left the driver (at most kWriteTimeoutMs) plus the pauses some receiver
// types need. InChar, SMeterChange and SquelchChange run on the reader thread; overrides
// must only store the value and ask for a redraw. The keep-alive of types 12 and 22 is a
// timer of the CMessageLoop that is current on the thread calling SetReceiver: it runs on
// that thread whenever its loop dispatches. When that thread has no loop, no timer is made
// and the receiver is not kept alive automatically; the owner may then call
// Radio_KeepAlive itself every KeepAlivePeriod() ms. The loop must outlive the timer, i.e.
// the next SetReceiver or the destruction of the CRadio, or be destroyed on its own thread.
//
// A derived class that overrides the callbacks must call Exit() in its destructor, so that
// the reader thread has ended before the derived part goes away.
//
// Network receivers answer every command: their operations wait for the answer (at most
// kAnswerTimeoutMs) and return 0 when it is an error, with RefusalText() saying why. An
// answer that does not come in time drops the connection (Port() = 0, ETIMEDOUT), since
// later answers could no longer be matched to their commands.
#pragma once
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

#include "spl/platform/kernel.h"
#include "spl/platform/serial_port.h"
#include "spl/platform/tcp_port.h"
#include "spl/radio/receiver_table.h"

class CMessageLoop;
struct RadioHandlers;

constexpr DWORD kKeepAlivePeriodMs = 7000;
constexpr DWORD kWriteTimeoutMs = 3000;
constexpr DWORD kReaderStartTimeoutMs = 5000;
constexpr DWORD kReaderStopTimeoutMs = 1000;
constexpr int kReplyBufferSize = 256;
constexpr int kComPortsSearched = 4;  // Init with port 0 tries COM1..COM4
constexpr DWORD kConnectTimeoutMs = 3000;  // a network receiver's connection
constexpr DWORD kAnswerTimeoutMs = 3000;   // a network receiver's answer to one command

// SerialMode arguments: the two modem control lines.
constexpr int kSerialRtsOnDtrOff = int(0x80000001u);
constexpr int kSerialRtsOffDtrOn = int(0x80000002u);
constexpr int kSerialRtsOffDtrOff = int(0x80000003u);
constexpr int kSerialRtsOnDtrOn = int(0x80000004u);

class CRadio {
 public:
  CRadio();
  virtual ~CRadio();
  // The port, the reader thread and the timer cannot be shared by two objects.
  CRadio(const CRadio&) = delete;
  CRadio& operator=(const CRadio&) = delete;

  // Binds the operations, line settings and capability mask of a receiver type (1..24; any
  // other value leaves no operation bound, mask 0, 9600 baud 8N1) and (re)starts the
  // keep-alive timer. An open port keeps its line settings until the next Init or SetBaud.
  void SetReceiver(int type);
  int Type() const { return type_; }

  // Connects: port 1..255 opens COMport (see com_ports.h), port 0 tries COM1..COM4 and keeps
  // the first that opens. reader != 0 starts the reader thread. 1, or 0 when no port opens
  // (PortDevice() and PortError() then tell which device failed and the errno why). With a
  // port already open: 1, the connection stays and the reader follows the new flag (a link
  // of the other kind, serial for a network type or the reverse, is closed and replaced).
  // A network type connects to its default address here.
  int Init(int port, int reader);
  // The same with a name: "COM3" or a device path such as "/dev/ttyUSB0" or a pty. A
  // network receiver type takes "host:port" instead ("": the type's default address) and
  // connects within kConnectTimeoutMs; PortDevice() is then "host:port".
  int Init(const std::string& port, int reader);
  // Stops the keep-alive timer and the reader and closes the port.
  void Exit();

  // Sends raw bytes. 1 when they left the driver, or without sending when no port is
  // connected; 0 when the write failed or timed out, which also disconnects (Port() = 0).
  int TxCom(const char* data, int length);
  int TxCom(const unsigned char* data, int length);
  // Changes the open port's line settings after its queues have emptied (the stored
  // settings stay). 1, or 0 without an open port or when the driver refuses.
  int SetBaud(int baud, int dataBits, int parity, int stopBits);
  // Sets RTS and DTR: one of the kSerial... values; anything else does nothing.
  void SerialMode(int mode);

  // Packed BCD, least significant digit pair first; digits rounded up to even, only the
  // low digits of value are kept; value < 0 counts as 0. Returns the bytes written.
  static int MakeBCDRevers(int value, int digits, unsigned char* out);
  // Packed BCD, most significant first; an odd count leaves the first high nibble 0.
  static int MakeBCD(int value, int digits, unsigned char* out);

  // Receiver operations: 0 when the type lacks the operation or refuses the value (out of
  // range, a mode or width it does not have); 1 when the command was handed to the port.
  int Radio_OnOff(int on);
  int Radio_SetFrq(double kHz);
  int Radio_SetMode(int mode);
  int Radio_SetZFWidth(int kHz);
  int Radio_SetAtt(int on);
  int Radio_SetAGC(int on);
  int Radio_SetNB(int on);
  int Radio_SetVolume(int level);   // 0..255
  int Radio_SetSquelch(int level);  // 0..255
  int Radio_SetPTT(int on);
  // The last S-meter value reported by the receiver (0..255); 0 for types without one.
  int Radio_GetSMeter();
  // Runs the keep-alive procedure once; 0 when the type has none.
  int Radio_KeepAlive();

  // Called with every received byte (sign-extended); the base hands it to the reply parser.
  virtual void InChar(int c);
  // S-meter value 0..255 from the receiver's reports.
  virtual void SMeterChange(int value) {}
  // 1 open, 0 closed.
  virtual void SquelchChange(int open) {}

  unsigned int CapabilityMask = 0;

  // The COM number, or the TCP port of a network receiver; 0 = not connected.
  int Port() const { return port_number_.load(); }
  const std::string& PortDevice() const { return device_; }
  int PortError() const { return port_error_; }
  // The system's text for PortError() (a host name that does not resolve: the resolver's).
  std::string PortErrorText() const;
  // 1 when the bound type is reached over the network.
  int IsNetwork() const { return row_ && row_->defaultAddress ? 1 : 0; }
  // Why a network receiver refused the last operation ("RPRT -1: invalid parameter"); ""
  // when it accepted it or is no network receiver.
  std::string RefusalText() const;
  const SerialLine& Line() const { return line_; }
  int CurrentMode() const { return current_mode_; }
  double LastFrq() const { return last_frq_; }
  int FilterCode() const { return filter_code_; }
  int SquelchState() const { return squelch_.load(); }
  // CI-V bus addresses (low byte used); set them before SetReceiver.
  void SetCivAddresses(int radio, int controller);
  int CivRadioAddress() const { return civ_radio_; }
  int CivControllerAddress() const { return civ_controller_; }
  // The keep-alive period; changing it (tests do) takes effect at the next SetReceiver.
  void SetKeepAlivePeriod(DWORD ms) { keep_alive_ms_ = ms; }
  DWORD KeepAlivePeriod() const { return keep_alive_ms_; }
  // Whether a keep-alive timer is running (its identifier, 0 = none).
  unsigned KeepAliveTimer() const { return timer_id_; }

 private:
  friend struct RadioHandlers;

  int InitSerial();
  int InitNetwork(const std::string& address);
  void ExitSerial();
  // Network answers: the reply parser hands over each complete line; WaitAnswer takes the
  // oldest one, waiting at most timeout ms (reading the connection itself when no reader
  // thread runs); 0 on time-out or when the connection is gone.
  void PushAnswer(const std::string& line);
  void ClearAnswers();
  int WaitAnswer(std::string& line, DWORD timeout);
  void SetRefusal(const std::string& text);
  int InitSerialIn();
  void ExitSerialIn();
  void CommInProc();
  void StartKeepAlive();
  void StopKeepAlive();
  static void KeepAliveTimerProc(unsigned id);
  void Pause(DWORD ms);

  CThread reader_;
  CEvent reader_ready_;
  std::atomic<int> reader_flag_{0};
  std::atomic<const RadioOps*> ops_;  // the reader thread reads it while types change
  unsigned timer_id_ = 0;
  CMessageLoop* timer_loop_ = nullptr;
  DWORD keep_alive_ms_ = kKeepAlivePeriodMs;
  CSerialPort port_;
  CTcpPort net_;
  bool network_open_ = false;  // the connection is net_, not port_
  std::atomic<int> port_number_{0};
  std::string device_;
  int port_error_ = 0;
  int type_ = 0;
  SerialLine line_{4800, 8, 0, 2};
  int current_mode_ = kModeUSB;
  int filter_code_ = 0;
  std::atomic<int> smeter_{0};
  std::atomic<int> squelch_{0};
  int civ_radio_ = 0x32;
  int civ_controller_ = 0xE0;
  double last_frq_ = 10000.0;
  const ReceiverType* row_ = nullptr;
  // Reply parser state, touched only by the reader thread.
  char reply_[kReplyBufferSize] = {};
  int reply_count_ = 0;
  // Network answers, filled by the reply parser, taken by the operations.
  mutable std::mutex answer_mutex_;
  std::condition_variable answer_cond_;
  std::deque<std::string> answers_;
  std::mutex ask_mutex_;  // one network command and its answer at a time
  bool link_lost_ = false;
  std::string refusal_;
  // rigctld: the passband set by the IF width (Hz, 0 = the receiver's normal one), and the
  // attenuator step and AGC level it offers, read from its capabilities when first needed.
  int passband_hz_ = 0;
  int caps_read_ = 0;
  int attenuator_db_ = 0;
  int agc_level_ = 0;
};
