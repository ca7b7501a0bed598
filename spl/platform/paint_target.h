// Paint targets: the windows the display engines draw into. A target has a client size and is
// asked to show a picture; CMemoryPaintTarget is an off-screen one (tests, the tool), a
// desktop widget adapter implements the same interface.
#pragma once
#include "spl/platform/bitmap.h"

class IPaintTarget {
 public:
  virtual ~IPaintTarget() = default;
  virtual int ClientWidth() const = 0;
  virtual int ClientHeight() const = 0;
  // Shows the picture with its top left corner at (x, y) of the client area.
  virtual void Show(HBITMAP picture, int x, int y) = 0;
  // Draws a sunken edge, 2 pixels wide, around the client area.
  virtual void SunkenEdge() = 0;
  // Called before a picture handed to Show is destroyed: a target that keeps showing it
  // (rather than a copy of it) must let go of it here. Hence a target outlives the engines
  // that draw into it.
  virtual void PictureGone(HBITMAP /*picture*/) {}
};
using HPAINT = IPaintTarget*;  // the window the display engines are handed

// The sunken edge: shadow on the top and left, light on the bottom and right.
constexpr COLORREF kEdgeShadow = RGB(128, 128, 128);
constexpr COLORREF kEdgeLight = RGB(255, 255, 255);
constexpr int kEdgeWidth = 2;

// A target whose client area is a 24-bit picture of its own.
class CMemoryPaintTarget : public IPaintTarget {
 public:
  CMemoryPaintTarget() = default;
  CMemoryPaintTarget(const CMemoryPaintTarget&) = delete;
  CMemoryPaintTarget& operator=(const CMemoryPaintTarget&) = delete;
  ~CMemoryPaintTarget() override;
  int Init(int width, int height);  // 1, or 0 for a bad size or no memory
  int ClientWidth() const override { return m_pic ? m_pic->width : 0; }
  int ClientHeight() const override { return m_pic ? m_pic->height : 0; }
  void Show(HBITMAP picture, int x, int y) override;
  void SunkenEdge() override;
  HBITMAP Picture() const { return m_pic; }
  int Shows() const { return m_shows; }

 private:
  HBITMAP m_pic = nullptr;
  int m_shows = 0;
};

// Sets pixel (x, y), counted from the top, of a 24-bit picture; nothing outside.
void PutPixel24(HBITMAP h, int x, int y, COLORREF c);
COLORREF GetPixel24(HBITMAP h, int x, int y);
