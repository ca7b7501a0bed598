#include "spl/audio/wave_file.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "spl/platform/codec.h"
#include "spl/platform/format_chooser.h"

static_assert(std::endian::native == std::endian::little,
              "wave records are read and written in the host's (little-endian) byte order");

namespace {
constexpr int kRiffHeaderBytes = 12;  // "RIFF", size, "WAVE"
constexpr int kChunkHeaderBytes = 8;  // id, size
constexpr int kFactBodyBytes = 4;     // frame count
constexpr int kOpRead = 1;
constexpr int kOpWrite = 2;
// The fields FindFormat compares with its template.
constexpr int kFindFields = 6;
constexpr int kFindRate = 11025;
constexpr int kFindBits = 16;
constexpr int kFindChannels = 1;
// WAVE_FORMAT_EXTENSIBLE: 22 extra bytes (valid bits, channel mask, subformat GUID) whose
// GUID starts with the plain tag and ends in these 14 bytes.
constexpr int kExtensibleExtraBytes = 22;
constexpr int kExtensibleBytes = kWaveFormatBaseBytes + kExtensibleExtraBytes;
constexpr int kSubFormatOffset = 24;
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// Sizes a writer puts in a header it cannot come back to (a pipe): 0, or near 2^31 or 2^32.
constexpr uint32_t kStreamSizeFloor = 0x7FFFF000;
bool IsStreamSize(uint32_t size) { return size == 0 || size >= kStreamSizeFloor; }
// Narrowing to 16 bits.
constexpr int kFloatBits = 32;
constexpr double kFullScale16 = 32768.0;
constexpr int64_t kHalf16 = 0x8000;

uint32_t FourCC(const char* s) {
  return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
         uint32_t(uint8_t(s[3])) << 24;
}
const uint32_t kRiff = FourCC("RIFF");
const uint32_t kWave = FourCC("WAVE");
const uint32_t kFmt = FourCC("fmt ");
const uint32_t kFact = FourCC("fact");
const uint32_t kData = FourCC("data");

uint32_t GetU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// Printable four-character code for messages.
std::string ChunkName(uint32_t id) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    const char c = char(id >> (8 * i));
    s += (c >= 32 && c < 127) ? c : '?';
  }
  return s;
}

int ReadAt(FILE* f, long long offset, void* buffer, size_t n) {
  return fseeko(f, off_t(offset), SEEK_SET) == 0 && fread(buffer, 1, n, f) == n;
}
}  // namespace

CWaveFile::CWaveFile() : max_format_size_(CodecMaxFormatSize()) {}

int CWaveFile::Fail(const std::string& why) {
  error_ = why;
  return 0;
}

WAVEFORMATEX* CWaveFile::GetWFX(int rate, int bits, int channels) {
  WAVEFORMATEX* wfx = static_cast<WAVEFORMATEX*>(calloc(size_t(max_format_size_), 1));
  if (!wfx) return nullptr;
  wfx->wFormatTag = WAVE_FORMAT_PCM;
  wfx->nChannels = uint16_t(channels);
  wfx->nSamplesPerSec = uint32_t(rate);
  wfx->nBlockAlign = uint16_t(bits / 8 * channels);
  wfx->nAvgBytesPerSec = uint32_t(wfx->nBlockAlign) * uint32_t(rate);
  wfx->wBitsPerSample = uint16_t(bits);
  return wfx;
}

