// CStationCore: the station without its windows. It owns the receiver, the decoders, the
// audio squelch, the equalizer choice, the recorder and the two file players, the scan
// control and the settings files, and routes every captured block through a fixed chain of
// stages (ProcessBlock). The desktop program and "kestrel station" each give it a CStationUi
// to show what happens and a CPageWindowHost to receive the blocks on their event loop; the
// core itself knows no window.
//
// Threads: everything runs on the user-interface thread (the one that serves the page
// windows) except OnSMeter and OnSquelch, which may come on the receiver's reader thread
// and only store the value.
#pragma once
#include <atomic>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "app/core/audio_format_file.h"
#include "app/core/page_windows.h"
#include "app/core/profile_file.h"
#include "app/core/settings_record.h"
#include "app/core/station_codes.h"
#include "app/core/station_decoders.h"
#include "app/core/station_ui.h"
#include "app/lists/frq_record.h"
#include "app/lists/time_scanner.h"
#include "app/views/picture_capture.h"
#include "app/views/text_capture.h"
#include "spl/audio/scan_recorder.h"
#include "spl/audio/wave_player.h"
#include "spl/audio/wave_recorder.h"
#include "spl/dsp/audio_squelch.h"
#include "spl/dsp/block_resampler.h"
#include "spl/dsp/equalizer_modul.h"
#include "spl/dsp/tone_gen.h"
#include "spl/radio/scan_control.h"
#include "spl/radio/scanner.h"

class CSimulatedBand;

// How the station is started (the command line of either program).
struct StationOptions {
  std::string port;        // "COM1" ... "COM8", a device path, or "sim" / "sim:TYPE"
  std::string audioIn;     // an ALSA name, "wav:FILE", "wavfast:FILE", "sim" or "simfast"
  std::string audioOut;    // an ALSA name or "null"; empty: the default device, else "null"
  std::string synopStore;  // the SYNOP station store; empty: beside the program
  std::string simStations; // the simulated band's station list; empty: the built-in one
};

// Blocks older than this are decoded but not drawn.
constexpr unsigned kStaleBlockMs = 100;
// The decoding player catches up at most this many blocks, for at most this long, per block.
constexpr int kFileDecodeBlocks = 20;
constexpr unsigned kFileDecodeMs = 50;
constexpr int kCaptureBuffers = 64;
constexpr int kDefaultPreRoll = 16;
constexpr int kTextLimit = 0x40000;  // characters the receive view keeps
// The decoders' fixed set-up at the reference rate: CW, PSK31 (carrier 1000 Hz).
constexpr int kCwTaps = 128;
constexpr int kPsk31Taps = 128;
constexpr int kUnchangedVolume = 100;                // percent
constexpr float kPeakToPercent = 0.0030517578125f;  // a block's peak -> percent of full scale
// Scales block by percent (kUnchangedVolume leaves it) and measures it.
void ScaleAudioBlock(AudioBlock* block, int percent);
// A FAX record with no burst values takes these.
constexpr int kFaxDefaultBurst1 = 832, kFaxDefaultBurst2 = 39;
// The software volume 0 ... 255 sets the mixer's level control to min + (max - min) x
// volume / 270 (full volume stays below the control's maximum, as users are used to).
constexpr int kSoftVolumeScale = 270;
int SoftVolumeControlValue(int min, int max, int volume);

// The rate the picture decoders time their lines at (cards at other rates are resampled to
// it), and their block size there.
constexpr int kPictureRate = 11025;
constexpr int kPictureBlock = 1024;
// KSTL.INI [SSTV] and [FAX] AutoSlant=0 switch the automatic slant correction off.
constexpr const char* kSstvProfileSection = "SSTV";
constexpr const char* kFaxProfileSection = "FAX";
constexpr const char* kAutoSlantKey = "AutoSlant";
// KSTL.INI [FAX] Denoise=0 saves received charts unfiltered.
constexpr const char* kDenoiseKey = "Denoise";

class CStationCore : private CStationEvents, private CTimerTarget {
 public:
  CStationCore();
  ~CStationCore() override;
  CStationCore(const CStationCore&) = delete;
  CStationCore& operator=(const CStationCore&) = delete;

  // Construction: the base folder (an existing folder), the settings files read, the
  // folders made, lock files deleted. ui and pages outlive the core. 1 or 0 (ui told why).
  int Init(const std::string& baseFolder, CStationUi* ui, CPageWindowHost* pages);
  // Start-up: profile, receiver, capture, playback, squelch, scanner, SYNOP decoder, page
  // windows and SwitchReceiver, in that order. 1 or 0 (ui told why; what was opened is
  // closed again).
  int Start(const StationOptions& options);
  // Shutdown: saves what is in progress (a message, a picture, a recording), writes the
  // settings files and closes everything in order. Safe to call twice.
  void Shutdown();

