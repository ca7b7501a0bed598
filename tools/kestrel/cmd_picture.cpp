// kestrel picture: looks into BMP (plain and run-length encoded) and JPEG files, converts
// between them and between pixel depths, and edits pictures with the picture editor's
// engine, with the station's own picture-file code.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "spl/image/dib_edit.h"
#include "spl/image/dib_rows.h"
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
    "       kestrel picture edit IN OUT --op OP [--op OP ...] [--gray] [--reduce]\n"
    "info prints the format, width, height, bits per pixel, compression (none, RLE8, RLE4,\n"
    "JPEG) and palette size of a BMP or JPEG file.\n"
    "convert reads IN (BMP or JPEG, told by its contents) and writes OUT: JPEG when OUT ends\n"
    "in .jpg or .jpeg (quality Q, 0 ... 100, default 75), otherwise BMP, run-length encoded\n"
    "with --rle (4 or 8 bits). --bits converts the pixels first; pictures that JPEG cannot\n"
    "carry as they are (palettes other than a gray ramp) go through 24 bits.\n"
    "edit reads IN, applies the operations in the order given and writes OUT: JPEG when OUT\n"
    "ends in .jpg, otherwise BMP; 24 bits, or an 8-bit gray picture with --gray, or 256\n"
    "dithered colours (BMP only) with --reduce. OP is one of\n"
    "  r90 r180 r270      rotate left, half a turn, right\n"
    "  hmirror vmirror    mirror left to right, top to bottom\n"
    "  invert thin        invert the colours; thin dark strokes to one pixel\n"
    "  bright:N contrast:N  brightness, contrast by level N (0 changes nothing)\n"
    "  kup:N kdown:N      sharpen, soften with level N, 1 ... 5\n"
    "  sync:X             move column X to the left edge, cyclically\n"
    "  slant:S            slant correction: row y moves S pixels further left than row y - 1\n"
    "  modul:IIOC:IRPM:OIOC:ORPM  a FAX picture from module IIOC at IRPM lines per minute\n"
    "                     (its width stands for the module) to module OIOC at ORPM\n"
    "  resize:WxH         scale to W x H\n"
    "  crop:X,Y,W,H       the part W x H at X, Y\n";

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

// One editing operation of "edit": its name, the numbers after the colon (how many, what
// separates them, whole numbers or not), the form shown in messages, and the engine's call.
struct EditOp {
  const char* name;
  int count;
  char separator;
  bool whole;
  const char* form;
  int (*apply)(CDibEdit& edit, const double* v);
};
const EditOp kEditOps[] = {
    {"r90", 0, 0, true, "r90", [](CDibEdit& e, const double*) { return e.R90(); }},
    {"r180", 0, 0, true, "r180", [](CDibEdit& e, const double*) { return e.R180(); }},
    {"r270", 0, 0, true, "r270", [](CDibEdit& e, const double*) { return e.R270(); }},
    {"hmirror", 0, 0, true, "hmirror", [](CDibEdit& e, const double*) { return e.HMirror(); }},
    {"vmirror", 0, 0, true, "vmirror", [](CDibEdit& e, const double*) { return e.VMirror(); }},
    {"invert", 0, 0, true, "invert", [](CDibEdit& e, const double*) { return e.Invert(); }},
    {"thin", 0, 0, true, "thin", [](CDibEdit& e, const double*) { return e.Thin(); }},
    {"bright", 1, 0, true, "bright:N",
     [](CDibEdit& e, const double* v) { return e.Bright(int(v[0])); }},
    {"contrast", 1, 0, true, "contrast:N",
     [](CDibEdit& e, const double* v) { return e.Contrast(int(v[0])); }},
    {"kup", 1, 0, true, "kup:N with N from 1 to 5",
     [](CDibEdit& e, const double* v) { return e.KUp(int(v[0])); }},
    {"kdown", 1, 0, true, "kdown:N with N from 1 to 5",
     [](CDibEdit& e, const double* v) { return e.KDown(int(v[0])); }},
    {"sync", 1, 0, true, "sync:X",
     [](CDibEdit& e, const double* v) { return e.DoSync(int(v[0])); }},
    {"slant", 1, 0, false, "slant:S with S not 0",
     [](CDibEdit& e, const double* v) { return e.DoSlant(v[0], e.GetSlantFactor()); }},
    {"modul", 4, ':', false, "modul:IIOC:IRPM:OIOC:ORPM, all above 0",
     [](CDibEdit& e, const double* v) { return e.ModulConvert(v[0], v[1], v[2], v[3]); }},
    {"resize", 2, 'x', true, "resize:WxH with W and H from 1",
     [](CDibEdit& e, const double* v) { return e.Resize(int(v[0]), int(v[1])); }},
    {"crop", 4, ',', true, "crop:X,Y,W,H inside the picture",
     [](CDibEdit& e, const double* v) {
       return e.Crop(int(v[0]), int(v[1]), int(v[2]), int(v[3]));
     }},
};
constexpr int kMaxOpNumbers = 4;

// An operation read from its text.
struct ParsedOp {
  const EditOp* op;
  std::string text;
  double v[kMaxOpNumbers];
};

