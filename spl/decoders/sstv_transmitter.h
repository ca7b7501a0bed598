// CSstvTransmitter: makes the audio of a slow-scan television picture in Martin 1, Scottie 1,
// Wraase SC2-180 or Robot 72 (VIS header, then every line's syncs, porches and scans), from the
// modes' published timings: one phase-continuous tone whose time base is kept exactly, so that
// element edges fall between samples where they belong and lines never drift.
#pragma once
#include <cstdint>
#include <vector>

#include "spl/platform/bitmap.h"

// Modes, numbered as the station's SSTV decoder numbers them.
constexpr int kSstvTxMartin1 = 0;
constexpr int kSstvTxScottie1 = 2;
constexpr int kSstvTxSc2_180 = 5;
constexpr int kSstvTxRobot72 = 8;

// Colour-difference matrices for Robot 72.
constexpr int kSstvYcc601Studio = 0;  // the published Robot equations: Y 16 ... 235 (default)
constexpr int kSstvYcc709Full = 1;    // full-range Y 0 ... 255 with BT.709 weights

constexpr int kSstvTxDefaultRate = 11025;
constexpr double kSstvTxDefaultAmplitude = 16000.0;
constexpr int kSstvTxWidth = 320;  // pixels per line in every mode

class CSstvTransmitter {
 public:
  // mode: one of kSstvTx*.
  // rate: 4000 ... 192000 Hz.
  // clockPpm: -10000 ... 10000; the sender's clock runs fast by this much, so every element is
  //   shorter and every tone higher by the factor 1 + clockPpm / 1e6 (a slanting picture).
  // amplitude: 0 < amplitude <= 32767 (16-bit sample units).
  // 1, or 0 for a bad value (the object keeps its previous settings). No picture after Init.
  int Init(int mode, int rate = kSstvTxDefaultRate, double clockPpm = 0.0,
           double amplitude = kSstvTxDefaultAmplitude);
  // kSstvYcc601Studio or kSstvYcc709Full; used by Robot 72 only. 1 or 0.
  int SetColorMatrix(int matrix);

  // The picture: rgb holds height rows (top first) of width pixels, 3 bytes red, green, blue;
  // any size 1 ... 32768 is scaled to 320 x GetLines() by area averaging. Restarts the
  // transmission at the VIS header. 1, or 0 before Init or for bad arguments.
  int SetPicture(const uint8_t* rgb, int width, int height);
  // The same from a bitmap of any depth.
  int SetPicture(HBITMAP picture);

  // Writes up to n samples of the transmission into out; returns how many (0 once complete,
  // or without a picture). The last sample lies before the end of the final element.
  int Generate(float* out, int n);
  // Appends the rest of the transmission to out. 1, or 0 without a picture.
  int Transmit(std::vector<float>& out);
  // Restarts the loaded picture from the VIS header.
  void Rewind();

  int GetMode() const { return mode_; }
  int GetRate() const { return rate_; }
  int GetLines() const;
  int GetVis() const;
  const char* GetName() const;
  // Durations in the sender's own time (before the clock error): header, the elements sent
  // once before line 0, one line, and all of it.
  static double HeaderMs();
  double GetPrefixMs() const;
  double GetLineMs() const;
  double GetDurationMs() const;
  // Samples in the whole transmission at this rate and clock error.
  long long GetTotalSamples() const;
  long long GetSamplesDone() const { return sample_; }

  // Mode look-up by the tool's names ("martin1", "scottie1", "sc2-180", "robot72"): the mode
  // number, or -1. ModeName gives the name of a mode number, or null.
  static int ModeFromName(const char* name);
  static const char* ModeName(int mode);
  static const char* const* ModeNames();  // null-terminated list, in table order

 private:
  struct Segment {
    double end;  // seconds of sender time from the start
    double hz;
  };
  // Finds the segment that covers sender time t (moving forward only); false past the end.
  bool Seek(double t);
  // The end time and tone of the segment under the cursor (one pixel of a scan).
  void LoadSegment();
  double ScanHz(int part, int line, int pixel) const;

  int mode_ = -1, rate_ = 0, matrix_ = kSstvYcc601Studio;
  double ppm_ = 0.0, amplitude_ = kSstvTxDefaultAmplitude;
  const void* row_ = nullptr;  // the mode's table row
  std::vector<uint8_t> picture_;  // 320 x lines, red, green, blue
  // Cursor: stage 0 header, 1 prefix, 2 lines, 3 done; element and pixel within the stage.
  int stage_ = 3, line_ = 0, element_ = 0, pixel_ = 0;
  Segment seg_{0.0, 0.0};
  double time_ = 0.0;   // sender time of the phase below
  double phase_ = 0.0;  // cycles, kept in [0, 1)
  long long sample_ = 0;
};
