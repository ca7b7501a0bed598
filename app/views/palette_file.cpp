#include "app/views/palette_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "app/core/safe_file.h"
#include "app/views/picture_capture.h"
#include "spl/image/dib_section.h"

namespace {

constexpr int kMaxValue = 255;
constexpr int kJpegQuality = 90;  // a recoloured picture is worth more than a received one

uint8_t Clamp(long v) { return uint8_t(std::clamp<long>(v, 0, kMaxValue)); }

bool IsJpegName(const std::string& path) {
  std::string lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
  return lower.size() >= 4 && (lower.rfind(".jpg") == lower.size() - 4 ||
                               (lower.size() >= 5 && lower.rfind(".jpeg") == lower.size() - 5));
}

// Writes h through a temporary file beside path, then puts it in path's place.
int SaveReplacing(CDibSection& dib, HBITMAP h, const std::string& path, bool jpeg, std::string& error) {
  std::string why;
  const std::string temp = MakeTempFileBeside(path, &why);
  if (temp.empty()) return error = why, 0;
  errno = 0;
  const int ok = jpeg ? dib.SaveJpeg(temp.c_str(), h, kJpegQuality) : dib.SaveFile(temp.c_str(), h);
  if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
    error = path + ": " + (errno ? strerror(errno) : CDibSection::ErrorText(dib.Error()));
    remove(temp.c_str());
    return 0;
  }
  return 1;
}

}  // namespace

Palette GrayPalette() {
  Palette p;
  for (int i = 0; i < kPaletteEntries; ++i) p.entries[i] = RGBQUAD{uint8_t(i), uint8_t(i), uint8_t(i), 0};
  return p;
}

int ReadPalette(const std::string& path, Palette& out, std::string& error) {
  std::ifstream in(path);
  if (!in) return error = path + ": " + strerror(errno ? errno : ENOENT), 0;
  Palette p{};
  std::string line;
  for (int i = 0; i < kPaletteEntries; ++i) {
    long r = 0, g = 0, b = 0;
    if (!std::getline(in, line)) return error = path + ": only " + std::to_string(i) + " of 256 colours", 0;
    std::istringstream fields(line);
    if (!(fields >> r >> g >> b))
      return error = path + ", line " + std::to_string(i + 1) + ": not three numbers", 0;
    p.entries[i] = RGBQUAD{Clamp(b), Clamp(g), Clamp(r), 0};
  }
  out = p;
  return 1;
}

int WritePalette(const std::string& path, const Palette& palette, std::string& error) {
  std::string text;
  char line[32];
  for (const RGBQUAD& q : palette.entries) {
    snprintf(line, sizeof line, "%d %d %d\n", q.rgbRed, q.rgbGreen, q.rgbBlue);
    text += line;
  }
  std::string why;
  if (!WriteFileReplacing(path, text.data(), text.size(), &why)) return error = why, 0;
  return 1;
}

int ApplyPaletteToFile(const std::string& path, const Palette& palette, std::string& error) {
  CDibSection dib;
  HBITMAP source = dib.LoadFile(path.c_str());
  if (!source) return error = path + ": " + CDibSection::ErrorText(dib.Error()), 0;
  HBITMAP gray = dib.ConvertToGray(source);
  DeleteObject(source);
  if (!gray || !dib.SetPalette(gray, palette.entries, kPaletteEntries)) {
    if (gray) DeleteObject(gray);
    return error = path + ": cannot make the picture", 0;
  }
  const bool jpeg = IsJpegName(path);
  // JPEG keeps no palette: the colours themselves are written.
  HBITMAP out = jpeg ? dib.Convert(gray, 24) : gray;
  int ok = out && SaveReplacing(dib, out, path, jpeg, error);
  if (!out) error = path + ": cannot make the picture";
  const std::string preview = FaxPreviewName(path);
  struct stat st {};
  if (ok && !preview.empty() && stat(preview.c_str(), &st) == 0) {
    HBITMAP small = dib.Shrink(gray, kFaxPreviewFileWidth, kFaxPreviewFileHeight, 1);
    if (!small || !SaveReplacing(dib, small, preview, false, error)) ok = 0;
    if (small) DeleteObject(small);
  }
  if (out && out != gray) DeleteObject(out);
  DeleteObject(gray);
  return ok;
}