int CWaveFile::Create(const char* path, const WAVEFORMATEX* wfx) {
  if (file_) Close();
  if (!path || !wfx) return Fail("no file name or format");
  const int size = WaveFormatSize(wfx);
  if (size > max_format_size_) return Fail("format record larger than the largest format");
  // Read back is allowed too: the scan recording plays events while it records.
  file_ = fopen(path, "w+b");
  if (!file_) return Fail(std::string("cannot create: ") + strerror(errno));
  writing_ = 1;
  last_op_ = kOpWrite;
  fact_frames_ = -1;
  const uint8_t* record = reinterpret_cast<const uint8_t*>(wfx);
  format_bytes_.assign(reinterpret_cast<const char*>(record), size_t(size));

  std::vector<uint8_t> header(kRiffHeaderBytes + kChunkHeaderBytes);
  PutU32(&header[0], kRiff);
  PutU32(&header[4], 0);  // completed by Close
  PutU32(&header[8], kWave);
  PutU32(&header[12], kFmt);
  PutU32(&header[16], uint32_t(size));
  header.insert(header.end(), record, record + size);
  if (size & 1) header.push_back(0);
  // Codec data carry their frame count in a "fact" chunk, as readers of such files expect;
  // PCM files keep the plain layout.
  fact_size_offset_ = 0;
  if (wfx->wFormatTag != WAVE_FORMAT_PCM) {
    const size_t at = header.size();
    header.resize(at + kChunkHeaderBytes + kFactBodyBytes);
    PutU32(&header[at], kFact);
    PutU32(&header[at + 4], kFactBodyBytes);
    PutU32(&header[at + 8], 0);
    fact_size_offset_ = (long long)(at + kChunkHeaderBytes);
  }
  const size_t at = header.size();
  header.resize(at + kChunkHeaderBytes);
  PutU32(&header[at], kData);
  PutU32(&header[at + 4], 0);
  data_start_ = int(header.size());
  data_size_ = 0;
  if (fwrite(header.data(), 1, header.size(), file_) != header.size()) {
    fclose(file_);
    file_ = nullptr;
    return Fail(std::string("cannot write the header: ") + strerror(errno));
  }
  return 1;
}

int CWaveFile::Open(const char* path, WAVEFORMATEX* wfx) {
  if (file_) Close();
  if (!path || !wfx) return Fail("no file name or format buffer");
  file_ = fopen(path, "rb");
  if (!file_) return Fail(std::string("cannot open: ") + strerror(errno));
  writing_ = 0;
  last_op_ = kOpRead;
  long long file_size = -1;
  if (fseeko(file_, 0, SEEK_END) == 0) file_size = ftello(file_);
  int ok = 0;
  if (file_size < 0)
    Fail("cannot determine the file size");
  else if (file_size > INT_MAX)
    Fail("file too large");
  else
    ok = FindChunks(file_size, wfx);
  if (ok && fseeko(file_, data_start_, SEEK_SET) != 0) ok = Fail("cannot seek to the data");
  if (!ok) {
    fclose(file_);
    file_ = nullptr;
    return 0;
  }
  return int(data_size_);
}

int CWaveFile::CheckFormat(std::vector<uint8_t>* record, uint32_t size) {
  uint8_t* r = record->data();
  WAVEFORMATEX* f = reinterpret_cast<WAVEFORMATEX*>(r);
  // A 16-byte chunk has no extra-size field: the zero-filled buffer says 0.
  if (size >= uint32_t(kWaveFormatBaseBytes) && uint32_t(WaveFormatSize(f)) > size)
    return Fail("the format's extra size runs past the \"fmt \" chunk");
  file_tag_ = f->wFormatTag;
  if (f->wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
    // The plain record of the same samples: valid bits below the container size only
    // leave the low bits zero, and the channel mask does not change the first channel.
    if (f->cbSize < kExtensibleExtraBytes ||
        memcmp(r + kSubFormatOffset + 2, kSubFormatTail, sizeof kSubFormatTail) != 0)
      return Fail("WAVE_FORMAT_EXTENSIBLE without a PCM or float subformat");
    const uint16_t sub = uint16_t(r[kSubFormatOffset] | r[kSubFormatOffset + 1] << 8);
    if (sub != WAVE_FORMAT_PCM && sub != WAVE_FORMAT_IEEE_FLOAT) {
      char text[80];
      snprintf(text, sizeof text, "WAVE_FORMAT_EXTENSIBLE of subformat 0x%04X", unsigned(sub));
      return Fail(text);
    }
    f->wFormatTag = sub;
    f->cbSize = 0;
    std::fill(record->begin() + kWaveFormatBaseBytes, record->end(), 0);
  }
  if (WaveNeedsNarrowing(f)) return 1;
  if (!CodecFindDriver(f->wFormatTag)) {
    char text[64];
    snprintf(text, sizeof text, "unknown format tag 0x%04X", unsigned(f->wFormatTag));
    return Fail(text);
  }
  if (const char* why = CodecCheckFormat(f, max_format_size_)) return Fail(why);
  return 1;
}

