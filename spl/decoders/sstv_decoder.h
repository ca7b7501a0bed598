// CSstvDecoder: receives slow-scan television pictures (Martin 1, Scottie 1, Wraase SC2-180,
// Robot 72, 320 pixels per line) from receiver audio. Frequency from zero crossing to zero
// crossing, 1500 ... 2300 Hz black ... white (in noise, as the VIS header measures it, taken
// from a narrower band around them), 1200 Hz line syncs and the VIS code that announces
// the mode; lines are kept as brightness bytes in a raw line store (and four times as finely in
// a fine store, which the pixels are read from, each over its own span) and turned into colour
// lines and the colour picture on request. ShowSSTV announces lines, StateChange the receive state;
// the band-passed input, each line's positions and the demodulated signal are posted to the
// windows connected for kinds 12, 13 and 14.
#pragma once

#include <cstdint>
#include <vector>

#include "spl/audio/audio_block.h"
#include "spl/audio/sound_device.h"
#include "spl/decoders/sstv_vis.h"
#include "spl/dsp/filter.h"
#include "spl/dsp/tone_gen.h"
#include "spl/image/dib_section.h"

// Signal kinds posted to the connected windows.
constexpr int kSstvInputChannel = 12;     // band-passed input, once per block
constexpr int kSstvPositionChannel = 13;  // one line's worth of position levels, when full
constexpr int kSstvOutputChannel = 14;    // the level at every sample, once per block

// Bits of the state passed to StateChange.
constexpr unsigned long kSstvReceiving = 1;   // a picture is being received
constexpr unsigned long kSstvSearching = 2;   // automatic synchronisation is looking for syncs

// Mode numbers of the receivable modes; other numbers keep the previous mode's geometry.
constexpr int kSstvMartin1 = 0;
constexpr int kSstvScottie1 = 2;
constexpr int kSstvSc2180 = 5;
constexpr int kSstvRobot72 = 8;
constexpr int kSstvModeSlots = 9;  // mode numbers 0 ... 8 (the timing table)
constexpr int kSstvWidth = 320;    // pixels per picture line
constexpr double kSstvNarrowBelowDb = 15.0;  // header SNR in 3 kHz below which levels come narrow
constexpr double kSstvSnrUnknown = 99.0;     // GetSnrDb before a VIS was measured

// How a mode's raw line turns into colour.
enum SstvColour {
  kSstvRgb = 0,  // three colour scans, channel 0 red, 1 green, 2 blue
  kSstvYuv = 1,  // luminance and two half-width colour differences (channel 1 R-Y, 2 B-Y)
};

// Colour-difference matrices of the luminance modes (rows of SstvColourMatrixAt).
constexpr int kSstvMatrixOfMode = -1;    // each mode's own (SstvMode::matrix), the default
constexpr int kSstvMatrix601Studio = 0;  // BT.601, Y 16 ... 235, differences 16 ... 240
constexpr int kSstvMatrix709Full = 1;    // BT.709, Y and differences over the full 0 ... 255
constexpr int kSstvMatrixCount = 2;

// Back from a luminance byte Y and colour-difference bytes V (R-Y) and U (B-Y) to RGB:
// E = (Y - y_offset) x y_gain, R = E + v_gain (V - 128), B = E + u_gain (U - 128),
// G = (E - kb B - kr R) x g_gain.
struct SstvColourMatrix {
  const char* name;  // "601", "709"
  float y_offset, y_gain, kr, kb, v_gain, u_gain, g_gain;
};
// The row of kSstvMatrix601Studio or kSstvMatrix709Full; null for another number.
const SstvColourMatrix* SstvColourMatrixAt(int matrix);

// One colour scan inside a line period, times from the start of the line period.
struct SstvScan {
  int channel;      // which colour (see SstvColour)
  double start_ms;  // start of the scan
  double length_ms; // duration of the scan
  int pixels;       // pixels in the scan (320, or 160 for colour differences)
};

