// Run-length encoded BMP files and the saving entry point that picks the file kind.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "spl/image/bmp_rle.h"
#include "spl/image/dib_rows.h"
#include "spl/image/dib_section.h"

namespace {
constexpr int kFileHeaderSize = 14;
constexpr int kJpegQuality = 75;  // what pictures saved as ".jpg" get
}  // namespace

int CDibSection::SaveFileRLE(const char* path, HBITMAP h) {
  if (!Check(h)) return 0;
  if (h->bits != 4 && h->bits != 8) return Fail(kDibTransfer);
  // Files hold run-length rows bottom-up whatever order the bitmap stores them in. The
  // buffer grows as needed: a picture of short runs codes larger than it is.
  std::vector<uint8_t> coded;
  coded.reserve(size_t(SizeH(h)) + 2);
  const int rows = DibRows(h);
  for (int k = 0; k < rows; ++k)
    EncodeBmpRleRow(DibRow(h, rows - 1 - k), h->width, h->bits, k == rows - 1, coded);
  if (coded.size() > 0xFFFFFFF0u) return Fail(kDibTransfer);

  BITMAPFILEHEADER* fh = CreateBitmapFileHeader(h);
  BITMAPINFO* info = CreateBitmapInfo(h);
  if (!fh || !info) {
    std::free(fh);
    std::free(info);
    return Fail(kDibMemory);
  }
  info->bmiHeader.biHeight = rows;
  info->bmiHeader.biCompression = h->bits == 8 ? BI_RLE8 : BI_RLE4;
  info->bmiHeader.biSizeImage = uint32_t(coded.size());
  fh->bfSize = uint32_t(kFileHeaderSize + SizeB(info) + coded.size());
  int ok = 0;
  FILE* f = std::fopen(path, "wb");
  if (!f) {
    m_error = kDibOpenWrite;
  } else {
    ok = std::fwrite(fh, kFileHeaderSize, 1, f) == 1 &&
         std::fwrite(info, size_t(SizeB(info)), 1, f) == 1 &&
         std::fwrite(coded.data(), coded.size(), 1, f) == 1;
    if (std::fclose(f) != 0) ok = 0;
    if (!ok) m_error = kDibWrite;
  }
  std::free(fh);
  std::free(info);
  return ok;
}

int CDibSection::SaveFileCompressed(const char* path, HBITMAP h) {
  if (DibIsJpegName(path)) return SaveJpeg(path, h, kJpegQuality);
  if (!Check(h)) return 0;
  if (h->bits == 4 || h->bits == 8) return SaveFileRLE(path, h);
  return SaveFile(path, h);
}