int CWaveFile::FindChunks(long long file_size, WAVEFORMATEX* wfx) {
  uint8_t riff[kRiffHeaderBytes];
  if (file_size < kRiffHeaderBytes || !ReadAt(file_, 0, riff, sizeof riff))
    return Fail("truncated: shorter than a RIFF header");
  if (GetU32(riff) != kRiff) return Fail("not a RIFF file");
  if (GetU32(riff + 8) != kWave) return Fail("not a WAVE file");
  const uint32_t riff_size = GetU32(riff + 4);
  riff_end_ = kChunkHeaderBytes + (long long)riff_size;
  // A pipe's header and a cut-off file both end where the file does.
  const bool cut = !IsStreamSize(riff_size) && riff_end_ > file_size;
  if (IsStreamSize(riff_size) || cut) riff_end_ = file_size;

  // The format is read into a buffer of our own and copied out only when it is usable.
  const int record_bytes = std::max(max_format_size_, kExtensibleBytes);
  std::vector<uint8_t> format(size_t(record_bytes), 0);
  int have_format = 0;
  fact_frames_ = -1;
  truncated_ = 0;
  long long pos = kRiffHeaderBytes;
  while (pos + kChunkHeaderBytes <= riff_end_) {
    uint8_t head[kChunkHeaderBytes];
    if (!ReadAt(file_, pos, head, sizeof head)) return Fail("cannot read a chunk header");
    const uint32_t id = GetU32(head);
    const uint32_t size = GetU32(head + 4);
    const long long body = pos + kChunkHeaderBytes;
    if (id == kData) {
      if (!have_format) return Fail("the \"data\" chunk comes before the \"fmt \" chunk");
      const long long there = file_size - body;
      long long bytes = size;
      declared_data_size_ = size;
      const bool stream = IsStreamSize(size);
      if (stream) {
        bytes = declared_data_size_ = there;
      } else if (bytes > there) {
        bytes = there;
        truncated_ = 1;
      }
      // A recorder stopped at any byte; a partial last block is not data.
      const WAVEFORMATEX* f = reinterpret_cast<const WAVEFORMATEX*>(format.data());
      if ((stream || truncated_) && f->nBlockAlign > 0) bytes -= bytes % f->nBlockAlign;
      if (bytes <= 0)
        return Fail(truncated_ ? "truncated: no whole block of data" : "the \"data\" chunk is empty");
      data_start_ = int(body);
      data_size_ = uint32_t(bytes);
      memset(wfx, 0, size_t(max_format_size_));
      memcpy(wfx, format.data(), size_t(max_format_size_));
      return 1;
    }
    if (body + size > riff_end_)
      return Fail("truncated: chunk \"" + ChunkName(id) + "\" runs past the end of the file");
    if (id == kFmt && !have_format) {
      if (size < uint32_t(kWaveFormatMinChunk)) return Fail("the \"fmt \" chunk is too small");
      if (size > uint32_t(record_bytes))
        return Fail("the \"fmt \" chunk (" + std::to_string(size) +
                    " bytes) is larger than the largest format (" +
                    std::to_string(record_bytes) + " bytes)");
      if (!ReadAt(file_, body, format.data(), size)) return Fail("cannot read the \"fmt \" chunk");
      if (!CheckFormat(&format, size)) return 0;
      if (WaveFormatSize(reinterpret_cast<const WAVEFORMATEX*>(format.data())) > max_format_size_)
        return Fail("the format's extra size is larger than the largest format");
      fmt_offset_ = body;
      fmt_size_ = size;
      have_format = 1;
    } else if (id == kFact && size >= uint32_t(kFactBodyBytes)) {
      uint8_t count[kFactBodyBytes];
      if (!ReadAt(file_, body, count, sizeof count)) return Fail("cannot read the \"fact\" chunk");
      fact_frames_ = GetU32(count);
    }
    pos = body + size + (size & 1);  // odd chunks are padded to even length
  }
  return Fail(std::string(cut ? "truncated: " : "") +
              (have_format ? "no \"data\" chunk" : "no \"fmt \" chunk"));
}

