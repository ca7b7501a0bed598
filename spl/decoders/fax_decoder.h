// CFaxDecoder: turns receiver audio carrying a facsimile picture into lines of 8-bit gray
// pixels: FM weather fax (start tones, phasing, stop tone) and AM satellite fax (carrier-peak or
// envelope demodulation with a sync burst in every line). Lines go to FaxLine, receive-state
// changes to FaxState; the band-passed input, each line and the demodulated signal are posted
// to the windows connected for kinds 9, 10 and 11.
#pragma once

#include <complex>
#include <vector>

#include "spl/audio/audio_block.h"
#include "spl/audio/sound_device.h"
#include "spl/dsp/filter.h"
#include "spl/dsp/frq_shift.h"
#include "spl/dsp/pll.h"
#include "spl/image/dib_section.h"
#include "spl/platform/bitmap.h"

// Signal kinds posted to the connected windows.
constexpr int kFaxInputChannel = 9;    // band-passed input, once per block
constexpr int kFaxLineChannel = 10;    // the finished line's values, once per line
constexpr int kFaxOutputChannel = 11;  // demodulated signal at the audio rate, once per block

// Receive states and the tone events passed to FaxState.
constexpr int kFaxWaitStart = 1;
constexpr int kFaxStart300 = 2;
constexpr int kFaxStart675 = 3;
constexpr int kFaxStop450 = 4;
constexpr int kFaxWaitSync = 5;
constexpr int kFaxWaitPicture = 6;
constexpr int kFaxWaitStop = 7;
// "FAX_WAIT_START" ... for codes 1 ... 7; null for another code.
const char* FaxStateName(int code);

// The line bitmap is made with the inherited picture operations, whose error code reports why
// an Init failed to create it.
class CFaxDecoder : public CDibSection {
 public:
  CFaxDecoder();
  CFaxDecoder(const CFaxDecoder&) = delete;
  CFaxDecoder& operator=(const CFaxDecoder&) = delete;
  virtual ~CFaxDecoder();
  // A line is complete; the bitmap (xSize x 1, 8 bits, 0 white ... 255 black) is rewritten by
  // the next line. burst: 0 in FM, FindBurst's result in the AM modes.
  virtual void FaxLine(HBITMAP line, int burst) {}
  // The receive state changed (1, 5, 6, 7) or a tone was recognised (2, 3, 4).
  virtual void FaxState(int code) {}

  // sampleRate 1000 ... 192000 Hz; blockSize a power of two, 128 ... 65536; filterTaps 2 ...
  // 4096; filterWindow kFilterWindow... bits. The tones (centre -+ shift/2 and the band-pass)
  // must lie inside 0 ... rate/2 and a pixel must take more than one sample. 1 or 0.
  int Init(int sampleRate, int blockSize, int filterTaps, int filterWindow);
  // Store and run Init again with its last arguments (receive state restarts). Called from
  // FaxLine/FaxState, the new set-up takes effect after the current block.
  int SetFaxDecoder(int centerFreq, int shift, int width);
  int SetFaxMode(int ioc, int rpm);
  void SetFaxParam(int syncPercent, int syncPolarity);
  // Pixels per sample (slant correction), 0 < step < 1; 0.0 restores the nominal step by
  // running Init again. 0 for any other value.
  int SetKorr(double step);
  double GetKorr() const { return pixel_step_; }
  void SetSyncPos(int delta);
  // A start tone was recognised before a module change, whose Init restarted the receive
  // state: look for the phasing lines now (state 5, not reported), as after a start tone.
  void ExpectPhasing();
  void SetDirection(int direction) { direction_ = direction; }
  // The FM demodulator: 0 (the default) times the zero crossings, each pixel taking the last
  // half period measured; 1 mixes the band to zero, low-passes it and takes the phase step from
  // sample to sample, each pixel the mean over its own samples (much less noise and blur; the
  // station and the tool use it). Takes effect at once.
  void SetFmQuadrature(int on);
  // The envelope demodulator (DecodeAMFilter): 0 (the default) squares, low-passes and takes
  // the root, one sample a pixel, levels from the burst's extremes at an adapting rate; 1 mixes
  // the band to zero as the quadrature FM does, each pixel the mean magnitude over its own
  // samples, and takes the levels from a fit of the keyed burst, at once from the first burst
  // and then averaged (the tool and the station use it). Takes effect at once.
  void SetAmQuadrature(int on);
  void SetAutoSync(double step) { auto_sync_ = step; }
  void SetAutoBright(double rate) { auto_bright_ = rate < 0.0 ? 0.0 : rate > 0.1 ? 0.1 : rate; }
  int GetXSize() const { return x_size_; }
  int GetState() const { return state_; }
  // Burst frequency at the pixel rate (Hz), length (pixels, 1 ... xSize), white share (%).
  // Run after Init and after every change of ioc or rpm. 1 or 0.
  int DefineBurst(int freq, int len, int percent);
  int Connect(HWND window, int kind);
  int DisConnect(HWND window, int kind);

  // One block of exactly blockSize samples each.
  void DecodeFM(const AudioBlock* block);
  void DecodeAM(const AudioBlock* block);
  void DecodeAMFilter(const AudioBlock* block);

