// CScanControl: the scan procedure that drives a receiver through a CScanner, one measured
// audio block at a time. It sums the audio level and the receiver's S-meter over the dwell,
// stores each step in the scanner, holds the frequency on a signal (for the record time, or
// while the signal lasts), records the held audio with an event mark per hold when a scan
// recording is given, and tunes the next frequency. The station's audio routing calls
// ProcessBlock once per captured block; the tool and the tests do the same. Time is counted
// in blocks; the scanner's clock (SetClock) stamps the lines.
#pragma once
#include <vector>

#include "spl/audio/audio_block.h"
#include "spl/audio/scan_recorder.h"
#include "spl/radio/radio.h"
#include "spl/radio/scanner.h"

struct ScanSettings {
  int squelchThreshold = 0;   // audio squelch threshold, 0..255: audio value = level - this
  int receiverSquelch = 129;  // receiver squelch setting, 0..255: S-meter + (129 - this) x 2
  int eventFromReceiver = 0;  // 1: a signal is a non-zero S-meter value, 0: a non-zero audio value
  int stopOnSignal = 1;       // hold the frequency on a signal
  double tuningStepHz = 5000;  // step of a scan started with step 0
};

// One hold: the cell it was found in and where its audio starts in the scan recording.
struct ScanEvent {
  int column, line;
  float kHz;
  int value;    // the event value that started the hold
  int segment;  // scan recording segment, -1 without a recording
  int start;    // file offset of the segment's first sample, -1 without a recording
  int blocks;   // blocks held (recorded)
};

// Dwell times below this are raised to kScanDwellDefaultMs.
constexpr int kScanDwellMinMs = 90;
constexpr int kScanDwellDefaultMs = 100;
constexpr int kScanHoldDwells = 2;  // dwell periods without signal that end a hold

class CScanControl {
 public:
  CScanControl() = default;
  virtual ~CScanControl() = default;
  CScanControl(const CScanControl&) = delete;
  CScanControl& operator=(const CScanControl&) = delete;

  // Binds the store and the receiver (both outlive this object) and sets the capture
  // format (CScanner::Init). 1, or 0 for a missing store or a bad format.
  int Init(CScanner* scanner, CRadio* radio, int sampleRate, int samplesPerBlock);
  void SetSettings(const ScanSettings& settings) { settings_ = settings; }
  const ScanSettings& Settings() const { return settings_; }
  // An open scan recording, or null for none. It must stay open while scanning.
  void SetRecorder(CScanRecorder* recorder) { recorder_ = recorder; }
  // Mode bits and IF widths (kHz) of the scanner's channels, by column; 0 leaves a value as
  // it is. Used only in channel scans.
  void SetChannelModes(const std::vector<int>& modes, const std::vector<int>& widths);

  // Starts a scan: start and stop kHz (0: the receiver's frequency; 0: 50 steps above
  // start; swapped when descending), step Hz (0: the tuning step), dwell ms (raised to 100
  // below 90), record ms (0: hold while the signal lasts). Tunes the first frequency.
  // 0 with Error() set when the range cannot be scanned; nothing changes then.
  int StartScan(double startKHz, double stopKHz, double stepHz, int dwellMs, int recordMs);
  // Clears the scanning flag, the sums and the hold; ends a recording segment.
  void StopScan();
  // The per-block step: block is the captured block (recorded while holding), audioLevel
  // its audio squelch level 0..255. 1 while scanning, 0 otherwise.
  int ProcessBlock(const AudioBlock* block, int audioLevel);

  bool Scanning() const { return scanning_; }
  bool Holding() const { return hold_ > 0; }
  int DwellBlocks() const { return dwell_blocks_; }
  int RecordCount() const { return record_count_; }  // in dwell periods; 0 = while signal
  float NextFrq() const { return next_; }
  const std::vector<ScanEvent>& Events() const { return events_; }
  const std::string& Error() const { return error_; }

  // Reports, called from ProcessBlock: a stored step, a completed line, a hold and its end,
  // a tuning. The defaults do nothing.
  virtual void OnValue(int column, int line, float kHz, int smeter, int audio, int blocks) {}
  virtual void OnLineFinished(int line) {}
  virtual void OnHold(const ScanEvent& event) {}
  virtual void OnRelease(const ScanEvent& event) {}
  virtual void OnTune(float kHz) {}

 private:
  void Tune(float kHz, int column);
  void Release();

  CScanner* scanner_ = nullptr;
  CRadio* radio_ = nullptr;
  CScanRecorder* recorder_ = nullptr;
  ScanSettings settings_;
  std::vector<int> modes_, widths_;
  int rate_ = 0, samples_per_block_ = 0;
  bool scanning_ = false;
  int dwell_blocks_ = 1, dwell_counter_ = 1;
  int record_count_ = 0, record_counter_ = 0;
  long long audio_sum_ = 0, smeter_sum_ = 0;
  int block_count_ = 0;
  int hold_ = 0;
  float next_ = 0.0f;
  int next_column_ = 0;
  std::vector<ScanEvent> events_;
  std::string error_;
};