int WaveSampleLayoutOf(const WAVEFORMATEX* wfx, WaveSampleLayout* layout) {
  if (!wfx || wfx->nChannels == 0 || wfx->nSamplesPerSec == 0) return 0;
  const int bits = wfx->wBitsPerSample;
  const bool is_int = wfx->wFormatTag == WAVE_FORMAT_PCM &&
                      (bits == 8 || bits == 16 || bits == 24 || bits == 32);
  const bool is_float = wfx->wFormatTag == WAVE_FORMAT_IEEE_FLOAT && bits == kFloatBits;
  if (!is_int && !is_float) return 0;
  if (wfx->nBlockAlign != wfx->nChannels * (bits / 8)) return 0;
  layout->bytes = bits / 8;
  layout->is_float = is_float;
  layout->channels = wfx->nChannels;
  return 1;
}

int WaveNeedsNarrowing(const WAVEFORMATEX* wfx) {
  WaveSampleLayout layout;
  if (!WaveSampleLayoutOf(wfx, &layout)) return 0;
  return !CodecFindDriver(wfx->wFormatTag) || CodecCheckFormat(wfx, kWaveFormatBaseBytes) != nullptr;
}

void WaveNarrowFrames(const uint8_t* in, int frames, const WaveSampleLayout& layout,
                      int out_channels, int16_t* out) {
  const int bytes = layout.bytes;
  const size_t frame_bytes = size_t(bytes) * size_t(layout.channels);
  for (int i = 0; i < frames; ++i, in += frame_bytes) {
    for (int c = 0; c < out_channels; ++c) {
      const uint8_t* p = in + size_t(c) * size_t(bytes);
      int32_t v;
      if (layout.is_float) {
        float x;
        memcpy(&x, p, sizeof x);
        const double scaled = std::isnan(x) ? 0.0 : double(x) * kFullScale16;
        v = int32_t(std::lround(std::clamp(scaled, double(INT16_MIN), double(INT16_MAX))));
      } else {
        // Left-justified in 32 bits (8-bit PCM is unsigned), then rounded to the top 16.
        uint32_t u = 0;
        for (int b = 0; b < bytes; ++b) u |= uint32_t(p[b]) << (8 * (4 - bytes + b));
        if (bytes == 1) u ^= 0x80000000u;
        const int64_t rounded = (int64_t(int32_t(u)) + kHalf16) >> 16;
        v = int32_t(std::min<int64_t>(rounded, INT16_MAX));
      }
      *out++ = int16_t(v);
    }
  }
}

void CWaveFile::SwitchTo(int op) {
  if (last_op_ != op) fseeko(file_, 0, SEEK_CUR);
  last_op_ = op;
}

int CWaveFile::Write(const void* bytes, int n) {
  if (!file_ || n < 0 || (n > 0 && !bytes)) return 0;
  SwitchTo(kOpWrite);
  return fwrite(bytes, 1, size_t(n), file_) == size_t(n);
}

int CWaveFile::Read(void* buffer, int n) {
  if (!file_ || n <= 0 || !buffer) return 0;
  SwitchTo(kOpRead);
  if (!writing_) {
    const long long left = (long long)data_start_ + data_size_ - ftello(file_);
    if (left <= 0) return 0;
    if (n > left) n = int(left);
  }
  return int(fread(buffer, 1, size_t(n), file_));
}

