// CEqualizerModul: the equalizer panel without its window: the power switch, the smoothing
// ("Filter") and zoom ("Start", "Width") rules, drawing the curve with the mouse, and the
// curve files. The desktop panel draws what this object holds and forwards the mouse to it.
#pragma once
#include <string>

#include "spl/dsp/equalizer.h"
#include "spl/dsp/equalizer_curve.h"

class CEqualizerModul {
 public:
  // Sets the equalizer up for (rate, N) only when they differ from the last Init; otherwise
  // only the smoothing is applied again. A zero zoom width becomes rate / 2. 1 or 0.
  int Init(int sampleRate, int N);
  // "Filter": values below 2 become 1.
  int SetFilter(int smoothing);
  int GetFilter() const { return smoothing_; }
  // 0 unless 0 <= start < rate/2 and, with width clipped to rate/2 - start, width >= 1.
  int Zoom(int start, int width);
  void GetZoom(int& start, int& width) const {
    start = zoom_start_;
    width = zoom_width_;
  }
  void SetBypass(int power) { power_ = power; }
  int GetBypass() const { return power_; }
  // Equalizes while the power switch is on.
  void Equalize(AudioBlock* block);

  // The drawing rectangle's size in pixels; the curve area is it less 2 pixels on every side.
  void SetDrawingSize(int width, int height);
  // Mouse in drawing-rectangle coordinates. Left button draws the gain under the cursor, right
  // button erases back to 1.0; a move while a button is down fills the range from the last point.
  void LButtonDown(int x, int y);
  void RButtonDown(int x, int y);  // y: the eraser has no gain
  void MouseMove(int x, int y);
  void ButtonUp();
  bool Captured() const { return mode_ != Mode::kIdle; }
  // The "%d Hz" readout under the cursor, shown for 20 redraws after a move.
  int ReadoutHz() const { return readout_hz_; }
  int ReadoutRedraws() const { return readout_redraws_; }
  void Redrawn() {
    if (readout_redraws_ > 0) --readout_redraws_;
  }
  int FrequencyAt(int x) const;
  float GainAt(int y) const;
  // The inverses, for drawing: the column of a frequency and the row of a gain (0 ... 1).
  int ColumnOf(int hz) const;
  int RowOf(float gain) const;

  // Applies a curve file (smoothing, gains, zoom); a file that cannot be read leaves the
  // default curve in force and returns 0 with error set.
  int LoadCurve(const std::string& path, std::string* error = nullptr);
  // Writes the current set-up: rate, N, count N, zoom, smoothing, the gains.
  int SaveCurve(const std::string& path) const;

  CEqualizer& Equalizer() { return eq_; }

 private:
  enum class Mode { kIdle, kDrawing, kErasing };
  int Apply(const EqualizerCurve& curve);

  CEqualizer eq_;
  int rate_ = 0, n_ = 0;
  int smoothing_ = kEqualizerDefaultSmoothing;
  int zoom_start_ = 0, zoom_width_ = 0;
  int power_ = 1;
  int area_width_ = 1, area_height_ = 9;
  Mode mode_ = Mode::kIdle;
  int last_hz_ = 0;
  int readout_hz_ = 0, readout_redraws_ = 0;
};
