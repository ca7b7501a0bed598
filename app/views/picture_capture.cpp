#include "app/views/picture_capture.h"

#include <algorithm>
#include <cstdio>

#include "app/core/safe_file.h"
#include "spl/decoders/fax_decoder.h"
#include "spl/image/dib_section.h"

namespace {

// Writes a picture through a temporary file and gives it its product name.
int PublishPicture(const std::string& wanted, const std::function<int(const char*)>& write,
                   std::string& path, std::string& error) {
  std::string why;
  if (!MakeFolders(FolderOf(wanted), &why)) return error = why, 0;
  const std::string temp = MakeTempFileBeside(wanted, &why);
  if (temp.empty()) return error = why, 0;
  if (!write(temp.c_str())) {
    remove(temp.c_str());
    error = wanted + ": cannot write the picture";
    return 0;
  }
  if (!PublishNewFile(temp, wanted, path, &why)) return error = why, 0;
  return 1;
}

}  // namespace

int CFaxPictureCapture::Init(const std::string& folder) {
  running_ = false;
  rows_.clear();
  width_ = 0;
  if (folder.empty()) return 0;
  folder_ = folder;
  return 1;
}

void CFaxPictureCapture::Begin() {
  running_ = true;
  rows_.clear();
  width_ = 0;
  start_ = clock_ ? clock_() : time(nullptr);
}

void CFaxPictureCapture::State(int code) {
  switch (code) {
    case kFaxStart300:
    case kFaxStart675:
    case kFaxStop450:
      End(kFaxToneRows);
      break;
    case kFaxWaitStop:
      End(0);
      Begin();
      break;
    default:
      break;
  }
}

void CFaxPictureCapture::Line(const uint8_t* gray, int width) {
  if (!running_ || width <= 0) return;
  if (width_ != width) {  // a change of module ends the picture; the new one goes on
    if (width_ != 0) {
      End(0);
      Begin();
    }
    width_ = width;
  }
  rows_.insert(rows_.end(), gray, gray + width);
  if (Rows() >= kFaxMaxPictureRows) {
    End(0);
    Begin();
  }
}

int CFaxPictureCapture::End(int dropRows) {
  if (!running_) return 0;
  running_ = false;
  const int h = Rows() - dropRows;
  if (h <= kFaxMinPictureRows) return 0;
  CDibSection dib;
  HBITMAP bmp = dib.Create(width_, h, 8);
  if (!bmp) {
    last_error_ = "cannot make the picture";
    return 0;
  }
  RGBQUAD gray[256];
  for (int i = 0; i < 256; ++i) {
    const uint8_t g = uint8_t(255 - i);  // the decoder's levels: 0 white ... 255 black
    gray[i] = RGBQUAD{g, g, g, 0};
  }
  dib.SetPalette(bmp, gray, 256);
  uint8_t* pixels = dib.AdrH(bmp);
  const int bpl = dib.BPL(bmp);
  for (int y = 0; y < h; ++y)  // rows are stored bottom-up
    std::copy(rows_.begin() + size_t(y) * width_, rows_.begin() + size_t(y + 1) * width_,
              pixels + size_t(h - 1 - y) * bpl);
  rows_.clear();
  const std::string wanted = ProductFileName(folder_, "FAX_", start_, ".BMP");
  const int ok = PublishPicture(
      wanted, [&](const char* temp) { return dib.SaveFile(temp, bmp); }, last_saved_, last_error_);
  DeleteObject(bmp);
  return ok;
}

int SaveSstvPicture(const std::string& folder, HBITMAP picture, time_t now, std::string& path,
                    std::string& error) {
  if (!picture) return error = "no picture", 0;
  CDibSection dib;
  const std::string wanted = ProductFileName(folder, "SSTV_", now, ".JPG");
  return PublishPicture(
      wanted, [&](const char* temp) { return dib.SaveJpeg(temp, picture, kSstvJpegQuality); },
      path, error);
}