// Reads "name" or "name:numbers"; 0 after a message naming the operation.
int ParseOp(const std::string& text, ParsedOp& out) {
  const size_t colon = text.find(':');
  const std::string name = text.substr(0, colon);
  out.op = nullptr;
  out.text = text;
  for (const EditOp& op : kEditOps)
    if (name == op.name) out.op = &op;
  if (!out.op) {
    std::string names;
    for (const EditOp& op : kEditOps) names += std::string(names.empty() ? "" : ", ") + op.name;
    return Fail("picture", "unknown op \"" + text + "\" (one of " + names + ")"), 0;
  }
  const EditOp& op = *out.op;
  const std::string bad = "bad op \"" + text + "\": expected " + op.form;
  if (op.count == 0) return colon == std::string::npos ? 1 : (Fail("picture", bad), 0);
  if (colon == std::string::npos) return Fail("picture", bad), 0;
  const char* p = text.c_str() + colon + 1;
  const char separator = op.separator ? op.separator : ':';
  for (int i = 0; i < op.count; ++i) {
    if (i > 0 && *p++ != separator) return Fail("picture", bad), 0;
    char* end = nullptr;
    errno = 0;
    if (op.whole) {
      const long v = std::strtol(p, &end, 10);
      if (end == p || errno || v < INT_MIN || v > INT_MAX) return Fail("picture", bad), 0;
      out.v[i] = double(v);
    } else {
      const double v = std::strtod(p, &end);
      if (end == p || errno || !std::isfinite(v)) return Fail("picture", bad), 0;
      out.v[i] = v;
    }
    p = end;
  }
  return *p ? (Fail("picture", bad), 0) : 1;
}

int Edit(CArgs& args, const std::vector<std::string>& opTexts) {
  const std::string& in = args.Positional()[1];
  const std::string& out = args.Positional()[2];
  if (args.Has("--bits") || args.Has("--quality") || args.Has("--rle"))
    return Fail("picture", "edit takes --op, --gray and --reduce");
  if (opTexts.empty()) return Fail("picture", "edit needs at least one --op");
  // The editor tells JPEG by ".jpg" alone; any other JPEG name would get BMP contents.
  if (IsJpegName(out) && !DibIsJpegName(out.c_str()))
    return Fail("picture", "edit writes JPEG files named .jpg");
  std::vector<ParsedOp> ops(opTexts.size());
  for (size_t i = 0; i < opTexts.size(); ++i)
    if (!ParseOp(opTexts[i], ops[i])) return kExitUsage;

  CDibEdit edit;
  HBITMAP h = nullptr;
  FileKind kind = FileKind::kBmp;
  uint32_t compression = BI_RGB;
  if (!Load(edit, in, h, kind, compression)) return kExitUsage;
  if (!edit.Adopt(h)) {
    DeleteObject(h);
    return Fail("picture", in + ": " + CDibSection::ErrorText(edit.Error()));
  }
  for (const ParsedOp& op : ops) {
    edit.ClearError();
    if (op.op->apply(edit, op.v)) continue;
    // A refused argument leaves no error code; a failed allocation does.
    return Fail("picture", "op \"" + op.text + "\" failed (" +
                               (edit.Error() ? CDibSection::ErrorText(edit.Error())
                                             : std::string("expected ") + op.op->form) +
                               ")");
  }
  const int gray = args.Has("--gray"), reduce = args.Has("--reduce");
  if (!edit.SaveWorkFile(out, gray, reduce))
    return Fail("picture", out + ": " + CDibSection::ErrorText(edit.Error()));
  const bool jpeg = DibIsJpegName(out.c_str());
  const char* depth = gray ? "8 bits gray" : reduce && !jpeg ? "8 bits" : "24 bits";
  printf("%s: %d x %d, %s after %zu operation%s\n", out.c_str(), edit.PictureWidth(),
         edit.PictureHeight(), depth, ops.size(), ops.size() == 1 ? "" : "s");
  return kExitOk;
}

}  // namespace

int RunPicture(int argc, char** argv) {
  // "--op" may come many times, which the option parser does not keep: take them out first.
  std::vector<std::string> ops;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (i > 0 && std::string(argv[i]) == "--op") {
      if (i + 1 >= argc) return Fail("picture", "option --op needs a value");
      ops.push_back(argv[++i]);
    } else {
      rest.push_back(argv[i]);
    }
  }
  CArgs args({"--bits", "--quality"}, {"--rle", "--gray", "--reduce"});
  if (!args.Parse(int(rest.size()), rest.data())) return Fail("picture", args.Error());
  if (args.WantsHelp()) return fputs(kUsage, stdout), kExitOk;
  const auto& pos = args.Positional();
  const bool editOptions = !ops.empty() || args.Has("--gray") || args.Has("--reduce");
  if (pos.size() == 3 && pos[0] == "edit") return Edit(args, ops);
  if (editOptions) return Fail("picture", "--op, --gray and --reduce are for edit");
  if (pos.size() == 2 && pos[0] == "info") {
    if (args.Has("--bits") || args.Has("--quality") || args.Has("--rle"))
      return Fail("picture", "info takes no options");
    return Info(pos[1]);
  }
  if (pos.size() == 3 && pos[0] == "convert") return Convert(args);
  return Fail("picture",
              "expected info FILE, convert IN OUT or edit IN OUT --op OP (see kestrel picture --help)");
}
