// CScanRecorder: the scanner's event recording, "SCAN_TEMP.WAV": one 16-bit mono PCM file
// to which blocks are appended while the scanner holds on signals, and a list of segments
// telling where each event's audio lies, so an event can be played back while scanning goes on.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "spl/audio/audio_block.h"
#include "spl/audio/op_amp.h"
#include "spl/audio/wave_file.h"

// The scan recording's file name, in the data folder.
constexpr const char* kScanRecordingName = "SCAN_TEMP.WAV";

// One stretch of recorded audio: the scanner's two keys name its event.
struct ScanSegment {
  int32_t key1;
  int32_t key2;
  int32_t start;   // file offset of the segment's first sample
  int32_t blocks;  // blocks of the recorder's block size
  int32_t next;    // index of the next segment of the same event, -1 for none
};

class CScanRecorder {
 public:
  CScanRecorder() = default;
  ~CScanRecorder();
  CScanRecorder(const CScanRecorder&) = delete;
  CScanRecorder& operator=(const CScanRecorder&) = delete;

  // Creates folder/SCAN_TEMP.WAV (PCM, mono, rate, 16 bits) for blocks of samplesPerBlock
  // samples and empties the segment list. 1 or 0 (LastError says why).
  int Init(const std::string& folder, int rate, int samplesPerBlock);
  // Starts a new segment of event (key1, key2) at the end of the recording; it joins the
  // chain of earlier segments of that event. Returns its index, -1 without a recording.
  int StartSegment(int key1, int key2);
  // Appends one block to the current segment, scaled by volume percent (100: as it is),
  // clipped to 16 bits; a shorter block is padded with silence, a longer one cut, so every
  // block fills samplesPerBlock samples. 1 or 0.
  int Record(const AudioBlock* block, int volume);
  // Ends the current segment; Record then needs a new StartSegment.
  void EndSegment();

  int SegmentCount() const { return int(segments_.size()); }
  const ScanSegment& Segment(int i) const { return segments_[size_t(i)]; }
  // First segment of event (key1, key2), -1 when it has none.
  int FindEvent(int key1, int key2) const;

  // Plays event (key1, key2) from its first segment: 1, or 0 when it has no audio.
  int StartPlayback(int key1, int key2);
  // Fills block with the next recorded block of the event, scaled by volume percent, and
  // returns the samples written (up to the block size), 0 at the end of the event.
  int Play(AudioBlock* block, int volume);

  // Completes and closes the file; 1 when that succeeded.
  int Close();
  const std::string& Path() const { return path_; }
  const std::string& LastError() const { return error_; }

 private:
  int Fail(const std::string& why);
  void Release();

  CWaveFile file_;
  COpAmp amp_;
  std::string path_, error_;
  int block_samples_ = 0;
  int end_ = 0;             // file offset where the next block goes
  AudioBlock* work_ = nullptr;  // one block of the recorder's size, for scaling and converting
  std::vector<int16_t> pcm_;
  std::vector<ScanSegment> segments_;
  int current_ = -1;        // segment being recorded
  int play_segment_ = -1, play_block_ = 0;
};
