// CFskReceiver: the matched-filter receiver of frequency-shift-keyed teleprinter signals, the
// sensitive path of CRttyDecoder. Each tone is mixed to zero and summed over exactly one bit
// (the filter matched to one bit of keyed carrier). The two outputs, each weighed against its
// tone's own quickly followed level (tones fade together and alone), give soft bit values.
// Baudot characters are placed by the whole frame (start, five data and the stop bit must
// agree); SITOR-B characters by the bit clock, by where the 7-bit words are valid 4-of-7 codes
// and by the repeat of every character 35 bits later (which copy is DX), and both copies are
// added softly before the 4-of-7 decision. Received codes are
// collected for the owner to print, each with the quality (0...100) at its arrival.
#pragma once
#include <complex>
#include <cstdint>
#include <utility>
#include <vector>

// Framings.
constexpr int kFskFrameBaudot = 0;  // start bit, 5 data bits, at least one stop bit
constexpr int kFskFrameSitor = 1;   // synchronous 7-bit 4-of-7 code, DX and RX copies

struct FskCode {
  int code;     // Baudot: 5 data bits, first received = weight 16; SITOR-B: 7 bits, first = 64
  int quality;  // the receiver's quality when the code arrived, 0...100
};

class CFskReceiver {
 public:
  CFskReceiver() = default;
  CFskReceiver(const CFskReceiver&) = delete;
  CFskReceiver& operator=(const CFskReceiver&) = delete;

  // rate: samples per second, > 0; baud: bits per second (fractional), at least 8 samples per
  // bit; one, zero: the tones of binary 1 and 0 in Hz, inside 0 ... rate/2; framing: one of
  // kFskFrame*. Clears all state. 0 when the settings cannot work.
  int Init(int rate, double baud, double one, double zero, int framing);
  // Moves both tones (tuning); the integrators keep running.
  void SetTones(double one, double zero);
  // Processes n samples; codes found are appended to Codes(), which the owner empties.
  void Process(const float* x, int n);
  std::vector<FskCode>& Codes() { return codes_; }

  // 0 ... 100: Baudot from the ratio of the stronger to the weaker tone at the bit centres of
  // accepted frames; SITOR-B from how much alike the two copies of the characters are.
  int Quality() const { return quality_; }
  double One() const { return one_hz_; }
  double Zero() const { return zero_hz_; }
  double SamplesPerBit() const { return spb_; }

 private:
  float V(int64_t n) const { return v_[size_t(n - base_)]; }
  void Trim();
  void FrameBaudot();
  void FrameSitor();
  void ClockSitor(int64_t n, float v);
  void EmitSitor();
  double Margin(int64_t first_bit) const;
  // The frame starting at sample `frame`, its stronger and weaker tone summed over its bits.
  void UpdateToneQuality(int64_t frame, double strong, double weak);
  // A frame's stronger tone summed over its bits lies well below the long-term level.
  bool Fallen(double frame_strong) const;

  static constexpr int kClockBins = 16;
  static constexpr int kSitorCycle = 14;  // a DX and an RX character

  int rate_ = 0, framing_ = kFskFrameBaudot, len_ = 0;
  double baud_ = 0.0, spb_ = 0.0, one_hz_ = 0.0, zero_hz_ = 0.0;
  std::complex<double> rot1_{1.0, 0.0}, rot0_{1.0, 0.0}, step1_{1.0, 0.0}, step0_{1.0, 0.0};
  std::complex<double> sum1_, sum0_;
  std::vector<std::complex<double>> ring1_, ring0_;
  int ring_at_ = 0;
  double ref1_ = 0.0, ref0_ = 0.0;  // energy levels of the tones of 1 and 0 (fading)
  int64_t seen1_ = 0, seen0_ = 0;  // samples where each tone was the stronger
  // Soft values and tone energies per sample; v_[0] is sample base_.
  std::vector<float> v_, e1_, e0_;
  int64_t base_ = 0, next_ = 0;
  // Baudot framing.
  int64_t hunt_ = 0, earliest_ = 0;
  bool locked_ = false, have_last_ = false;
  int misses_ = 0;
  int lock_frames_ = 0;  // frames placed since the clock started
  double last_start_ = 0.0, period_ = 0.0;  // character clock, samples
  double strong_ = 0.0, weak_ = 0.0;
  int tone_count_ = 0;
  std::vector<std::pair<double, double>> recent_;  // stronger and weaker tone of recent frames
  double last_strong_ = 0.0;  // the stronger tone of the last frame placed
  // SITOR-B bit clock, bits and alignment.
  double clock_[kClockBins] = {};
  double phase_ = 0.5;
  double last_when_ = 0.0;  // sample time of the last bit taken
  int64_t bit_index_ = 0;  // next bit to take
  int64_t clock_bit_ = 0;  // bit period of the last clock decay
  std::vector<float> bits_;
  std::vector<std::pair<float, float>> bit_tones_;  // stronger and weaker tone at each bit
  double char_level_ = 0.0;  // the stronger tone over the characters' DX and RX bits, averaged
  int char_level_count_ = 0;
  int64_t bits_base_ = 0;
  double corr_[kSitorCycle] = {};
  int corr_count_ = 0;
  int64_t corr_next_ = 0;
  double valid_[kSitorCycle] = {};  // share of valid 4-of-7 words starting at each bit
  int valid_count_ = 0;
  int64_t valid_next_ = 0;
  int align_ = 0;  // bit of the 14-bit cycle where DX characters start
  bool ordered_ = false;  // the DX/RX order of align_ is trusted
  int ordered_align_ = 0;  // next bit whose correlation is due
  int64_t next_char_ = 0;
  double power_ = 1.0;  // mean square of the soft bits
  double agree_ = 0.0;  // how often the two copies agree
  int agree_count_ = 0;
  int quality_ = 0;
  std::vector<FskCode> codes_;
};
