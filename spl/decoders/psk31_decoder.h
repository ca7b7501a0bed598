// CPSK31Decoder: PSK31 keyboard-to-keyboard text at 31.25 symbols per second, as BPSK31
// (differential binary phase keying) or QPSK31 (four phases carrying a rate-1/2 convolutional
// code, decoded by CViterbiDecoderQPSK). A Costas loop locks to the carrier; this class does
// symbol timing, bit decisions and Varicode framing and hands each character to Char.
#pragma once
#include <cstdint>
#include <memory>

#include "spl/audio/audio_block.h"
#include "spl/audio/sound_device.h"
#include "spl/decoders/decoder_windows.h"
#include "spl/decoders/viterbi_decoder_qpsk.h"
#include "spl/dsp/filter.h"
#include "spl/dsp/pll.h"

// Signal kinds posted to the connected windows.
constexpr int kPsk31BandPassChannel = 7;     // carrier band-pass output
constexpr int kPsk31DemodulatedChannel = 8;  // demodulated signal (BPSK) or symbol phase (QPSK)

class CPSK31Decoder {
 public:
  CPSK31Decoder() = default;
  CPSK31Decoder(const CPSK31Decoder&) = delete;
  CPSK31Decoder& operator=(const CPSK31Decoder&) = delete;
  // Each decoded character code (0 ... 255).
  virtual void Char(int ch) {}
  virtual ~CPSK31Decoder();

  // carrier (Hz) with its +-32 Hz band inside 0 ... rate / 2; sampleRate 1000 ... 384000 Hz;
  // blockSize >= 1 (samples per Decode step); taps is stored only (the filters have 256 and 64
  // taps at 11025 Hz, in proportion at other rates). 1, or 0 (object unchanged) for bad values,
  // 0 after a failed allocation.
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

  int GetSamplesPerSymbol() const { return symbol_; }
  int GetLockCounter() const { return lock_; }
  uint32_t GetBitRegister() const { return register_; }
  double GetCarrierFrequency() const { return carrier_; }
  // The Costas loop's oscillator frequency (Hz).
  double GetLoopFrequency() const { return loop_.GetActualFrequency(); }

 private:
  void Release();
  void DecodeStep(const AudioBlock* in);
  void DecodeBpsk();
  void DecodeQpsk();
  void AppendSymbols(const AudioBlock* b);
  void Consume(int n);
  void Frame();
  int BpskTiming();
  int QpskTiming(int before);
  int MapQpskSymbol(float m);

  int rate_ = 11025;
  int block_ = 1024;
  int taps_ = 128;
  double carrier_ = 1000.0;
  CDecoderWindows windows_{kPsk31BandPassChannel, kPsk31DemodulatedChannel};
  int symbol_ = 353;  // samples per symbol
  float* symbols_ = nullptr;  // symbol buffer of symbol_capacity_ samples
  int symbol_capacity_ = 0;
  int fill_ = 0;
  float previous_ = 0.0f;
  uint32_t register_ = 0;
  int lock_ = 0;
  int before_ = 0;  // samples in the symbol buffer before the current block (QPSK)
  CFilter band_pass_;
  CFilter low_pass_;
  AudioBlock* band_ = nullptr;
  AudioBlock* loop_out_ = nullptr;
  AudioBlock* staging_ = nullptr;  // one step of an input longer than the block size
  std::unique_ptr<CViterbiDecoderQPSK> viterbi_;
  CPLL loop_;
  int bpsk_ = 1;
  int reverse_ = 0;
};
