// CScanner: the store of a frequency scan. Every sweep over a range (start, stop, step) or a
// channel list is one line; every frequency of it is one column, whose cell holds the
// receiver's S-meter level, the audio level above the audio squelch and the number of audio
// blocks measured. The store answers which frequency to tune next, is saved to and loaded
// from scanner report files (".scl") and hit-tests its perspective waterfall drawing.
//
// Report file, little-endian, no header: columns, lines (int32), start, stop, step (float32,
// kHz), channels (int32), channels x float32 kHz, lines x int32 line start times (seconds
// since 1970), then lines x columns bytes each of the S-meter, audio and block-count rows.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ScanEntry {
  int time;           // seconds since 1970
  unsigned char smeter;
  unsigned char audio;
  unsigned char blocks;
};

struct ScanPoint {
  int x, y;
};

// The most columns a line may have (one sweep of 100000 frequencies).
constexpr int kScanMaxColumns = 100000;
// The perspective of the report's waterfall: each older sweep is drawn this many pixels to
// the right and up.
constexpr int kPerspectiveX = 2, kPerspectiveY = 3;

class CScanner {
 public:
  // Seconds since 1970 for the line start times.
  using Clock = std::function<int32_t()>;

  CScanner();
  virtual ~CScanner();
  CScanner(const CScanner&) = delete;
  CScanner& operator=(const CScanner&) = delete;

  // Clears the store and keeps the capture format: seconds per block = samplesPerBlock ÷
  // sampleRate. Returns 1 (0 for a rate or block size below 1, the store stays cleared).
  int Init(int sampleRate, int samplesPerBlock);
  // The clock of the line start times; the system clock when empty.
  void SetClock(Clock clock) { clock_ = std::move(clock); }

  // The channel list (kHz); when it is not empty Scan steps through it instead of a range.
  void SetChannels(const std::vector<float>& channels) { channels_ = channels; }
  const std::vector<float>& Channels() const { return channels_; }

  // Clears the store and starts line 0 at start (range scan) or at the first channel.
  // Columns = the number of channels, or round((stop - start) ÷ step) + 1. 0 (the store
  // empty) when step is not positive, stop is below start, or more than kScanMaxColumns
  // columns would result; else 1. Frequencies kHz.
  int Scan(float start, float stop, float step);
  // Stores the low bytes of the three values in the next cell and returns the frequency to
  // tune next (kHz). finishedLine becomes the index of the line just completed when this
  // value opens a new line (column 0 of a line after the first), else -1. After the last
  // column, or when the next range frequency lies above stop, the next value goes to a new
  // line and the frequency returns to start (or the first channel). Without a scan started
  // nothing is stored and the current frequency is returned.
  float SetValue(int sMeter, int audio, int blocks, int& finishedLine);

  int GetXSize() const { return columns_; }
  int GetYSize() const { return int(times_.size()); }
  float Start() const { return start_; }
  float Stop() const { return stop_; }
  float Step() const { return step_; }
  float Current() const { return current_; }
  int ValueCount() const { return count_; }
  // The cell the next SetValue fills (a column past the last means: on a new line).
  int NextColumn() const { return column_; }
  int NextLine() const { return line_; }
  // The frequency of a column (kHz): channel, or start + column x step.
  float ColumnFrq(int column) const;

  // The cell's bytes and its time: the line's start time plus the blocks measured in the
  // line before this column (each cell's block count + 1) x seconds per block, rounded to
  // whole seconds. 1, or 0 with all fields 0 outside the store.
  int GetEntry(int column, int line, ScanEntry& entry) const;
  // A sweep's S-meter or audio levels, GetXSize() bytes; null for a line not stored.
  const uint8_t* SMeterRow(int line) const { return RowOf(smeter_, line); }
  const uint8_t* AudioRow(int line) const { return RowOf(audio_, line); }

  // Hit tests on the perspective waterfall of the S-meter or the audio rows, drawn height
  // pixels high, each older line 2 pixels right and 3 up. 1 with column and line set on a
  // hit, else 0.
  int FindSMeterEntry(int x, int y, int height, int& column, int& line) const;
  int FindAudioEntry(int x, int y, int height, int& column, int& line) const;
  // Even-odd point-in-polygon test; an empty polygon contains nothing.
  static int IsInPoly(const std::vector<ScanPoint>& poly, int x, int y);

  // 0 when the store has no line or on any file error; 1 when the file is written.
  int SaveData(const char* fileName) const;
  // Clears the store and reads a report file: 0 (store empty) when it cannot be read, is
  // shorter than its sizes say, or its sizes are impossible; 1 on success. Init's values
  // stay as they were.
  int LoadData(const char* fileName);
  // The size in bytes of the report SaveData writes for the store as it is.
  long long ReportBytes() const;

 private:
  void Exit();
  static const uint8_t* RowOf(const std::vector<std::vector<uint8_t>>& rows, int line) {
    return line >= 0 && line < int(rows.size()) ? rows[size_t(line)].data() : nullptr;
  }
  void StartLine();
  int32_t Now() const;
  int FindEntry(const std::vector<std::vector<uint8_t>>& rows, int x, int y, int height,
                int& column, int& line) const;

  int sample_rate_ = 0, samples_per_block_ = 0;
  float seconds_per_block_ = 0.0f;
  float start_ = 0.0f, stop_ = 0.0f, step_ = 0.0f, current_ = 0.0f;
  int channel_index_ = 0;  // the next channel to tune
  int columns_ = 0;
  int count_ = 0;          // values stored since Scan
  int line_ = 0, column_ = 0;  // where the next value goes
  std::vector<float> channels_;
  std::vector<int32_t> times_;
  std::vector<std::vector<uint8_t>> smeter_, audio_, blocks_;
  Clock clock_;
};