// One receivable mode: its numbers, the published line timing and the colour layout.
struct SstvMode {
  int mode;              // mode number
  const char* name;      // "Martin 1" ...
  int vis;               // VIS code announcing the mode
  int lines;             // picture lines
  int image_positions;   // raw store positions of picture data per line
  float sync_positions;  // sync length in positions
  double line_ms;        // published line period
  double sync_ms;        // length of the line sync
  double sync_at_ms;     // where the line sync starts within the line period
  double first_line_ms;  // from the end of the VIS to the start of line 0's period
  SstvColour colour;
  int matrix;            // kSstvMatrix... of a luminance mode as it is sent (RGB modes ignore it)
  SstvScan scans[3];
};

// The table row of a mode number (0, 2, 5, 8) or of a VIS code; null for any other.
const SstvMode* SstvModeByNumber(int mode);
const SstvMode* SstvModeByVis(int vis);
// Rows in table order (kSstvModeCount of them).
const SstvMode* SstvModeAt(int index);
constexpr int kSstvModeCount = 4;

class CSstvDecoder : public CDibSection {
 public:
  CSstvDecoder();
  CSstvDecoder(const CSstvDecoder&) = delete;
  CSstvDecoder& operator=(const CSstvDecoder&) = delete;
  ~CSstvDecoder() override;

  // Line `line` of the picture is complete (GetLine); -1: redraw the whole picture.
  virtual void ShowSSTV(int line) {}
  // The receive state changed: kSstvReceiving and kSstvSearching bits.
  virtual void StateChange(unsigned long state) {}

  // sampleRate 6000 ... 192000 Hz (the band-pass must fit below half of it); blockSize 16 ...
  // 65536. Releases what an earlier Init made, sets up the band-pass (and the sync tone with
  // mix-sync) and the current mode. 1 or 0. Called from a callback inside Decode, it takes
  // effect after the current block.
  int Init(int sampleRate, int blockSize);
  // Band-pass low < high (Hz), taps 2 ... 4096, kFilterWindow... bits; stored, then Init again.
  int SetFilter(int low, int high, int taps, int window);
  // Mix a clean sync tone into the caller's blocks while syncs are heard; stored, Init again.
  int MixSync(int on);
  // Mode 0 ... 8 (0, 2, 5, 8 select a geometry, the others keep the previous one); timing 0.0
  // for the nominal positions per sample, else 0 < timing < 1 used unchanged. Clears the
  // picture. 1, or 0 for a refused argument or a failed allocation.
  int SetMode(int mode, double timing);
  int GetMode() const { return mode_; }
  int GetXSize() const { return kSstvWidth; }
  int GetYSize() const { return geometry_ ? geometry_->lines : 0; }
  // Timing table of the mode numbers 0 ... 8 (0.0: nominal, not yet set); 0.0 for another.
  double GetTiming(int mode) const;
  // Stores t for the mode; for the current mode it also takes effect at once (0.0 restores
  // the nominal timing). Values outside 0 <= t < 1 and other mode numbers are ignored.
  void SetTiming(int mode, double t);
  double GetCurrentTiming() const { return timing_; }
  // Nominal positions per sample of a mode number at the current rate (0.0 for another).
  double NominalTiming(int mode) const;
  void SetAVIS(int on) { avis_ = on != 0; }
  // How the VIS is found: off (the default), by the frequencies of zero crossings; on, by tone
  // detectors matched to its leader and bits (CSstvVisDetector), which find it down to noise
  // well above the signal (the station and the tool switch it on).
  void SetToneVis(int on);
  // Automatic slant correction (off unless switched on; the station and the tool switch it on):
  // the line syncs received so far give the line period that the sender's and this card's
  // clocks make together, and the picture is read along it (from 8 lines on, fitted again
  // every 4 lines); the tones, off by as much as the clock, are read back at the published
  // ones. Without it the line period is the nominal one or SetTiming's.
  void SetAutoSlant(int on);
  // The line period measured by the slant correction against the published one, in parts per
  // million (positive: lines longer than published, as a fast card clock makes them); 0.0
  // before a fit. SetTiming(mode, GetCurrentTiming() / (1 + ppm / 1e6)) corrects it at source.
  double GetClockPpm() const;
  // Colour matrix of the luminance modes: kSstvMatrixOfMode (the mode's own, the default) or a
  // kSstvMatrix... row for every such mode; takes effect at the next GetLine. 1, or 0 (kept)
  // for another number.
  int SetColourMatrix(int matrix);
  int GetColourMatrix() const { return matrix_; }
  // The signal-to-noise ratio in 3 kHz (white noise assumed) measured over the VIS header of
  // the current or last picture, from the moments of its samples: the header's steady tones
  // keep E[x^4] at 1.5 E[x^2]^2, noise raises it; kSstvSnrUnknown before any. Below
  // kSstvNarrowBelowDb the picture's levels come from a narrower band around 1500 ... 2300 Hz,
  // which lets in less noise (and far fewer clicks) at the cost of some fine detail; otherwise,
  // and for pictures started without a VIS, from the whole band-pass.
  double GetSnrDb() const { return snr_db_; }
  bool NarrowPictureBand() const { return narrow_; }
  // on = 0 stops receiving (no state report); otherwise a picture starts now.
  void Run(int on);
  // While receiving: search the line syncs again.
  void AutoSync();
  // Moves the line start by delta positions, kept inside one line period.
  void SetSync(int delta);
  int Connect(HWND window, int kind);
  int DisConnect(HWND window, int kind);