  // Settings files.
  void LoadSettings(bool readFiles);
  int SaveSettings();
  // The profile's window keys, written when the main window closes.
  void SaveProfile();
  // (Re)connects the receiver of the given type and applies the current record. 1 or 0.
  int SwitchReceiver(int type);
  // Back to the default settings (the caller has asked the user), then the record applied.
  void ResetAll();

  // Decoder choice and the block hub.
  int SelectDecoder(int code);
  void StopDecoders();
  // The parameters a mode fixes, written into the settings before it is selected: NAVTEX
  // (SITOR-B at 100 Bd on 1615/1785 Hz, the higher tone binary 1) and SITOR-B (100 Bd).
  void UseStandardParameters(int code);
  int ProcessBlock(AudioBlock* block);
  // A decoder's signal block (wParam 2 ... 8); takes ownership of block.
  void DecoderSignal(int kind, AudioBlock* block);
  // The page windows' handler: WM_AUDIOBLOCK and WM_AUDIOPLAYED for a group's window.
  void OnPageMessage(int page, UINT message, WPARAM wParam, LPARAM lParam);

  // Receiver setters: store, send while connected, refresh the displays.
  void SetFrequency(double kHz);
  void SetMode(int modeBit);
  void SetAgc(int on);
  void SetNoiseBlanker(int on);
  void SetAttenuator(int on);
  void SetIfWidth(int kHz);
  void SetStep(int step);
  void SetSquelch(int level);
  void SetVolume(int level);
  // The RTTY baud rate of the settings, fractional rates included, and its setter.
  double RttyBaud() const;
  void SetRttyBaud(double baud);
  void SetSquelchThreshold(int level);
  void SetSoftVolume(int level);
  void ReceiverOff();

  // The current frequency record: applying it tunes and selects its decoder.
  int ApplyRecord(const CFrqRecord& record);
  const CFrqRecord& CurrentRecord() const { return record_; }
  // The record Start applies when the receiver is connected (between Init and Start; a
  // file source then starts with the right decoder listening).
  void SetCurrentRecord(const CFrqRecord& record) {
    record_ = record;
    record_given_ = true;
  }
  // A record for this frequency from the current settings (decoder, tones, receiver).
  CFrqRecord RecordFromSettings(double kHz) const;
  // A user's choice of a frequency-list row: applied, unless the timer schedule has an
  // entry applied (then refused with a message, 0).
  int SelectRecord(const CFrqRecord& record);

  // The timer schedule (station_timer.cpp): started on a timer list, it applies each entry
  // at its start and closes the entry's products at its stop. The caller checks it
  // periodically (any period: the check works from the core's clock) and shows what it did.
  int StartTimer(const std::string& path);  // 1, or 0 (ui told why)
  void StopTimer();
  TimerCheck CheckTimer();
  const CTimeScanner& Timer() const { return timer_; }

  // The scanner (station_scan.cpp). Both scans select the audio decoder and take the scan
  // settings (dwell, record time, stop and record on signal, event source); a range scan also
  // its start, stop and step, a channel scan the checked entries of a channel list, each tuned
  // as applying it would. Holds are recorded into the data folder's scan recording when
  // recording on signal is set. 1, or 0 (ui told why; nothing changed).
  int StartRangeScan();
  int StartChannelScan(const std::string& listPath);
  void StopScan();
  int Scanning() const { return scan_.Scanning() ? 1 : 0; }
  int ScanHolding() const { return scan_.Holding() ? 1 : 0; }
  const CScanner& Scanner() const { return scanner_; }
  const std::vector<ScanEvent>& ScanEvents() const { return scan_.Events(); }
  // The scan report: the scanner's store saved into or loaded from a report file (not while
  // scanning). 1, or 0 (ui told why; a failed load leaves the store empty).
  int SaveScanReport(const std::string& path);
  int LoadScanReport(const std::string& path);
  // Plays the audio recorded during a hold (its index in ScanEvents) through the output, in
  // place of the listening player, until its end. 1, or 0 when it has no audio.
  int PlayScanEvent(int index);
  void StopScanEventPlayback() { scan_playing_ = false; }
  int ScanEventPlaying() const { return scan_playing_ ? 1 : 0; }