  double GetBlackLevel() const { return black_level_; }
  double GetWhiteLevel() const { return white_level_; }

 private:
  void Release();
  void ComputeDerived();
  int Ready() const { return ready_; }
  bool PutPixel(int byte, float value);  // true when it finished a line
  void EndLineFM(uint32_t tick);
  // The band-passed block mixed to zero and low-passed by the arms lowI / lowQ.
  void MixToBase(const float* x, CFilter& lowI, CFilter& lowQ);
  int QuadratureLevel(int i);      // the level from sample i of the low-passed block
  void BurstLevels(const float* v);  // black and white from the burst's line values
  void MakeBurstTemplate();          // the burst's darkness as the quadrature AM path sees it
  void EndLineAM(double& clock);
  void FeedTones(int upto);  // band-passes and decimates output samples up to `upto`
  int ToneFrequency();       // Hz of the strongest modulation in the tone history
  void CheckLine();
  void StartToneRule(int f);
  void Enter(int state);
  int CheckSync();
  int FindBurst();
  double Level(double amplitude) const;
  void BeginDecode();
  void EndDecode();
  CWindowList* ListOf(int kind);

  // Settings.
  int sample_rate_ = 11025, block_size_ = 1024, filter_taps_ = 64, filter_window_ = 0;
  int center_ = 1900, shift_ = 800, width_ = 1200, ioc_ = 576, rpm_ = 120;
  int sync_percent_ = 5, sync_polarity_ = 0;
  double sync_threshold_ = 128.0;
  int burst_freq_ = 1040, burst_len_ = 39, burst_percent_ = 100;
  int direction_ = 0;
  double auto_bright_ = 0.05, auto_sync_ = 0.1;
  // Derived.
  double half_black_ = 0.0, half_white_ = 0.0, gray_scale_ = 0.0, pixel_step_ = 0.0;
  int x_size_ = 0, quarter_ = 0;
  // Tone detection: the demodulated signal decimated to toneRate, n_fft_ values in a ring.
  int tone_decimation_ = 1, fft_order_ = 1, n_fft_ = 2;
  double tone_rate_ = 0.0;
  // Running state.
  int state_ = kFaxWaitStart, line_pos_ = 0;
  double black_level_ = 0.0, white_level_ = 255.0;
  int sync_hits_ = 0, sync_sum_ = 0, phasing_lines_ = 0, tone300_ = 0, tone450_ = 0, tone675_ = 0;
  // FM demodulator.
  double fm_clock_ = 0.0, fm_last_cross_ = 0.0, fm_prev_ = 0.0;
  int fm_owed_ = 0, fm_value_ = 0;
  // Quadrature FM demodulator: the mixer, the low-pass of either arm and the levels summed over
  // the pixel being written.
  bool fm_quadrature_ = false, am_quadrature_ = false, levels_found_ = false;
  bool quadrature_line_ = false;  // the line being written comes from the quadrature AM path
  std::vector<std::vector<double>> burst_templates_;
  double grid_shift_ = 0.0;  // pixels the AM pixel grid is to move to meet the sent one
  std::complex<double> mix_ = 1.0, mix_step_ = 1.0, last_z_ = 0.0;
  CFilter quadrature_i_, quadrature_q_;
  CFilter am_arm_i_, am_arm_q_;  // the quadrature AM path's narrower arms
  AudioBlock* mixed_i_ = nullptr;
  AudioBlock* mixed_q_ = nullptr;
  AudioBlock* base_i_ = nullptr;
  AudioBlock* base_q_ = nullptr;
  double pixel_level_ = 0.0;
  int pixel_samples_ = 0;
  // AM demodulator.
  double am_clock_ = 0.0, am_prev_ref_ = 0.0, am_last_cross_ = 0.0, am_half_ = 0.0;
  int am_sample_at_ = -1;
  double am_sum_ = 0.0;
  int am_count_ = 0, am_owed_ = 0;
  // Envelope demodulator.
  double env_clock_ = 0.0;
  // Owned objects.
  HBITMAP line_bitmap_ = nullptr;
  uint8_t* line_pixels_ = nullptr;
  AudioBlock* band_ = nullptr;
  AudioBlock* reference_ = nullptr;
  AudioBlock* line_ = nullptr;
  AudioBlock* output_ = nullptr;
  AudioBlock* tone_imag_ = nullptr;  // imaginary part of the tone spectrum
  AudioBlock* tone_history_ = nullptr;
  AudioBlock* spectrum_ = nullptr;
  AudioBlock* burst_filtered_ = nullptr;
  AudioBlock* burst_envelope_ = nullptr;
  CFilter band_pass_, envelope_low_pass_, tone_band_pass_, burst_band_pass_, burst_low_pass_;
  CPLL pll_;
  CFrqShift shifter_;
  CWindowList input_windows_, line_windows_, output_windows_;
  AudioBlock* tone_in_ = nullptr;   // a stretch of the demodulated block ...
  AudioBlock* tone_out_ = nullptr;  // ... and its tone band-passed copy
  int tone_fill_ = 0, tone_phase_ = 1, tone_done_ = 0;
  int ready_ = 0;
  int burst_ready_ = 0;
  int decoding_ = 0;       // inside a Decode call: re-initialisation is deferred
  int reinit_pending_ = 0;
};
