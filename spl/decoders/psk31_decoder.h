// CPSK31Decoder: PSK31 keyboard-to-keyboard text at 31.25 symbols per second, as BPSK31
// (differential binary phase keying) or QPSK31 (four phases carrying a rate-1/2 convolutional
// code, decoded by CViterbiDecoderQPSK). CPsk31Demodulator finds and follows the carrier near the
// set tone and delivers the phase step of each symbol; this class turns the steps into bits
// (BPSK: the sign; QPSK: soft decisions into the Viterbi decoder), frames the Varicode and hands
// each character to Char while the signal quality is above the squelch threshold.
#pragma once
#include <complex>
#include <cstdint>
#include <memory>

#include "spl/audio/audio_block.h"
#include "spl/audio/sound_device.h"
#include "spl/decoders/decoder_windows.h"
#include "spl/decoders/viterbi_decoder_qpsk.h"
#include "spl/dsp/filter.h"
#include "spl/decoders/psk31_demodulator.h"

// Signal kinds posted to the connected windows.
constexpr int kPsk31BandPassChannel = 7;     // carrier band-pass output
constexpr int kPsk31DemodulatedChannel = 8;  // phase step of the last symbol (degrees)
// Squelch: quality (0 ... 100) below which nothing is printed; noise alone stays under it.
constexpr int kPsk31DefaultQualityThreshold = 50;

class CPSK31Decoder {
 public:
  CPSK31Decoder() = default;
  CPSK31Decoder(const CPSK31Decoder&) = delete;
  CPSK31Decoder& operator=(const CPSK31Decoder&) = delete;
  // Each decoded character code (0 ... 255).
  virtual void Char(int ch) {}
  virtual ~CPSK31Decoder();

  // carrier (Hz) with its +-32 Hz band inside 0 ... rate / 2; sampleRate 1000 ... 384000 Hz;
  // blockSize >= 1 (samples per Decode step); taps is stored only. All receiver state starts
  // afresh (the carrier search, loops, symbol clock, Viterbi decoder; the mode, sideband and
  // squelch settings stay). 1, or 0 (object unchanged) for bad values, 0 after a failed
  // allocation.
  int Init(int carrier, int sampleRate, int blockSize, int taps);
  // 1 BPSK31, 0 QPSK31; takes effect at the next block.
  void SetBPSKModeActive(int bpsk);
  // QPSK31 received on the other sideband: symbols 1 and 3 exchanged. Returns the old flag.
  int SetReverseMode(int reverse);
  // kPsk31BandPassChannel or kPsk31DemodulatedChannel; 0 otherwise or for a duplicate/absence.
  int Connect(HWND wnd, int channel);
  int DisConnect(HWND wnd, int channel);
  // Processes one block of any length (in steps of at most the block size).
  void Decode(const AudioBlock* in);

  // Squelch threshold 0 ... 100 (0: always print); others are clamped.
  void SetQualityThreshold(int q);
  int GetQualityThreshold() const { return threshold_; }
  // 0 ... 100: how tightly the recent symbols sit on the keying phases.
  int GetQuality() const;

  int GetSamplesPerSymbol() const { return symbol_; }
  // 1 while the squelch is open, 0 while it holds the text back (the characters of the last
  // two seconds are printed when it opens).
  int GetLockCounter() const { return lock_; }
  uint32_t GetBitRegister() const { return register_; }
  // The carrier found and followed (Hz); the set tone until a signal is found.
  double GetCarrierFrequency() const { return demodulator_.GetCarrierFrequency(); }
  // The set tone (Hz): the first argument of Init.
  double GetSetTone() const { return carrier_; }
  // Same as GetCarrierFrequency (the loop runs at the found carrier).
  double GetLoopFrequency() const { return demodulator_.GetCarrierFrequency(); }

 private:
  void Release();
  void DecodeStep(const AudioBlock* in);
  void TakeSymbol();
  void TakeBit(int bit);
  void RateQpskBit(int bit);
  void UpdateSquelch();
  // QPSK: agreement of the decoded bits with the phase steps, 0 ... 100.
  int CodedQuality() const;

  int rate_ = 11025;
  int block_ = 1024;
  int taps_ = 128;
  double carrier_ = 1000.0;
  CDecoderWindows windows_{kPsk31BandPassChannel, kPsk31DemodulatedChannel};
  int symbol_ = 353;  // samples per symbol at the input rate
  uint32_t register_ = 0;
  int lock_ = 0;
  int threshold_ = kPsk31DefaultQualityThreshold;
  float step_degrees_ = 0.0f;  // the last symbol's phase step, for the display
  // QPSK quality: each decided bit, coded again, against the phase step it was decided from.
  static constexpr int kStepHistory = 32;  // more than the Viterbi decision depth
  std::complex<float> steps_[kStepHistory] = {};
  int step_pos_ = 0;    // where the next step goes
  int step_count_ = 0;  // steps held, up to kStepHistory
  uint32_t decided_ = 0;  // the decided bits, the newest in bit 0
  double qpsk_quality_ = 0.0;
  // Characters framed while the squelch was shut, with the symbol count at their end: the
  // quality needs a second or two to rise on a weak signal, and when it opens the characters
  // of that time are printed after all.
  struct HeldChar {
    int ch;
    long symbol;
    float level;  // the mean symbol step size over its bits
  };
  static constexpr int kHeldChars = 16;
  HeldChar held_[kHeldChars] = {};
  int held_count_ = 0;
  double char_level_sum_ = 0.0;  // symbol step sizes since the last character or idle bit
  int char_level_count_ = 0;
  long symbols_ = 0;  // symbols since Init
  CFilter band_pass_;
  AudioBlock* band_ = nullptr;
  AudioBlock* demodulated_ = nullptr;
  AudioBlock* staging_ = nullptr;  // one step of an input longer than the block size
  std::unique_ptr<CViterbiDecoderQPSK> viterbi_;
  CPsk31Demodulator demodulator_;
  int bpsk_ = 1;
  int reverse_ = 0;
};