  // The equalizer: the panel's object (power switch, smoothing, zoom, the curve drawn with the
  // mouse), set up for the capture format at start with the working curve of the data folder
  // and the panel state of the profile, both kept at shutdown. Where it works is the settings'
  // kCfgEqualizerPosition (1 before the decoder, 0 behind it, -1 off). 0 before start.
  CEqualizerModul* Equalizer() { return equalizer_ready_ ? &equalizer_ : nullptr; }
  std::string EqualizerCurvePath() const;
  void SaveEqualizer();

  // Recorder and players.
  int StartRecording();  // into the audio folder; 1 or 0 (ui told why)
  void PauseRecording(int on) { record_paused_ = on != 0; }
  int StopRecording();
  int Recording() const { return recorder_.Recording(); }
  // The recorder's wave format (KSTLAUDIOFORM.CFG, saved with the settings); only its tag
  // chooses the codec, the capture's rate and block size stay. 1, or 0 (nothing changed)
  // while recording or when wfx does not fit the format buffer.
  int SetRecordingFormat(const WAVEFORMATEX* wfx);
  const WAVEFORMATEX* RecordingFormat() const { return format_.Format(); }
  int StartFileDecode(const std::string& path);  // into the decoders, as if received
  int StartFileListen(const std::string& path, int repeat);
  void PauseFileDecode(int on) { decode_paused_ = on != 0; }
  void PauseFileListen(int on) { listen_paused_ = on != 0; }
  void StopFileDecode();
  void StopFileListen();
  int FileDecodeRunning() const { return decode_pos_ >= 0; }
  int FileListenRunning() const { return listen_pos_ >= 0; }

  // The message capture of the text view (saving, the timer's start and end).
  CTextCapture& TextCapture() { return text_capture_; }
  CFaxPictureCapture& FaxCapture() { return fax_capture_; }
  // The picture views: the SSTV picture being received (or the last one; null before the
  // decoder was set up), saved at once into the sstv folder (1, or 0 with the ui told why);
  // a new sync position for the FAX decoder (the column that becomes the left edge); the
  // automatic saving of FAX or SSTV pictures switched and kept in the settings.
  HBITMAP SstvPicture();
  int SaveSstvNow();
  void FaxSetSyncPos(int delta);
  void SetPictureAutosave(StationProduct kind, int on);
  // FAX lines painted from the bottom up (and from the right), kept in the settings.
  void SetFaxMirror(int on);

  // The card whose mixer the audio page's sound card roles work on: the capture device, or
  // the model card held in memory ("sim") when capture is no sound card.
  std::string MixerDevice() const;

  CSettingsRecord& Settings() { return settings_; }
  const CSettingsRecord& Settings() const { return settings_; }
  CProfileFile& Profile() { return profile_; }
  const std::string& BaseFolder() const { return base_; }
  CRadio& Radio() { return radio_; }
  int Decoder() const { return settings_.GetInt(kCfgDecoder); }
  int GroupActive(int group) const { return active_[group]; }
  HWND PageWindow(int group) const;
  int AudioOn() const { return audio_on_; }
  int Connected() const { return connected_; }
  int State() const { return state_; }
  int LastSMeter() const { return smeter_.load(); }
  int LastAudioLevel() const { return audio_level_; }
  // The clock the core reads (UTC seconds and the millisecond tick); tests replace them.
  void SetClock(std::function<time_t()> now);
  void SetTick(std::function<DWORD()> tick) { tick_ = std::move(tick); }

 private:
  // CStationEvents.
  void OnChar(int ch) override;
  void OnPendingText(const char* text) override;
  void OnSynopReport(SYN_DATA& report) override;
  void OnFaxLine(HBITMAP line, int burst) override;
  void OnFaxState(int code) override;
  void OnSstvLine(int line) override;
  void OnSstvState(unsigned long state) override;
  void OnSMeter(int value) override;
  void OnSquelch(int open) override;
  void OnScanValue(int column, int line, float kHz, int smeter, int audio) override;
  void OnScanLineFinished(int line) override;
  void OnScanHold(const ScanEvent& event, int on) override;
  void OnScanTune(float kHz) override;
  // CTimerTarget: the schedule's own apply (no guard) and the end of an entry.
  int ApplyTimerRecord(const CFrqRecord& record) override;
  void CloseTimerProducts() override;

