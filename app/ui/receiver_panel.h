// CPCR1000Modul: a ready-made front panel for the receiver of type 12, in a window of its own
// beside the main window (modeless): a dot-matrix frequency display (a click on it opens
// CEnterFreq), a tuning knob, the tuning step, six mode buttons, ATT, AGC and NB switches,
// volume, squelch and IF-shift potentiometers, the IF bandwidth, an S-meter and a squelch
// lamp. Its state (frequency, step, levels, mode, switches, IF, window position) is kept in
// the station's profile KSTL.INI, in the section "<window title>_State".
//
// Which receiver it drives. The panel is a CRadio of its own, so it can run a second
// receiver of type 12 on another port, with its own state, as a stand-alone panel does
// (Init with that port). A serial port cannot be shared by two connections: two readers
// would steal each other's replies. So when Init names no port, or the port the station's
// receiver uses (by any of its names: "COMn", its device path or a link to it), the panel leaves its own connection closed and drives the station's
// receiver instead, through the station core's setters, so that the station's settings,
// its receiver page and the receiver never disagree. In that case the panel starts from the
// station's present tuning (it does not retune the station to its own stored frequency),
// follows changes made elsewhere, and keeps only the step, the IF shift and its position of
// its own; closing it leaves the station's receiver on. The station's receiver must then be
// connected and of type 12.
//
// Lifetime: the core outlives the panel. The owner creates it, calls Init and lets it delete
// itself on close (Qt::WA_DeleteOnClose); closing saves the state to KSTL.INI at once and
// switches a receiver of the panel's own off.
//
// Threads: everything runs on the user-interface thread; SMeterChange and SquelchChange
// (the receiver's reports, on the reader thread) only store the value, which the panel's
// report timer shows.
#pragma once
#include <QDialog>
#include <QString>
#include <atomic>
#include <string>
#include <vector>

#include "spl/radio/radio.h"

class CStationCore;
class CProfileFile;
class CDotMatrix;
class CKnob;
class CPotentiometer;
class CSMeter;
class CLamp;
class QPushButton;
class QTimer;

class CPCR1000Modul : public QDialog, public CRadio {
 public:
  // The receiver type the panel speaks to.
  static constexpr int kReceiverType = 12;
  static constexpr double kMaxKHz = 9999999.0;
  static constexpr int kLevelMax = 255;
  static constexpr int kIfShiftCentre = 128;
  // The display: 17 characters, the frequency in kHz with '.' between thousands and ','
  // before the decimals ("   14.230,500 KHz").
  static constexpr int kDisplayCells = 17;

  CPCR1000Modul(CStationCore& core, QWidget* parent = nullptr);
  ~CPCR1000Modul() override;
  CPCR1000Modul(const CPCR1000Modul&) = delete;
  CPCR1000Modul& operator=(const CPCR1000Modul&) = delete;

  // Connects (see above: port empty or the station's own port -> the station's receiver;
  // a device path or "COMn" -> a connection of its own), reads the state from the profile,
  // builds and shows the panel and, 10 ms later, sends the whole state to the receiver.
  // 1, or 0 with LastError() saying why (the panel is then not shown). A second Init
  // switches off and closes what the first opened.
  int Init(const std::string& port);
  QString LastError() const { return m_error; }
  // 1 while the panel drives the station's receiver rather than a connection of its own.
  int SharesStationReceiver() const { return m_shared ? 1 : 0; }

  // Receiver controls: each stores the value, shows it and sends it.
  void SetFreq(double kHz);        // clamped to 0 ... kMaxKHz
  void SetStep(double hz);         // shows the step; the index is kept by the step buttons
  void SetMode(int mode);          // a mode bit of the mode buttons
  void SetZFBW(int kHz);           // an IF bandwidth of the IF table
  void SetIFS(int shift);          // 0 ... 255, 128 = centre
  void SetAttenuator(int on);
  void SetAGC(int on);
  void SetNoiseBlanker(int on);
  void SetVolume(int level);       // 0 ... 255
  void SetSquelch(int level);      // 0 ... 255
  // Moves the step or IF index by delta within its table and applies it.
  void StepBy(int delta);
  void IfBy(int delta);
  // Tunes by knob detents, each a tenth of the step.
  void Tune(int detents);
  // The last reports of the receiver: S-meter 0 ... 255, squelch 1 open / 0 closed.
  int GetSMeter() const;
  int GetSquelch() const;

  // The state in the profile's section "<title>_State". The frequency is kept in Hz as a
  // 64-bit number (frequencies above 4.29 GHz do not fit 32 bits).
  void LoadState(const CProfileFile& profile);
  void SaveState(CProfileFile& profile) const;
  std::string StateSection() const;

  // State, as stored.
  double Frequency() const { return m_kHz; }
  int StepIndex() const { return m_stepIndex; }
  double StepHz() const;
  int ModeIndex() const { return m_modeIndex; }
  int IfIndex() const { return m_ifIndex; }
  int IfShift() const { return m_ifShift; }
  int Volume() const { return m_volume; }
  int Squelch() const { return m_squelch; }
  int Attenuator() const { return m_att; }
  int AutoGain() const { return m_agc; }
  int NoiseBlanker() const { return m_nb; }

  // What the displays show.
  static QString FrequencyText(double kHz);
  static QString StepText(double hz);
  static QString IfText(int kHz);

  // CRadio: the receiver's reports (reader thread).
  void SMeterChange(int value) override;
  void SquelchChange(int open) override;

 protected:
  void done(int result) override;

 private:
  void Build();
  void Release();
  void ShowAll();
  void SendState();
  void Poll();
  void FollowStation();
  void SendRaw(const char* format, int value);
  void OpenEntry();

  CStationCore& m_core;
  bool m_shared = false;
  bool m_ready = false;
  QString m_error;

  // State.
  double m_kHz = 0.0;
  int m_stepIndex = 0, m_modeIndex = 0, m_ifIndex = 0;
  int m_volume = 0, m_squelch = 0, m_ifShift = kIfShiftCentre;
  int m_att = 0, m_agc = 0, m_nb = 0;
  std::atomic<int> m_smeter{0}, m_squelchOpen{0};

  // Widgets (owned by the dialog).
  CDotMatrix* m_display = nullptr;
  CDotMatrix* m_stepDisplay = nullptr;
  CDotMatrix* m_ifDisplay = nullptr;
  CKnob* m_knob = nullptr;
  CPotentiometer* m_volumePot = nullptr;
  CPotentiometer* m_squelchPot = nullptr;
  CPotentiometer* m_ifShiftPot = nullptr;
  CSMeter* m_sMeter = nullptr;
  CLamp* m_squelchLamp = nullptr;
  std::vector<QPushButton*> m_modeButtons;
  QPushButton* m_switch[3] = {};
  CLamp* m_switchLamp[3] = {};
  QTimer* m_pollTimer = nullptr;
  QTimer* m_keepAlive = nullptr;
};
