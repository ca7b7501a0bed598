// kestrel picture: looks into BMP (plain and run-length encoded) and JPEG files and converts
// between them and between pixel depths, with the station's own picture-file code.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "spl/image/dib_section.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/command.h"

namespace {

constexpr long kDefaultQuality = 75;  // as the station saves its pictures
constexpr long kMaxQuality = 100;
constexpr size_t kBmpCompressionAt = 30;  // the compression field in a BMP file
constexpr int kGrayLevels = 256;

const char* kUsage =
    "usage: kestrel picture info FILE\n"
    "       kestrel picture convert IN OUT [--bits 1|4|8|24] [--rle] [--quality Q]\n"
    "info prints the format, width, height, bits per pixel, compression (none, RLE8, RLE4,\n"
    "JPEG) and palette size of a BMP or JPEG file.\n"
    "convert reads IN (BMP or JPEG, told by its contents) and writes OUT: JPEG when OUT ends\n"
    "in .jpg or .jpeg (quality Q, 0 ... 100, default 75), otherwise BMP, run-length encoded\n"
    "with --rle (4 or 8 bits). --bits converts the pixels first; pictures that JPEG cannot\n"
    "carry as they are (palettes other than a gray ramp) go through 24 bits.\n";

enum class FileKind { kBmp, kJpeg };

// One BMP compression code and how the tool names it.
struct CompressionName {
  uint32_t code;
  const char* name;
};
constexpr uint32_t kBiBitfields = 3;  // plain rows described by colour masks
const CompressionName kCompressionNames[] = {
    {BI_RGB, "none"}, {BI_RLE8, "RLE8"}, {BI_RLE4, "RLE4"}, {kBiBitfields, "bitfields"}};

const char* NameOfCompression(uint32_t code) {
  for (const CompressionName& c : kCompressionNames)
    if (c.code == code) return c.name;
  return "unknown";
}

bool EndsWithNoCase(const std::string& s, const std::string& tail) {
  if (s.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != tail[i])
      return false;
  return true;
}
bool IsJpegName(const std::string& path) {
  return EndsWithNoCase(path, ".jpg") || EndsWithNoCase(path, ".jpeg");
}

bool ReadFile(const std::string& path, std::vector<unsigned char>& out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  unsigned char buf[65536];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.insert(out.end(), buf, buf + n);
  std::fclose(f);
  return true;
}

// Reads a picture file of either kind, told by its first bytes; 0 after a message.
int Load(CDibSection& dib, const std::string& path, HBITMAP& h, FileKind& kind,
         uint32_t& compression) {
  std::vector<unsigned char> data;
  if (!ReadFile(path, data)) return Fail("picture", path + ": cannot open the file"), 0;
  if (data.size() >= 2 && data[0] == 0xFF && data[1] == 0xD8) {
    kind = FileKind::kJpeg;
    h = dib.ReadJpeg(data.data(), data.size());
  } else if (data.size() >= 2 && data[0] == 'B' && data[1] == 'M') {
    kind = FileKind::kBmp;
    compression = data.size() >= kBmpCompressionAt + 4
                      ? uint32_t(data[30] | data[31] << 8 | data[32] << 16 | uint32_t(data[33]) << 24)
                      : BI_RGB;
    h = dib.ReadBMP(data.data(), data.size());
  } else {
    return Fail("picture", path + ": not a BMP or JPEG file"), 0;
  }
  if (!h) {
    const char* what = kind == FileKind::kJpeg ? "bad JPEG file" : "bad BMP file";
    return Fail("picture", path + ": " + what + " (" + CDibSection::ErrorText(dib.Error()) + ")"), 0;
  }
  return 1;
}

bool IsGrayRamp(HBITMAP h) {
  for (int i = 0; i < kGrayLevels; ++i) {
    const RGBQUAD& q = h->palette[i];
    if (q.rgbRed != i || q.rgbGreen != i || q.rgbBlue != i) return false;
  }
  return true;
}

int Info(const std::string& path) {
  CDibSection dib;
  HBITMAP h = nullptr;
  FileKind kind = FileKind::kBmp;
  uint32_t compression = BI_RGB;
  if (!Load(dib, path, h, kind, compression)) return kExitUsage;
  const int bits = dib.Bits(h);
  const int height = dib.Height(h);
  printf("file:        %s\n", path.c_str());
  printf("format:      %s\n", kind == FileKind::kJpeg ? "JPEG" : "BMP");
  printf("width:       %d\n", dib.Width(h));
  // Row order is a property of BMP files; JPEG rows always run from the top.
  if (kind == FileKind::kJpeg)
    printf("height:      %d\n", height < 0 ? -height : height);
  else
    printf("height:      %d (%s)\n", height < 0 ? -height : height,
           height < 0 ? "top-down" : "bottom-up");
  printf("bits:        %d\n", bits);
  printf("compression: %s\n", kind == FileKind::kJpeg ? "JPEG" : NameOfCompression(compression));
  printf("palette:     %d\n", bits <= 8 ? dib.Colors(h) : 0);
  DeleteObject(h);
  return kExitOk;
}

// Replaces h by its conversion to bits; 0 after a message.
int ConvertTo(CDibSection& dib, HBITMAP& h, int bits) {
  if (dib.Bits(h) == bits) return 1;
  HBITMAP c = dib.Convert(h, bits);
  if (!c)
    return Fail("picture", "cannot convert to " + std::to_string(bits) + " bits (" +
                               CDibSection::ErrorText(dib.Error()) + ")"),
           0;
  DeleteObject(h);
  h = c;
  return 1;
}

int Convert(CArgs& args) {
  const std::string& in = args.Positional()[1];
  const std::string& out = args.Positional()[2];
  long bits = 0, quality = 0;
  if (args.Has("--bits")) {
    if (!args.GetInt("--bits", 24, 1, 24, bits)) return Fail("picture", args.Error());
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
      return Fail("picture", "--bits must be 1, 4, 8 or 24");
  }
  if (!args.GetInt("--quality", kDefaultQuality, 0, kMaxQuality, quality))
    return Fail("picture", args.Error());
  const bool jpeg = IsJpegName(out);
  if (jpeg && args.Has("--rle")) return Fail("picture", "--rle is for BMP output");
  if (!jpeg && args.Has("--quality")) return Fail("picture", "--quality is for JPEG output");

  CDibSection dib;
  HBITMAP h = nullptr;
  FileKind kind = FileKind::kBmp;
  uint32_t compression = BI_RGB;
  if (!Load(dib, in, h, kind, compression)) return kExitUsage;
  int status = kExitOk;
  if (bits && !ConvertTo(dib, h, int(bits))) {
    status = kExitUsage;
  } else if (jpeg) {
    // JPEG carries 24-bit colour, or 8-bit values as gray.
    const bool asIs = dib.Bits(h) == 24 || (dib.Bits(h) == 8 && IsGrayRamp(h));
    if (!asIs && !ConvertTo(dib, h, 24)) {
      status = kExitUsage;
    } else if (!dib.SaveJpeg(out.c_str(), h, int(quality))) {
      status = Fail("picture", out + ": " + CDibSection::ErrorText(dib.Error()));
    }
  } else if (args.Has("--rle")) {
    if (dib.Bits(h) != 4 && dib.Bits(h) != 8)
      status = Fail("picture", "--rle needs a 4- or 8-bit picture (add --bits 4 or --bits 8)");
    else if (!dib.SaveFileRLE(out.c_str(), h))
      status = Fail("picture", out + ": " + CDibSection::ErrorText(dib.Error()));
  } else if (!dib.SaveFile(out.c_str(), h)) {
    status = Fail("picture", out + ": " + CDibSection::ErrorText(dib.Error()));
  }
  if (status == kExitOk)
    printf("%s: %s, %d x %d, %d bits\n", out.c_str(),
           jpeg ? "JPEG" : args.Has("--rle") ? (dib.Bits(h) == 8 ? "BMP RLE8" : "BMP RLE4") : "BMP",
           dib.Width(h), std::abs(dib.Height(h)), jpeg ? 24 : dib.Bits(h));
  DeleteObject(h);
  return status;
}

}  // namespace

int RunPicture(int argc, char** argv) {
  CArgs args({"--bits", "--quality"}, {"--rle"});
  if (!args.Parse(argc, argv)) return Fail("picture", args.Error());
  if (args.WantsHelp()) return fputs(kUsage, stdout), kExitOk;
  const auto& pos = args.Positional();
  if (pos.size() == 2 && pos[0] == "info") {
    if (args.Has("--bits") || args.Has("--quality") || args.Has("--rle"))
      return Fail("picture", "info takes no options");
    return Info(pos[1]);
  }
  if (pos.size() == 3 && pos[0] == "convert") return Convert(args);
  return Fail("picture", "expected info FILE or convert IN OUT (see kestrel picture --help)");
}
