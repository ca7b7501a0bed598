// A simulated receiver on a pseudo-terminal pair: CRadio (or any program) opens the pty's
// device path as its serial port, and the simulator plays the receiver of one type. It
// decodes what arrives by that receiver's command set, keeps the receiver's state
// (power, frequency, mode, IF width, attenuator, AGC, noise blanker, volume, squelch,
// PTT), answers the S-meter and squelch queries of the PCR types with a signal level it is
// told, and records every byte, every command it understood and every fault it found, so
// that tests can check the sending side against it. The decoding follows the command-set
// descriptions on its own; it shares no code with the sending handlers.
#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "spl/platform/serial_port.h"
#include "spl/platform/wake_event.h"
#include "spl/platform/win_types.h"

// What the simulated receiver has been told; -1 = never set.
struct SimState {
  int on = -1;
  double frqKHz = -1;  // as the receiver understood it (10-Hz, 25-Hz or 1/256-kHz steps)
  int mode = -1;       // mode bit (kModeUSB ...)
  int ifw = -1;        // IF width in kHz (type 15: the number after "W")
  int filter = -1;     // the receiver's own filter or bandwidth code, where it has one
  int att = -1;
  int agc = -1;
  int nb = -1;
  int vol = -1;  // in the receiver's own scale (type 6: its 15..65 steps)
  int sql = -1;  // 0..255 as the receiver understood it
  int ptt = -1;
  int baud = 0;  // the line rate at the last command understood
};

// A carrier on the simulated band: the receiver measures level within halfWidthKHz of kHz.
struct SimCarrier {
  double kHz;
  int level;  // 0..255
  double halfWidthKHz;
};

class CSimReceiver {
 public:
  CSimReceiver();
  ~CSimReceiver();  // Exit
  CSimReceiver(const CSimReceiver&) = delete;
  CSimReceiver& operator=(const CSimReceiver&) = delete;

  // Opens a pty pair and starts playing receiver type 1..23 (the network type 24 has no
  // line to simulate: 0); 1 or 0. civRadio and civController are the CI-V bus addresses it
  // expects (types 10 and 14; type 14 is always 0x56 on the bus).
  int Init(int type, int civRadio = 0x32, int civController = 0xE0);
  // Stops and closes both sides.
  void Exit();
  // The pty's device path, the one to give CRadio ("/dev/pts/N").
  const std::string& DevicePath() const { return path_; }
  int Type() const { return type_; }

  // The signal level the receiver measures, 0..255 (S-meter reply, squelch decision).
  void SetSignal(int level);
  // A band instead of one level: tuned within a carrier's half width the receiver measures
  // the strongest such carrier, elsewhere the noise floor plus 0..noise (pseudo-random, the
  // same sequence every run). An empty list and floor 0 return to SetSignal's level.
  void SetBand(const std::vector<SimCarrier>& carriers, int floor, int noise = 0);
  // What the band gives at kHz without the noise (SetSignal's level without a band).
  int LevelAt(double kHz) const;
  // Called on the simulator's thread with each command as it is understood ("frq 7055.125",
  // "mode USB", ...) and each fault ("fault: ...").
  void SetListener(std::function<void(const std::string&)> listener);

  SimState State() const;
  std::vector<unsigned char> Received() const;
  std::vector<std::string> Commands() const;
  std::vector<std::string> Faults() const;
  // Forgets what was received and recorded (not the state), and drops a partly received
  // command before the next bytes are decoded.
  void Clear();
  // Waits up to timeout ms until at least count bytes have arrived since Clear; 1 or 0.
  int WaitReceived(size_t count, DWORD timeout) const;
  // Waits until at least count commands were understood since Clear; 1 or 0.
  int WaitCommands(size_t count, DWORD timeout) const;
  // Waits up to timeout ms until what the far end has written is decoded: no byte waits on
  // the line and none is being decoded. 1, or 0 on timeout. Audio made faster than real time
  // calls it so that a command takes effect at the same point of the audio on every run.
  int WaitIdle(DWORD timeout) const;
  // The line settings the far end has put on the pty.
  int Line(SerialLine& line) const;
  // Sends bytes to the far end as if the receiver had sent them (noise, cut replies).
  int SendRaw(const std::string& bytes);
  // A receiver that stops reading (1) and starts again (0): the far end's writes back up.
  void Pause(int on) { paused_ = on != 0; }
  // Closes the receiver's side: to the far end the port has vanished.
  void Hangup();

 private:
  void Run();
  void Feed(unsigned char c);
  void Parse();
  // Takes the state a command produced (keeping the line rate) and records the command.
  void Commit(const SimState& s, const std::string& what);
  void Command(const std::string& text);
  void Fault(const std::string& text);
  void Reply(const std::string& text);
  int CurrentBaud() const;

  // Parsers, one per command family; each consumes complete commands from pending_.
  void ParseKeyCodes(unsigned char c);
  void KeyWord(int bits, int code);
  void KeyDone();
  void ParseLines(char terminator);
  void AsciiCommand(const std::string& command);
  void ParseType6();
  void ParseFive();
  void ParseType13();
  void ParseCiv();
  void ParsePcr();

  int type_ = 0;
  int civ_radio_ = 0x32;
  int civ_controller_ = 0xE0;
  int master_ = -1;
  int slave_ = -1;  // held open so that the master never reads as hung up between users
  CWakeEvent stop_;
  std::string path_;
  std::thread thread_;
  std::atomic<int> signal_{0};
  mutable std::mutex band_mutex_;
  std::vector<SimCarrier> carriers_;
  int floor_ = 0, noise_ = 0;
  bool band_ = false;
  unsigned noise_state_ = 1;  // simulator thread only
  std::atomic<bool> resync_{false};
  std::atomic<bool> paused_{false};
  std::atomic<bool> busy_{false};  // the simulator thread holds bytes it has not yet decoded

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  SimState state_;
  std::vector<unsigned char> received_;
  std::vector<std::string> commands_;
  std::vector<std::string> faults_;
  std::function<void(const std::string&)> listener_;

  // Decoder state, simulator thread only.
  std::string pending_;
  // Key codes: idle bytes since the last pulse, the bits of the word being received, the
  // words of the key being received, the frequency entry.
  int key_run_ = -1;
  std::vector<int> key_bits_;
  std::vector<std::pair<int, int>> key_words_;  // (bits, code)
  int key_entry_ = 0;  // 0 idle, 1 digits, 2 waiting for the fraction, 3 fraction given
  std::string key_digits_;
  int key_fraction_ = 0;
};
