// JPEG files through libjpeg: header reads, decoding into 24-bit pictures and encoding of
// 24-bit colour and 8-bit gray pictures. Library errors come back here by longjmp, so a
// damaged file gives a null result and an error code, never an exit.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <jerror.h>

#include "spl/image/dib_rows.h"
#include "spl/image/dib_section.h"

namespace {

constexpr int kMaxScans = 1000;  // progressive files with more scans only cost time
constexpr long kMaxJpegMemory = 768L << 20;  // libjpeg's own work memory (coefficients)
constexpr int kMaxQuality = 100;

// The error manager: fatal errors jump back to the operation; warnings (corrupt or cut-off
// data that libjpeg would paper over) are counted so the operation can refuse the result.
struct JpegErrors {
  jpeg_error_mgr mgr;
  jmp_buf jump;
  int warnings;
};

[[noreturn]] void OnFatal(j_common_ptr c) {
  longjmp(reinterpret_cast<JpegErrors*>(c->err)->jump, 1);
}
void OnMessage(j_common_ptr c, int level) {
  if (level < 0) ++reinterpret_cast<JpegErrors*>(c->err)->warnings;
}
void OnOutput(j_common_ptr) {}  // nothing is printed

void InitErrors(JpegErrors& e) {
  jpeg_std_error(&e.mgr);
  e.mgr.error_exit = OnFatal;
  e.mgr.emit_message = OnMessage;
  e.mgr.output_message = OnOutput;
  e.warnings = 0;
}

// libjpeg running out of memory is a picture too large; anything else is bad data.
int FatalCode(const JpegErrors& e) {
  return e.mgr.msg_code == JERR_OUT_OF_MEMORY ? kDibMemory : kDibTransfer;
}

void OnProgress(j_common_ptr c) {
  if (!c->is_decompressor) return;
  auto* d = reinterpret_cast<j_decompress_ptr>(c);
  if (d->input_scan_number > kMaxScans) longjmp(reinterpret_cast<JpegErrors*>(c->err)->jump, 1);
}

bool ReadWholeFile(const char* path, std::vector<unsigned char>& out) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  unsigned char buf[65536];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.insert(out.end(), buf, buf + n);
  std::fclose(f);
  return true;
}

// Adobe-style CMYK as libjpeg delivers it (stored inverted) into blue-green-red.
void CmykToBgr(const uint8_t* cmyk, int width, uint8_t* bgr) {
  for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    const int k = cmyk[3];
    bgr[0] = uint8_t(cmyk[2] * k / 255);
    bgr[1] = uint8_t(cmyk[1] * k / 255);
    bgr[2] = uint8_t(cmyk[0] * k / 255);
  }
}

}  // namespace

int CDibSection::ReadJpegSize(const unsigned char* data, size_t size, int& width, int& height) {
  if (!data || size == 0) return Fail(kDibRead);
  jpeg_decompress_struct cinfo;
  JpegErrors errors;
  InitErrors(errors);
  cinfo.err = &errors.mgr;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return Fail(kDibTransfer);
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  width = int(cinfo.image_width);
  height = int(cinfo.image_height);
  jpeg_destroy_decompress(&cinfo);
  return 1;
}

HBITMAP CDibSection::ReadJpeg(const unsigned char* data, size_t size) {
  if (!data || size == 0) return FailH(kDibRead);
  jpeg_decompress_struct cinfo;
  JpegErrors errors;
  jpeg_progress_mgr progress{};
  InitErrors(errors);
  cinfo.err = &errors.mgr;
  HBITMAP volatile bitmap = nullptr;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&cinfo);
    if (bitmap) DeleteObject(bitmap);
    return FailH(FatalCode(errors));
  }
  jpeg_create_decompress(&cinfo);
  cinfo.mem->max_memory_to_use = kMaxJpegMemory;
  progress.progress_monitor = OnProgress;
  cinfo.progress = &progress;
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  // Gray and YCbCr/RGB files come out as blue-green-red; four-channel files are taken as
  // CMYK and converted here, since libjpeg does not.
  const bool cmyk = cinfo.num_components == 4;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  bitmap = CreateBitmapObject(int(cinfo.image_width), int(cinfo.image_height), 24);
  if (!bitmap) {
    jpeg_destroy_decompress(&cinfo);
    return FailH(kDibMemory);
  }
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != (cmyk ? 4 : 3)) longjmp(errors.jump, 1);
  JSAMPARRAY work = cmyk ? (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo),
                                                      JPOOL_IMAGE, cinfo.output_width * 4, 1)
                         : nullptr;
  while (cinfo.output_scanline < cinfo.output_height) {
    const int y = int(cinfo.output_scanline);
    JSAMPROW row = cmyk ? work[0] : DibRow(bitmap, y);  // top row first into bottom-up rows
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) longjmp(errors.jump, 1);
    if (cmyk) CmykToBgr(work[0], int(cinfo.output_width), DibRow(bitmap, y));
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  if (errors.warnings) {  // cut-off or corrupt data: refused rather than shown half gray
    DeleteObject(bitmap);
    return FailH(kDibTransfer);
  }
  return bitmap;
}

int CDibSection::GetJPEGSize(const char* path, int& width, int& height) {
  std::vector<unsigned char> data;
  if (!ReadWholeFile(path, data)) return Fail(kDibOpenRead);
  return ReadJpegSize(data.data(), data.size(), width, height);
}

int CDibSection::GetSize(const char* path, int& width, int& height) {
  return DibIsJpegName(path) ? GetJPEGSize(path, width, height) : GetBMPSize(path, width, height);
}

HBITMAP CDibSection::LoadJpeg(const char* path) {
  std::vector<unsigned char> data;
  if (!ReadWholeFile(path, data)) return FailH(kDibOpenRead);
  return ReadJpeg(data.data(), data.size());
}

int CDibSection::SaveJpeg(const char* path, HBITMAP h, int quality) {
  if (!Check(h)) return 0;
  if (h->bits != 24 && h->bits != 8) return Fail(kDibTransfer);
  const int q = quality < 0 ? 0 : quality > kMaxQuality ? kMaxQuality : quality;
  jpeg_compress_struct cinfo;
  JpegErrors errors;
  InitErrors(errors);
  cinfo.err = &errors.mgr;
  // libjpeg writes the buffer address and size; they live outside this frame's registers.
  struct Out {
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
  };
  Out* volatile out = new (std::nothrow) Out;
  if (!out) return Fail(kDibMemory);
  if (setjmp(errors.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(out->buffer);
    delete out;
    return Fail(FatalCode(errors));
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &out->buffer, &out->size);
  cinfo.image_width = JDIMENSION(h->width);
  cinfo.image_height = JDIMENSION(DibRows(h));
  // 8-bit pictures are written as their index values, i.e. gray when the palette is a ramp.
  cinfo.input_components = h->bits == 24 ? 3 : 1;
  cinfo.in_color_space = h->bits == 24 ? JCS_EXT_BGR : JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, q, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = DibRow(h, int(cinfo.next_scanline));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);

  int ok = 0;
  FILE* f = std::fopen(path, "wb");
  if (!f) {
    m_error = kDibOpenWrite;
  } else {
    ok = std::fwrite(out->buffer, out->size, 1, f) == 1;
    if (std::fclose(f) != 0) ok = 0;
    if (!ok) m_error = kDibWrite;
  }
  std::free(out->buffer);
  delete out;
  return ok;
}