  // One block of blockSize samples; with mix-sync the caller's block gets the sync tone.
  void Decode(AudioBlock* block);

  // Line y (0 ... lines - 1) in colour (320 x 1, 24 bits); the bitmap is reused by each call.
  HBITMAP GetLine(int y);
  // Every line into the picture bitmap (320 x lines, 24 bits). Both stay the decoder's.
  HBITMAP GetPicture();

  // Running values, for the owner's status and for checks.
  unsigned long GetState() const;
  int GetLineOffset() const { return line_offset_; }
  int GetLineCount() const { return line_count_; }
  int GetLastVIS() const { return last_vis_; }
  int GetLevel() const { return level_; }  // last demodulated level, 0 white ... 255 black
  int GetPositionsPerLine() const { return positions_; }
  int GetSyncPositions() const { return sync_int_; }
  int GetSyncFrequency() const { return sync_freq_; }
  const uint8_t* GetRawStore() const { return raw_; }
  int GetRawSize() const { return raw_size_; }
  int GetWritePosition() const { return write_pos_; }

 private:
  void Release();
  void ReleaseMode();
  void InitReceive(int from_sample, double first_line_pos);
  void ReportState();
  void StopReceiving();
  int LevelOf(double half) const;
  void MeasureSnr(const float* x, int n);  // adds the block to the chunk moments
  double HeaderSnr(long long end) const;   // over the VIS header that ended before sample end
  // The picture band's zero crossings: picture_level_ from the period ending at sample i.
  void TrackPictureBand(const float* y, int i);
  // Detectors on the band-passed block while idle; the sample at which a picture starts, or -1.
  int RunVis(const float* x, int n);
  int RunToneVis(const float* x, int n);
  // A VIS announcing `code` ended after sample i of the block: the picture starts. The sample
  // its store starts at, or -1 (an unknown or unset mode).
  int StartFromVis(int code, int i);
  int RunVerticalSync(const float* x, int n);
  void PushHistory(int value, int length);
  int GroupMean(int first) const;
  int DecodeVisHistory();
  void WritePosition(int v, int f, uint32_t tick);
  void SyncRun(int f);
  void Register(int pos);
  void FinishAutoSync();
  void FinishFromHistogram();
  void TakeSync(double sync_start, int tol);  // the line start from a sync's place: search over
  double RefineSync(double estimate) const;
  void FitSlant();
  double LineStart(int y) const;  // raw position where line y's period starts
  double LineScale() const;       // positions of the fitted line per nominal position
  void LineStep();
  double ScanValue(int y, const SstvScan& scan, int pixel) const;
  double FineMean(double from, double to) const;  // the fine store over raw positions from ... to
  CWindowList* ListOf(int kind);

