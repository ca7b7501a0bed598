// Chsv: a 24-bit picture held as hue, saturation and value per pixel, so that the picture
// editor's brightness and contrast change only the value and keep every pixel's colour.
#pragma once
#include <cstdint>
#include <vector>

#include "spl/image/dib_section.h"

class Chsv {
 public:
  // One sixth of the colour circle in hue units; the whole circle is six of them.
  static constexpr int kSector = 10920;
  static constexpr int kCircle = 6 * kSector;
  static constexpr uint16_t kNoHue = 0xFFFF;  // black and gray pixels have no hue

  // Takes the colours of a 24-bit picture; 0 for another depth or no picture.
  int Init(HBITMAP src);
  int GetWidth() const { return m_width; }
  int GetHeight() const { return m_height; }

  // Value changes, clamped to 0 ... 255:
  // brightness: v * (1 + 0.05 * level), rounded; -20 <= level makes no pixel darker than black.
  void Brighten(int level);
  // contrast around the middle: (v - 128) * (1 + k * level) truncated toward zero, plus 128,
  // k = 0.1 for positive levels and 0.05 for negative ones.
  void Contrast(int level);

  // Writes the colours into a 24-bit picture of the same size; 0 when it is none.
  int Store(HBITMAP dst) const;

  // One pixel: 0x00BBGGRR to hue (0 ... kCircle - 1, or kNoHue), saturation and value, and
  // back. Rounding is to the nearest integer, halves to even.
  static void FromRgb(COLORREF c, uint16_t& hue, uint8_t& sat, uint8_t& val);
  static COLORREF ToRgb(uint16_t hue, uint8_t sat, uint8_t val);

 private:
  std::vector<uint16_t> m_hue;
  std::vector<uint8_t> m_sat, m_val;
  int m_width = 0, m_height = 0;
};