int CWaveFile::SeekSet(int position) {
  if (!file_) return 0;
  if (position < 0 || fseeko(file_, position, SEEK_SET) != 0) return -1;
  last_op_ = 0;
  return int(ftello(file_));
}

int CWaveFile::SeekCur(int delta) {
  if (!file_) return 0;
  if (fseeko(file_, delta, SEEK_CUR) != 0) return -1;
  last_op_ = 0;
  return int(ftello(file_));
}

int CWaveFile::PatchU32(long long offset, uint32_t value) {
  uint8_t bytes[4];
  PutU32(bytes, value);
  return fseeko(file_, off_t(offset), SEEK_SET) == 0 && fwrite(bytes, 1, 4, file_) == 4;
}

int CWaveFile::Close() {
  if (!file_) return 0;
  int ok_data = 1, ok_riff = 1;
  if (writing_) {
    long long end = -1;
    if (fflush(file_) == 0 && fseeko(file_, 0, SEEK_END) == 0) end = ftello(file_);
    if (end < data_start_) {
      ok_data = ok_riff = 0;
      error_ = "cannot find the end of the data";
    } else {
      long long data = end - data_start_;
      if (data & 1) {  // the pad byte of an odd chunk
        ok_data = fputc(0, file_) != EOF;
        ++end;
      }
      ok_data = ok_data && PatchU32(data_start_ - 4, uint32_t(data));
      if (fact_size_offset_) {
        const WAVEFORMATEX* f = reinterpret_cast<const WAVEFORMATEX*>(format_bytes_.data());
        ok_data = ok_data && PatchU32(fact_size_offset_, uint32_t(CodecFramesInBytes(f, data)));
      }
      ok_riff = PatchU32(4, uint32_t(end - kChunkHeaderBytes));
      if (!ok_data || !ok_riff) error_ = std::string("cannot complete the chunk sizes: ") + strerror(errno);
    }
  }
  const int ok_close = fclose(file_) == 0;
  if (!ok_close) error_ = std::string("cannot close: ") + strerror(errno);
  file_ = nullptr;
  writing_ = 0;
  return ok_data && ok_riff && ok_close;
}

int CWaveFile::SelectFormat(HWND owner, WAVEFORMATEX* wfx) {
  if (!wfx) return 0;
  return ChooseWaveFormat(owner, wfx, max_format_size_);
}

int CWaveFile::FindFormat(WAVEFORMATEX* wfx) {
  if (!wfx) return 0;
  const uint16_t tag = wfx->wFormatTag;
  const uint32_t want[kFindFields] = {tag, kFindRate, kFindChannels, kFindBits,
                                      wfx->nAvgBytesPerSec, wfx->nBlockAlign};
  const std::vector<CodecFormat> formats = CodecEnumFormats(tag, nullptr);
  const CodecFormat* best = nullptr;
  int best_diffs = kFindFields;  // a format that differs in every field is never taken
  for (const CodecFormat& f : formats) {
    if (!f.driver->is_codec) continue;
    const WAVEFORMATEX* w = f.wfx();
    const uint32_t have[kFindFields] = {w->wFormatTag, w->nSamplesPerSec, w->nChannels,
                                        w->wBitsPerSample, w->nAvgBytesPerSec, w->nBlockAlign};
    int diffs = 0;
    for (int i = 0; i < kFindFields; ++i) diffs += have[i] != want[i];
    if (diffs < best_diffs) {
      best = &f;
      best_diffs = diffs;
    }
  }
  if (!best) return Fail("no codec offers this format tag");
  memset(wfx, 0, size_t(max_format_size_));
  memcpy(wfx, best->bytes.data(), best->bytes.size());
  driver_name_ = best->driver->name;
  driver_description_ = best->driver->description;
  format_description_ = CodecFormatDescription(best->wfx());
  return 1;
}
