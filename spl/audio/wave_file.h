// CWaveFile: a RIFF WAVE file of PCM or codec data: create and write, or open and read, with
// the choice of a wave format. Errors are results (0) with the reason in LastError().
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "spl/platform/message_queue.h"
#include "spl/platform/wave_format.h"

// Tags of files other programs write that are read but never recorded.
constexpr uint16_t WAVE_FORMAT_IEEE_FLOAT = 0x0003;
constexpr uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

// How the samples of a plain PCM or float record lie in the data, for reading formats the
// codecs do not convert (24- and 32-bit integers, 32-bit float, more than two channels).
struct WaveSampleLayout {
  int bytes = 0;     // per sample: 1 (unsigned), 2, 3 or 4
  int is_float = 0;  // 32-bit IEEE float, full scale +-1.0
  int channels = 0;  // interleaved in each frame
};
// 1 and layout filled for integer PCM of 8, 16, 24 or 32 bits or 32-bit float whose block
// align is channels x sample bytes; else 0.
int WaveSampleLayoutOf(const WAVEFORMATEX* wfx, WaveSampleLayout* layout);
// 1 when the codecs cannot convert wfx but WaveSampleLayoutOf knows its samples.
int WaveNeedsNarrowing(const WAVEFORMATEX* wfx);
// frames frames of in (of layout) to 16-bit samples, rounded and clipped: the first
// out_channels (1 ... layout.channels) channels of each frame, interleaved.
void WaveNarrowFrames(const uint8_t* in, int frames, const WaveSampleLayout& layout,
                      int out_channels, int16_t* out);

class CWaveFile {
 public:
  CWaveFile();
  // Copies share the open file; the destructor does not close it (Close does).

  // New record of the largest format size, zero-filled: PCM, block align (bits / 8) x
  // channels, bytes per second block align x rate. Released with free().
  WAVEFORMATEX* GetWFX(int rate, int bits, int channels);

  // Creates (or truncates) path and writes the RIFF header, the "fmt " chunk holding wfx
  // (18 + cbSize bytes), for codec formats a "fact" chunk (frame count, completed by Close),
  // and opens the "data" chunk. For PCM the data begin at byte 46. 1 or 0.
  int Create(const char* path, const WAVEFORMATEX* wfx);
  // Opens path for reading, reads its "fmt " chunk into wfx (which holds MaxFormatSize()
  // bytes) and returns the size of the "data" chunk; the file position is then its first
  // byte. 0 when the file is not a WAVE file of a format the codecs can convert or
  // WaveSampleLayoutOf knows. A WAVE_FORMAT_EXTENSIBLE record comes out as its plain PCM or
  // float equivalent (FileTag() keeps 0xFFFE). Files as recorders leave them are read:
  // data cut off by the end of the file end there (Truncated()), and a header written to a
  // pipe (RIFF or data size 0 or 0x7FFFF000 and more) has its data run to the end of the file.
  int Open(const char* path, WAVEFORMATEX* wfx);

  // 1 when all n bytes were written, else 0.
  int Write(const void* bytes, int n);
  // Bytes read (0 when no file is open). A file from Open is read up to the end of its
  // "data" chunk, never into the chunks after it.
  int Read(void* buffer, int n);
  // New position from the start of the file (-1 when the seek failed, 0 without a file).
  int SeekSet(int position);
  int SeekCur(int delta);
  // Completes the "data", "fact" and "RIFF" sizes of a created file (padding odd data) and
  // closes; 1 when every step succeeded.
  int Close();

  // The format chooser (platform/format_chooser.h), initialised with wfx when its tag is not
  // 0; 1 when a format was chosen and written into wfx (MaxFormatSize() bytes).
  int SelectFormat(HWND owner, WAVEFORMATEX* wfx);
  // Keeps wfx's tag and fills wfx with the offered format of that tag closest to 11025 Hz,
  // 16 bits, mono and wfx's bytes per second and block align; its driver's details are
  // kept. 1, or 0 when the tag has no codec format.
  int FindFormat(WAVEFORMATEX* wfx);

  int MaxFormatSize() const { return max_format_size_; }
  int IsOpen() const { return file_ != nullptr; }
  // Offset of the first data byte, and the size of the "data" chunk of an opened file.
  int DataStart() const { return data_start_; }
  int DataSize() const { return int(data_size_); }
  // Sample count of the "fact" chunk of an opened file, -1 when it has none.
  long long FactFrames() const { return fact_frames_; }
  // 1 when the "data" chunk of an opened file was cut off: DataSize() of the
  // DeclaredDataSize() bytes are there (whole blocks only).
  int Truncated() const { return truncated_; }
  long long DeclaredDataSize() const { return declared_data_size_; }
  // The format tag as the file holds it (WAVE_FORMAT_EXTENSIBLE for such files).
  int FileTag() const { return file_tag_; }
  const std::string& LastError() const { return error_; }
  // What FindFormat matched last.
  const std::string& DriverName() const { return driver_name_; }
  const std::string& DriverDescription() const { return driver_description_; }
  const std::string& FormatDescription() const { return format_description_; }

 private:
  int Fail(const std::string& why);
  int FindChunks(long long file_size, WAVEFORMATEX* wfx);
  int CheckFormat(std::vector<uint8_t>* record, uint32_t size);
  int PatchU32(long long offset, uint32_t value);
  void SwitchTo(int op);

  FILE* file_ = nullptr;
  int writing_ = 0;          // created by Create (sizes to complete on Close)
  int last_op_ = 0;          // 1 read, 2 write: stdio needs a seek between the two
  int max_format_size_ = 0;
  // Chunk bookkeeping: offsets of the size fields and of the data.
  long long riff_end_ = 0;
  long long fmt_offset_ = 0;
  uint32_t fmt_size_ = 0;
  long long fact_size_offset_ = 0;  // 0: no "fact" chunk
  long long fact_frames_ = -1;
  int data_start_ = 0;
  uint32_t data_size_ = 0;
  long long declared_data_size_ = 0;
  int truncated_ = 0;
  int file_tag_ = 0;
  std::string format_bytes_;  // the record of a created file, for the "fact" count
  std::string error_;
  std::string driver_name_, driver_description_, format_description_;
};
