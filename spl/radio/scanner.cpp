#include "spl/radio/scanner.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

constexpr double kFrqRound = 1000.0;  // next frequencies are rounded to 1 Hz (three decimals)
// Older waterfall lines are drawn this far right and up.
constexpr int kHeaderBytes = 24;  // columns, lines, start, stop, step, channels
constexpr int kGrowMin = 4, kGrowMax = 1024, kGrowDivisor = 8;

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void PutI32(std::vector<uint8_t>& out, int32_t v) { PutU32(out, uint32_t(v)); }
void PutF32(std::vector<uint8_t>& out, float v) {
  uint32_t u;
  std::memcpy(&u, &v, 4);
  PutU32(out, u);
}
uint32_t GetU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
int32_t GetI32(const uint8_t* p) { return int32_t(GetU32(p)); }
float GetF32(const uint8_t* p) {
  uint32_t u = GetU32(p);
  float v;
  std::memcpy(&v, &u, 4);
  return v;
}

// Growth of the line arrays: by max(4, min(1024, size / 8)) entries when full.
template <typename T>
void Grow(std::vector<T>& v) {
  if (v.size() < v.capacity()) return;
  size_t by = v.size() / kGrowDivisor;
  if (by > size_t(kGrowMax)) by = kGrowMax;
  if (by < size_t(kGrowMin)) by = kGrowMin;
  v.reserve(v.size() + by);
}

}  // namespace

CScanner::CScanner() = default;
CScanner::~CScanner() { Exit(); }

void CScanner::Exit() {
  times_.clear();
  smeter_.clear();
  audio_.clear();
  blocks_.clear();
  times_.shrink_to_fit();
  smeter_.shrink_to_fit();
  audio_.shrink_to_fit();
  blocks_.shrink_to_fit();
  columns_ = count_ = line_ = column_ = channel_index_ = 0;
}

int32_t CScanner::Now() const { return clock_ ? clock_() : int32_t(std::time(nullptr)); }

int CScanner::Init(int sampleRate, int samplesPerBlock) {
  Exit();
  if (sampleRate < 1 || samplesPerBlock < 1) return 0;
  sample_rate_ = sampleRate;
  samples_per_block_ = samplesPerBlock;
  seconds_per_block_ = float(samplesPerBlock) / float(sampleRate);
  return 1;
}

void CScanner::StartLine() {
  Grow(times_);
  Grow(smeter_);
  Grow(audio_);
  Grow(blocks_);
  times_.push_back(Now());
  smeter_.emplace_back(size_t(columns_), uint8_t(0));
  audio_.emplace_back(size_t(columns_), uint8_t(0));
  blocks_.emplace_back(size_t(columns_), uint8_t(0));
}

int CScanner::Scan(float start, float stop, float step) {
  Exit();
  start_ = start;
  stop_ = stop;
  step_ = step;
  current_ = start;
  if (!channels_.empty()) {
    if (channels_.size() > size_t(kScanMaxColumns)) return 0;
    columns_ = int(channels_.size());
    current_ = channels_[0];
    channel_index_ = columns_ > 1 ? 1 : 0;
  } else {
    if (!(step > 0.0f) || !(stop >= start) || !std::isfinite(stop) || !std::isfinite(start))
      return 0;
    double columns = std::trunc(double(stop - start) / double(step) + 0.5) + 1.0;
    if (!(columns <= kScanMaxColumns)) return 0;
    columns_ = int(columns);
  }
  StartLine();
  return 1;
}

float CScanner::SetValue(int sMeter, int audio, int blocks, int& finishedLine) {
  finishedLine = -1;
  if (columns_ < 1) return current_;
  if (column_ >= columns_ || times_.empty()) {  // a loaded store: continue on a new line
    StartLine();
    line_ = int(times_.size()) - 1;
    column_ = 0;
  }
  if (column_ == 0 && line_ > 0) finishedLine = line_ - 1;
  smeter_[size_t(line_)][size_t(column_)] = uint8_t(sMeter);
  audio_[size_t(line_)][size_t(column_)] = uint8_t(audio);
  blocks_[size_t(line_)][size_t(column_)] = uint8_t(blocks);
  ++count_;
  float next;
  bool wrap;
  if (!channels_.empty()) {
    // The column that follows is the channel that follows, so that column c always holds
    // channel c.
    wrap = column_ + 1 >= columns_;
    int following = wrap ? 0 : column_ + 1;
    next = channels_[size_t(following)];
    channel_index_ = following + 1 < columns_ ? following + 1 : 0;
  } else {
    next = float(std::trunc((double(current_) + double(step_)) * kFrqRound + 0.5) / kFrqRound);
    // A full line also wraps, so that a sweep never runs past its row.
    wrap = next > stop_ || column_ + 1 >= columns_;
    if (wrap) next = start_;
  }
  if (wrap) {
    StartLine();
    ++line_;
    column_ = 0;
  } else {
    ++column_;
  }
  current_ = next;
  return next;
}

float CScanner::ColumnFrq(int column) const {
  if (!channels_.empty())
    return column >= 0 && column < int(channels_.size()) ? channels_[size_t(column)] : 0.0f;
  return float(std::trunc((double(start_) + double(column) * step_) * kFrqRound + 0.5) /
               kFrqRound);
}

int CScanner::GetEntry(int column, int line, ScanEntry& entry) const {
  entry = ScanEntry{0, 0, 0, 0};
  if (line < 0 || line >= int(times_.size()) || column < 0 || column >= columns_) return 0;
  const auto& counts = blocks_[size_t(line)];
  double blocks = 0;
  for (int c = 0; c < column; ++c) blocks += double(counts[size_t(c)]) + 1.0;
  double time = std::floor(double(times_[size_t(line)]) + blocks * seconds_per_block_ + 0.5);
  entry.time = int(std::clamp(time, double(INT32_MIN), double(INT32_MAX)));  // times of 2038
  entry.smeter = smeter_[size_t(line)][size_t(column)];
  entry.audio = audio_[size_t(line)][size_t(column)];
  entry.blocks = counts[size_t(column)];
  return 1;
}

