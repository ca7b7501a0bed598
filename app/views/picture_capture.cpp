#include "app/views/picture_capture.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/core/safe_file.h"
#include "spl/decoders/fax_decoder.h"
#include "spl/image/dib_section.h"
#include "spl/image/fax_denoise.h"
#include "spl/image/fax_slant.h"

namespace {

// An 8-bit BMP's bytes before its pixels: file header, information header and 256 colours.
constexpr long long kGrayBmpHeader = 14 + 40 + 256 * 4;
// Tries to save a FAX picture that does not fit: the first retry takes the rows the disk took,
// later ones halve, and the picture is given up after this many.
constexpr int kMaxSaveAttempts = 8;

bool OutOfSpace(int err) { return err == ENOSPC || err == EFBIG || err == EDQUOT; }

// Writes a picture through a temporary file and gives it its product name. When the write
// fails, err receives the system's reason and written how many bytes reached the disk; the
// temporary file is removed, so nothing half written stays.
int PublishPicture(const std::string& wanted, const std::function<int(const char*)>& write,
                   std::string& path, std::string& error, int* err = nullptr,
                   long long* written = nullptr) {
  std::string why;
  if (!MakeFolders(FolderOf(wanted), &why)) return error = why, 0;
  const std::string temp = MakeTempFileBeside(wanted, &why);
  if (temp.empty()) return error = why, 0;
  errno = 0;
  if (!write(temp.c_str())) {
    const int e = errno ? errno : EIO;
    struct stat st {};
    if (written) *written = stat(temp.c_str(), &st) == 0 ? (long long)st.st_size : 0;
    if (err) *err = e;
    remove(temp.c_str());
    error = wanted + ": " + strerror(e);
    return 0;
  }
  if (!PublishNewFile(temp, wanted, path, &why)) return error = why, 0;
  return 1;
}

// The first height rows as an 8-bit picture with the decoder's gray levels; null without memory.
HBITMAP GrayPicture(CDibSection& dib, const uint8_t* rows, int width, int height) {
  HBITMAP bmp = dib.Create(width, height, 8);
  if (!bmp) return nullptr;
  RGBQUAD gray[256];
  for (int i = 0; i < 256; ++i) {
    const uint8_t g = uint8_t(255 - i);  // the decoder's levels: 0 white ... 255 black
    gray[i] = RGBQUAD{g, g, g, 0};
  }
  dib.SetPalette(bmp, gray, 256);
  uint8_t* pixels = dib.AdrH(bmp);
  const int bpl = dib.BPL(bmp);
  for (int y = 0; y < height; ++y)  // rows are stored bottom-up
    std::copy(rows + size_t(y) * width, rows + size_t(y + 1) * width,
              pixels + size_t(height - 1 - y) * bpl);
  return bmp;
}

}  // namespace

int SaveFaxPicture(const std::string& wanted, const uint8_t* rows, int width, int height,
                   std::string& path, int& savedRows, std::string& error) {
  savedRows = 0;
  if (!rows || width < 1 || height < 1) return error = wanted + ": no picture", 0;
  std::string space_error;  // why the whole picture did not fit
  long long h = height;
  for (int attempt = 0; attempt < kMaxSaveAttempts && h >= 1; ++attempt) {
    CDibSection dib;
    HBITMAP bmp = GrayPicture(dib, rows, width, int(h));
    if (!bmp) return error = wanted + ": cannot make the picture", 0;
    const long long bpl = dib.BPL(bmp);
    int err = 0;
    long long written = 0;
    const int ok = PublishPicture(
        wanted, [&](const char* temp) { return dib.SaveFile(temp, bmp); }, path, error, &err,
        &written);
    DeleteObject(bmp);
    if (ok) {
      savedRows = int(h);
      if (h < height) error = space_error;
      return 1;
    }
    if (!OutOfSpace(err)) return 0;
    if (space_error.empty()) space_error = error;
    // The rows whose bytes reached the disk fit once the failed file is gone.
    const long long fit = (written - kGrayBmpHeader) / bpl;
    h = std::min(fit, attempt == 0 ? h - 1 : h / 2);
  }
  error = space_error;
  return 0;
}

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
      if (autosave_) Begin();
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
  int h = Rows() - dropRows;
  if (h <= kFaxMinPictureRows) return 0;
  const double drift = auto_slant_ ? FaxLineDrift(rows_.data(), width_, h) : 0.0;
  last_ppm_ = FaxDriftPpm(drift, width_);
  if (drift != 0.0) rows_ = FaxStraighten(rows_.data(), width_, &h, drift);
  const double noise = auto_denoise_ ? FaxNoiseLevel(rows_.data(), width_, h) : 0.0;
  if (noise >= kFaxCleanNoise) rows_ = FaxDenoise(rows_.data(), width_, h, noise);
  const std::string wanted = ProductFileName(folder_, "FAX_", start_, ".BMP");
  int saved = 0;
  last_error_.clear();
  const int ok = SaveFaxPicture(wanted, rows_.data(), width_, h, last_saved_, saved, last_error_);
  std::string why;
  if (ok && !SaveFaxPreview(last_saved_, rows_.data(), width_, saved, why) &&
      last_error_.empty())
    last_error_ = why;
  rows_.clear();
  return ok;
}

