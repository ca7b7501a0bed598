#include "spl/audio/scan_recorder.h"

#include <algorithm>
#include <cstdlib>

namespace {
constexpr int kFullVolume = 100;  // percent
constexpr float kPercent = 100.0f;
constexpr float kSampleMax = 32767.0f;
constexpr float kSampleMin = -32768.0f;
constexpr int kBits = 16;
constexpr int kChannels = 1;
}  // namespace

CScanRecorder::~CScanRecorder() {
  if (file_.IsOpen()) Close();
  Release();
}

int CScanRecorder::Fail(const std::string& why) {
  error_ = why;
  return 0;
}

void CScanRecorder::Release() {
  FreeAudioBlock(work_);
  work_ = nullptr;
  pcm_.clear();
  segments_.clear();
  current_ = play_segment_ = -1;
  play_block_ = 0;
}

int CScanRecorder::Init(const std::string& folder, int rate, int samplesPerBlock) {
  if (file_.IsOpen()) Close();
  Release();
  if (samplesPerBlock < 1 || rate < 1) return Fail("rate or block size out of range");
  if (!NewAudioBlock(&work_, samplesPerBlock)) return Fail("out of memory");
  block_samples_ = samplesPerBlock;
  pcm_.assign(size_t(samplesPerBlock), 0);
  WAVEFORMATEX* wfx = file_.GetWFX(rate, kBits, kChannels);
  if (!wfx) return Fail("out of memory");
  path_ = folder.empty() ? kScanRecordingName : folder + "/" + kScanRecordingName;
  const int ok = file_.Create(path_.c_str(), wfx);
  free(wfx);
  if (!ok) return Fail(file_.LastError());
  // Segments count from the real first data byte (46 for this PCM header).
  end_ = file_.SeekCur(0);
  return 1;
}

int CScanRecorder::FindEvent(int key1, int key2) const {
  for (size_t i = 0; i < segments_.size(); ++i)
    if (segments_[i].key1 == key1 && segments_[i].key2 == key2) return int(i);
  return -1;
}

int CScanRecorder::StartSegment(int key1, int key2) {
  if (!file_.IsOpen()) return -1;
  const int index = int(segments_.size());
  // Link the last segment of the same event's chain to the new one.
  for (int i = FindEvent(key1, key2); i >= 0; i = segments_[size_t(i)].next) {
    if (segments_[size_t(i)].next < 0) {
      segments_[size_t(i)].next = index;
      break;
    }
  }
  segments_.push_back(ScanSegment{key1, key2, end_, 0, -1});
  current_ = index;
  return index;
}

void CScanRecorder::EndSegment() { current_ = -1; }

int CScanRecorder::Record(const AudioBlock* block, int volume) {
  if (!file_.IsOpen() || current_ < 0 || !block || block->count < 1) return 0;
  const int n = std::min(block->count, block_samples_);
  const float gain = volume == kFullVolume ? 1.0f : float(volume) / kPercent;
  // Clipped before conversion: the converter leaves out-of-range samples unwritten.
  for (int i = 0; i < block_samples_; ++i)
    work_->data[i] = i < n ? std::clamp(block->data[i] * gain, kSampleMin, kSampleMax) : 0.0f;
  amp_.ToShort(work_, pcm_.data());
  const int bytes = block_samples_ * int(sizeof(int16_t));
  if (file_.SeekSet(end_) != end_ || !file_.Write(pcm_.data(), bytes))
    return Fail("cannot write the scan recording");
  end_ += bytes;
  ++segments_[size_t(current_)].blocks;
  return 1;
}

int CScanRecorder::StartPlayback(int key1, int key2) {
  play_segment_ = FindEvent(key1, key2);
  play_block_ = 0;
  return play_segment_ >= 0;
}

int CScanRecorder::Play(AudioBlock* block, int volume) {
  if (!file_.IsOpen() || !block || block->count < 1) return 0;
  // Skip to the next segment of the chain once one is used up (or empty).
  while (play_segment_ >= 0 && play_block_ >= segments_[size_t(play_segment_)].blocks) {
    play_segment_ = segments_[size_t(play_segment_)].next;
    play_block_ = 0;
  }
  if (play_segment_ < 0) return 0;
  const int bytes = block_samples_ * int(sizeof(int16_t));
  const int at = segments_[size_t(play_segment_)].start + play_block_ * bytes;
  if (file_.SeekSet(at) != at || file_.Read(pcm_.data(), bytes) != bytes) {
    play_segment_ = -1;
    return Fail("cannot read the scan recording");
  }
  ++play_block_;
  amp_.ToFloat(pcm_.data(), work_);
  const int n = std::min(block->count, block_samples_);
  const float gain = volume == kFullVolume ? 1.0f : float(volume) / kPercent;
  for (int i = 0; i < block->count; ++i) block->data[i] = i < n ? work_->data[i] * gain : 0.0f;
  MeasureAudioBlock(block);
  return n;
}

int CScanRecorder::Close() {
  if (!file_.IsOpen()) return 0;
  current_ = play_segment_ = -1;
  const int ok = file_.Close();
  if (!ok) error_ = file_.LastError();
  return ok;
}
