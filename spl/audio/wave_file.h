// CWaveFile: a RIFF WAVE file of PCM or codec data: create and write, or open and read, with
// the choice of a wave format. Errors are results (0) with the reason in LastError().
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "spl/platform/message_queue.h"
#include "spl/platform/wave_format.h"

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
  // byte. 0 when the file is not a well-formed WAVE file of a format the codecs can convert.
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
  const std::string& LastError() const { return error_; }
  // What FindFormat matched last.
  const std::string& DriverName() const { return driver_name_; }
  const std::string& DriverDescription() const { return driver_description_; }
  const std::string& FormatDescription() const { return format_description_; }

 private:
  int Fail(const std::string& why);
  int FindChunks(long long file_size, WAVEFORMATEX* wfx);
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
  std::string format_bytes_;  // the record of a created file, for the "fact" count
  std::string error_;
  std::string driver_name_, driver_description_, format_description_;
};