int SaveFaxNow(const std::string& folder, const uint8_t* rows, int width, int height, time_t now,
               std::string& path, std::string& error) {
  int saved = 0;
  if (!SaveFaxPicture(ProductFileName(folder, "FAX_", now, ".BMP"), rows, width, height, path,
                      saved, error))
    return 0;
  if (!SaveFaxPreview(path, rows, width, saved, error)) return 1;  // the picture is safe
  error.clear();
  return 1;
}

std::string FaxPreviewName(const std::string& path) {
  static const char kPictureExt[] = "BMP";
  const size_t n = sizeof kPictureExt - 1;
  if (path.size() < n) return "";
  for (size_t i = 0; i < n; ++i)
    if (std::toupper(static_cast<unsigned char>(path[path.size() - n + i])) != kPictureExt[i])
      return "";
  std::string preview = path;
  preview.back() = std::islower(static_cast<unsigned char>(path.back())) ? 'm' : 'M';
  return preview;
}

int SaveFaxPreview(const std::string& picturePath, const uint8_t* rows, int width, int height,
                   std::string& error) {
  const std::string target = FaxPreviewName(picturePath);
  if (target.empty()) return error = picturePath + ": no BMP name for a preview", 0;
  if (!rows || width < 1 || height < 1) return error = target + ": no picture", 0;
  CDibSection dib;
  HBITMAP full = GrayPicture(dib, rows, width, height);
  if (!full) return error = target + ": cannot make the picture", 0;
  HBITMAP small = dib.Shrink(full, kFaxPreviewFileWidth, kFaxPreviewFileHeight, 1);
  DeleteObject(full);
  if (!small) return error = target + ": cannot make the preview", 0;
  std::string why;
  const std::string temp = MakeTempFileBeside(target, &why);
  int ok = 0;
  if (temp.empty()) {
    error = why;
  } else if (!dib.SaveFile(temp.c_str(), small)) {
    error = target + ": " + strerror(errno ? errno : EIO);
    remove(temp.c_str());
  } else if (rename(temp.c_str(), target.c_str()) != 0) {
    error = target + ": " + strerror(errno);
    remove(temp.c_str());
  } else {
    ok = 1;
  }
  DeleteObject(small);
  return ok;
}

int SaveSstvPicture(const std::string& folder, HBITMAP picture, time_t now, std::string& path,
                    std::string& error) {
  return SaveSstvPictureAs(ProductFileName(folder, "SSTV_", now, ".JPG"), picture, path, error);
}

int SaveSstvPictureAs(const std::string& wanted, HBITMAP picture, std::string& path,
                      std::string& error) {
  if (!picture) return error = "no picture", 0;
  CDibSection dib;
  return PublishPicture(
      wanted, [&](const char* temp) { return dib.SaveJpeg(temp, picture, kSstvJpegQuality); },
      path, error);
}

int PictureFolderWritable(const std::string& folder, std::string& error) {
  std::string why;
  if (!MakeFolders(folder, &why)) return error = why, 0;
  const std::string probe = MakeTempFileBeside(folder + "/.write-test", &why);
  if (probe.empty()) {
    const size_t colon = why.rfind(": ");
    error = folder + (colon == std::string::npos ? ": " + why : why.substr(colon));
    return 0;
  }
  remove(probe.c_str());
  return 1;
}