  // Settings.
  int sample_rate_ = 11025, block_size_ = 1024;
  int low_ = 1000, high_ = 2500, taps_ = 64, window_ = 0;
  int mode_ = kSstvMartin1;
  bool mix_sync_ = false, avis_ = true, tone_vis_ = false;
  CSstvVisDetector vis_tones_;
  int matrix_ = kSstvMatrixOfMode;
  double timing_table_[kSstvModeSlots] = {};
  // Derived by SetMode.
  const SstvMode* geometry_ = nullptr;
  int positions_ = 0, sync_int_ = 0;
  int line_end_ = 0;  // positions from a line's start to the end of its last scan
  double timing_ = 0.0;
  // Running state.
  bool receiving_ = false, searching_ = false;
  int line_offset_ = 0;
  double offset_fraction_ = 0.0;  // the measured line start's part of a position
  int registrations_ = 0, hold_off_ = 0;
  int owed_ = 0;
  double clock_ = 0.0;
  int write_pos_ = 0, line_count_ = 0, block_pos_ = 0;
  int sync_sum_ = 0, sync_count_ = 0, sync_freq_ = 0, sync_seen_ = 0;
  int last_vis_ = 0;
  float prev_ = 0.0f, last_cross_ = 0.0f;
  double prev_half_ = 0.0;
  int level_ = 0;
  float peak_average_ = 1.0f, peak_sum_ = 0.0f;
  int peak_count_ = 0;
  int receive_from_ = 0;        // first sample of the current block that belongs to the picture
  double first_line_pos_ = -1;  // expected raw position of line 0's start; -1 when unknown
  // Line sync registration: a run of sync-band crossings and where it began.
  int sync_run_ = 0, sync_run_start_ = 0;
  static constexpr int kMaxRegistrations = 4;
  int reg_pos_[kMaxRegistrations] = {};
  // Sync-band positions counted by their place in the line while searching.
  uint16_t* sync_hist_ = nullptr;
  // Automatic slant: which raw positions were written in the sync band, and the fitted line
  // geometry (line y starts at fit_origin_ + y x fit_period_ positions).
  uint8_t* sync_raw_ = nullptr;
  bool auto_slant_ = false, fitted_ = false;
  double fit_origin_ = 0.0, fit_period_ = 0.0;
  // VIS and vertical-sync detectors.
  static constexpr int kVisHistory = 110, kVerticalHistory = 20;
  int16_t history_[kVisHistory] = {};
  int history_fill_ = 0;
  double det_prev_ = 0.0, det_last_t_ = 0.0;
  int det_sum_ = 0, det_count_ = 0, det_phase_ = 0, det_cell_ = 33;
  // Owned objects.
  uint8_t* raw_ = nullptr;
  int raw_size_ = 0;
  // The same levels kFineSteps times as finely (about one a sample at 11025 Hz): pixels are
  // read from it, and the slant fit places the syncs in it.
  uint8_t* fine_ = nullptr;
  uint8_t* fine_sync_ = nullptr;  // which fine positions were written in the sync band
  int fine_size_ = 0, fine_pos_ = 0, fine_owed_ = 0;
  double fine_clock_ = 0.0;
  uint8_t* level_table_ = nullptr;
  HBITMAP line_bitmap_ = nullptr, picture_ = nullptr;
  AudioBlock* band_ = nullptr;
  // The narrower picture band (same order as the band-pass, so the same delay) and its own
  // zero-crossing detector; the SNR measure that chooses between the two.
  CFilter picture_pass_, snr_pass_;
  AudioBlock* picture_band_ = nullptr;
  float pic_prev_ = 0.0f, pic_last_cross_ = 0.0f;
  double pic_prev_half_ = 0.0;
  int picture_level_ = 0;
  // Sums of x^2 and x^4 of the SNR filter's output in chunks of kSnrChunk samples, a ring that
  // holds a VIS header; chunk k covers samples k x kSnrChunk ... since Init.
  std::vector<double> chunk_m2_, chunk_m4_;
  long long samples_ = 0, block_start_ = 0, chunks_ = 0;
  double acc_m2_ = 0.0, acc_m4_ = 0.0;
  double noise_share_ = 1.0;  // white noise in 3 kHz per noise passed by the SNR filter
  double snr_db_ = kSstvSnrUnknown;
  bool narrow_ = false;
  AudioBlock* output_ = nullptr;
  AudioBlock* position_block_ = nullptr;
  AudioBlock* tone_ = nullptr;
  CFilter band_pass_;
  CToneGen tone_gen_;
  CWindowList input_windows_, position_windows_, output_windows_;
  bool ready_ = false;
  bool decoding_ = false, reinit_pending_ = false;
};
