#include "spl/decoders/viterbi_coder_qpsk.h"

#include <cstring>

namespace {
constexpr uint32_t kCodeWordSentinel = 4;  // binary 100: the two closing 0 bits and a stop 1
constexpr unsigned long kSymbolMask = 3;
}  // namespace

CViterbiCoderQPSK::CViterbiCoderQPSK() {
  for (int i = 0; i < kQpskWindows; ++i) symbols_[i] = QpskWindowSymbol(uint32_t(i));
  for (int c = 0; c < kVaricodeSize; ++c) {
    const char* code = kVaricode[c];
    uint32_t word = kCodeWordSentinel;
    for (int i = int(strlen(code)) - 1; i >= 0; --i) word = word * 2 + (code[i] == '1');
    codes_[c] = word;
  }
  memset(text_, 0, sizeof text_);
}

int CViterbiCoderQPSK::SetReverseMode(int reverse) {
  const int old = reverse_;
  reverse_ = reverse;
  return old;
}

int CViterbiCoderQPSK::Parity(unsigned char v) {
  int p = 0;
  for (; v; v >>= 1) p ^= v & 1;
  return p;
}

unsigned long CViterbiCoderQPSK::EncodePartiallyWord(unsigned long reg) {
  const unsigned long symbol = symbols_[~reg & (kQpskWindows - 1)];
  return reverse_ ? (0 - symbol) & kSymbolMask : symbol;
}

unsigned long CViterbiCoderQPSK::EncodeBit(int bit) {
  register_ = register_ * 2 + uint32_t(bit & 1);
  return EncodePartiallyWord(register_);
}

void CViterbiCoderQPSK::SetCodeWord(unsigned long word) { word_ = uint32_t(word); }

int CViterbiCoderQPSK::AppendText(const char* text) {
  if (!text) return 0;
  const size_t n = strlen(text);
  if (size_t(length_) + n > size_t(kQpskTextBuffer - 1)) return 0;
  memcpy(text_ + length_, text, n);
  length_ += int(n);
  text_[length_] = '\0';
  return 1;
}

unsigned long CViterbiCoderQPSK::GetNextSymbol() {
  const unsigned long symbol = EncodePartiallyWord(register_);
  register_ = register_ * 2 + (word_ & 1);
  word_ >>= 1;
  if (word_ <= 1) {
    if (length_ > 0) {
      SetCodeWord(codes_[static_cast<unsigned char>(text_[0])]);
      memmove(text_, text_ + 1, size_t(length_));  // the NUL moves along
      --length_;
    } else {
      SetCodeWord(0);
    }
  }
  return symbol;
}
