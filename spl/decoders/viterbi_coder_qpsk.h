// CViterbiCoderQPSK: the QPSK31 encoder. Text appended to its buffer leaves as Varicode bits
// through the rate-1/2, constraint-length-5 convolutional code, one phase symbol (0 ... 3) per
// GetNextSymbol; with the buffer empty it sends 0 bits, which code as reversals (the idle).
#pragma once
#include <cstdint>

#include "spl/decoders/qpsk_code.h"
#include "spl/decoders/varicode.h"

constexpr int kQpskTextBuffer = 1024;  // bytes, the terminating NUL included

class CViterbiCoderQPSK {
 public:
  CViterbiCoderQPSK();
  CViterbiCoderQPSK(const CViterbiCoderQPSK&) = delete;
  CViterbiCoderQPSK& operator=(const CViterbiCoderQPSK&) = delete;

  // Sideband: with the flag set symbols 1 and 3 are exchanged. Returns the previous flag.
  virtual int SetReverseMode(int reverse);
  // Shifts bit into the register and returns the symbol of the new register.
  virtual unsigned long EncodeBit(int bit);
  // The next symbol (0 ... 3) of the text; 0 bits when the buffer is empty.
  virtual unsigned long GetNextSymbol();
  virtual void SetCodeWord(unsigned long word);
  virtual ~CViterbiCoderQPSK() = default;
  // Symbol of the register's low five bits (complemented window), after the reverse flag.
  virtual unsigned long EncodePartiallyWord(unsigned long reg);
  // Exclusive or of the eight bits.
  virtual int Parity(unsigned char v);

  // Appends text; 0 (nothing appended) when the buffer would hold more than 1023 characters.
  int AppendText(const char* text);
  // Characters still waiting in the buffer.
  int GetTextLength() const { return length_; }
  // The packed code word of ch: Varicode bits first bit lowest, then two 0 bits, then a 1.
  uint32_t GetCodeWord(int ch) const { return codes_[ch & (kVaricodeSize - 1)]; }

 private:
  uint8_t symbols_[kQpskWindows];
  uint32_t codes_[kVaricodeSize];
  char text_[kQpskTextBuffer];
  int length_ = 0;
  int reverse_ = 0;
  uint32_t register_ = 0;
  uint32_t word_ = 0;
};