int CScanner::IsInPoly(const std::vector<ScanPoint>& poly, int x, int y) {
  int inside = 0;
  const size_t n = poly.size();
  if (n == 0) return 0;
  for (size_t i = 0, j = n - 1; i < n; j = i++) {
    const ScanPoint& a = poly[j];  // from the previous vertex (the last one first)
    const ScanPoint& b = poly[i];
    if ((a.y >= y) == (b.y >= y)) continue;
    if ((a.x >= x) == (b.x >= x)) {
      if (a.x >= x) inside ^= 1;
      continue;
    }
    long long den = (long long)b.y - a.y;
    if (den == 0) den = 1;
    long long cross = a.x - ((long long)b.x - a.x) * ((long long)a.y - y) / den;
    if (cross >= x) inside ^= 1;
  }
  return inside;
}

int CScanner::FindEntry(const std::vector<std::vector<uint8_t>>& rows, int x, int y, int height,
                        int& column, int& line) const {
  std::vector<ScanPoint> poly;
  poly.reserve(size_t(columns_) + 2);
  for (int l = int(rows.size()) - 1; l >= 0 && x >= 0 && y >= 0; --l) {
    poly.clear();
    const auto& row = rows[size_t(l)];
    for (int c = 0; c < columns_; ++c) poly.push_back(ScanPoint{c, height - 1 - row[size_t(c)]});
    poly.push_back(ScanPoint{columns_ - 1, height - 1});
    poly.push_back(ScanPoint{0, height - 1});
    if (IsInPoly(poly, x, y) && x < columns_) {
      column = x;
      line = l;
      return 1;
    }
    x -= kPerspectiveX;
    y += kPerspectiveY;
  }
  return 0;
}

int CScanner::FindSMeterEntry(int x, int y, int height, int& column, int& line) const {
  return FindEntry(smeter_, x, y, height, column, line);
}

int CScanner::FindAudioEntry(int x, int y, int height, int& column, int& line) const {
  return FindEntry(audio_, x, y, height, column, line);
}

int CScanner::SaveData(const char* fileName) const {
  if (times_.empty() || !fileName) return 0;
  std::vector<uint8_t> out;
  PutI32(out, columns_);
  PutI32(out, int32_t(times_.size()));
  PutF32(out, start_);
  PutF32(out, stop_);
  PutF32(out, step_);
  PutI32(out, int32_t(channels_.size()));
  for (float f : channels_) PutF32(out, f);
  for (int32_t t : times_) PutI32(out, t);
  for (const auto* rows : {&smeter_, &audio_, &blocks_})
    for (const auto& row : *rows) out.insert(out.end(), row.begin(), row.end());
  std::FILE* f = std::fopen(fileName, "wb");
  if (!f) return 0;
  bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  ok = (std::fclose(f) == 0) && ok;
  return ok ? 1 : 0;
}

long long CScanner::ReportBytes() const {
  return kHeaderBytes + 4LL * (long long)channels_.size() + 4LL * GetYSize() +
         3LL * GetYSize() * columns_;
}

int CScanner::LoadData(const char* fileName) {
  Exit();
  channels_.clear();
  if (!fileName) return 0;
  std::FILE* f = std::fopen(fileName, "rb");
  if (!f) return 0;
  struct stat st;
  uint8_t head[kHeaderBytes];
  int ok = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) &&
           std::fread(head, 1, sizeof head, f) == sizeof head;
  std::vector<uint8_t> body;
  int32_t columns = 0, lines = 0, channels = 0;
  if (ok) {
    columns = GetI32(head);
    lines = GetI32(head + 4);
    channels = GetI32(head + 20);
    // Every size is checked against the file before anything is allocated.
    const unsigned long long size = (unsigned long long)st.st_size;
    ok = columns >= 1 && columns <= kScanMaxColumns && lines >= 1 && channels >= 0 &&
         (channels == 0 || channels == columns);
    unsigned long long need = 0;
    if (ok) {
      need = kHeaderBytes + 4ULL * (unsigned long long)channels + 4ULL * (unsigned long long)lines +
             3ULL * (unsigned long long)lines * (unsigned long long)columns;
      ok = need <= size;
    }
    if (ok) {
      body.resize(size_t(need - kHeaderBytes));
      ok = std::fread(body.data(), 1, body.size(), f) == body.size();
    }
  }
  std::fclose(f);
  if (!ok) return 0;
  start_ = GetF32(head + 8);
  stop_ = GetF32(head + 12);
  step_ = GetF32(head + 16);
  current_ = start_;
  columns_ = columns;
  const uint8_t* p = body.data();
  channels_.resize(size_t(channels));
  for (int i = 0; i < channels; ++i, p += 4) channels_[size_t(i)] = GetF32(p);
  times_.resize(size_t(lines));
  for (int i = 0; i < lines; ++i, p += 4) times_[size_t(i)] = GetI32(p);
  for (auto* rows : {&smeter_, &audio_, &blocks_}) {
    rows->resize(size_t(lines));
    for (auto& row : *rows) {
      row.assign(p, p + columns);
      p += columns;
    }
  }
  const long long stored = (long long)lines * columns;
  count_ = stored > 0x7FFFFFFF ? 0x7FFFFFFF : int(stored);
  line_ = lines - 1;
  column_ = columns;
  return 1;
}