  class CCaptureEvents;
  int SetUpText(int code);
  int SetUpFax();
  int SetUpSstv();
  // The picture decoders' input: the card's blocks, resampled when the card runs at another
  // rate than the one they time their lines at. 1 or 0.
  int SetUpPictureInput();
  int PictureBlock() const;
  // Tells the clock error a picture was straightened for.
  void SlantMessage(const char* mode, double ppm);
  int SetUpAudio();
  int BeginScan(double startKHz, double stopKHz, double stepHz);
  void LoadEqualizer(int rate, int block);
  void CloseScanRecording();
  int ApplyRttySettings(int code);
  void ApplyFaxSettings();
  void ApplySstvSettings();
  // The decoder of the current code; in audio mode the listening player gives out, unless
  // out is unused_out_ (the decoding player's call).
  void RunDecoder(AudioBlock* d, bool display, AudioBlock*& out);
  void FaxStep(const AudioBlock* d);
  int FileDecodeStep(bool display);
  int FileListenStep(AudioBlock* into, bool display);
  void Equalize(AudioBlock* b);
  int SquelchLevel(const AudioBlock* b);
  int TextDecoderQuality() const;
  std::string TextDecoderTuning() const;
  void Draw(int kind, const AudioBlock* b, int wParam = 0);
  void ShowState(int code);
  void StoreAndSend(int offset, int value, int (CRadio::*send)(int));
  void ShowFrequency();
  void ShowMode();
  void AudioSquelchLamps(int open);
  void Message(const std::string& text);
  void CloseAudio();
  void CreateWorkBlocks();
  void FreeWorkBlocks();
  int OpenReceiverPort();
  bool ReportsOwnSMeter() const;
  time_t Now() const { return clock_ ? clock_() : time(nullptr); }
  DWORD Tick() const { return tick_ ? tick_() : GetTickCount(); }

  CStationUi null_ui_;
  CStationUi* ui_ = nullptr;
  CPageWindowHost* pages_ = nullptr;
  HWND page_[kGroupCount] = {};
  std::string base_;
  StationOptions options_;
  CSettingsRecord settings_;
  CProfileFile profile_;
  CAudioFormatFile format_;
  CFrqRecord record_;
  std::unique_ptr<CSimulatedBand> sim_;

  CStationRadio radio_{*this};
  CStationRtty rtty_{*this};
  CStationCw cw_{*this};
  CStationPsk31 psk31_{*this};
  CStationFax fax_{*this};
  CStationSstv sstv_{*this};
  CBlockResampler picture_input_;
  CStationSynop synop_{*this};
  CAudioSquelch squelch_;
  CEqualizerModul equalizer_;
  bool equalizer_ready_ = false;
  CToneGen tone_gen_;
  CScanner scanner_;
  CStationScan scan_{*this};
  CScanRecorder scan_recorder_;
  bool scan_recording_ = false, scan_playing_ = false;
  CWaveRecorder recorder_;
  CWavePlayer decode_player_, listen_player_;
  CTextCapture text_capture_;
  CFaxPictureCapture fax_capture_;
  std::unique_ptr<CCaptureEvents> capture_events_;
  CTimeScanner timer_;

  // Work blocks.
  AudioBlock* silence_ = nullptr;
  AudioBlock* last_ = nullptr;
  AudioBlock* file_block_[2] = {};
  AudioBlock* spare_ = nullptr;
  AudioBlock* fax_block_ = nullptr;
  AudioBlock* unused_out_ = nullptr;
  AudioBlock* pending_mark_ = nullptr;  // RTTY mark (or space) block waiting for its partner
  int pending_kind_ = 0;

  int active_[kGroupCount] = {};
  int audio_on_ = 0;
  int connected_ = 0;
  int audio_open_ = 0;
  int started_ = 0;
  bool settings_loaded_ = false;  // KSTLCONFIG.CFG was read (not a first start)
  bool record_given_ = false;     // SetCurrentRecord chose the record to start with
  int state_ = kStateStandBy;
  std::atomic<int> smeter_{0};
  std::atomic<int> squelch_open_{0};
  int audio_level_ = 0;
  int audio_squelch_open_ = 0;
  unsigned long sstv_state_ = 0;
  int fax_ioc_before_ = 0;  // the IOC to return to after a 675 Hz start tone, 0 = none
  int fax_ioc_pending_ = 0;
  long long recorded_bytes_ = 0;
  std::string recording_name_, recording_temp_;  // the product name and where it is written
  bool record_paused_ = false;
  long long decode_pos_ = -1, listen_pos_ = -1;
  bool decode_paused_ = false, listen_paused_ = false;
  int preroll_ = kDefaultPreRoll;
  std::function<time_t()> clock_;
  std::function<DWORD()> tick_;
};
