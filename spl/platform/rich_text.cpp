#include "spl/platform/rich_text.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr char kRtfMagic[] = "{\\rtf";
constexpr char kDefaultFace[] = "Courier";
constexpr int kMinHalfPoints = 2;
constexpr int kMaxHalfPoints = 3276;
constexpr uint32_t kColourMask = 0x00FFFFFF;
// RTF limits a control word to 32 letters and its parameter to a 16-bit value; longer ones are
// read to their end but only this much of them is kept.
constexpr size_t kMaxWordLetters = 32;
constexpr int kMaxParamDigits = 10;
constexpr long kParamLimit = 2147483647;
// \uN counts above 32767 are written as negative numbers.
constexpr long kUnicodeWrap = 65536;
constexpr int kDefaultUnicodeSkip = 1;
constexpr uint8_t kNoBreakSpace = 0xA0;
constexpr char kHexDigits[] = "0123456789abcdef";

// Groups whose text is not part of the document.
constexpr const char* kSkippedDestinations[] = {
    "fonttbl",  "stylesheet", "info",      "pict",      "object",   "objdata",
    "fldinst",  "header",     "headerl",   "headerr",   "headerf",  "footer",
    "footerl",  "footerr",    "footerf",   "footnote",  "listtable", "listoverridetable",
    "revtbl",   "rsidtbl",    "filetbl",   "pgdsctbl",  "xmlnstbl", "themedata",
    "colorschememapping", "latentstyles", "datastore", "generator", "nonshppict", "shpinst",
    "annotation", "atnid",    "atnauthor", "bkmkstart", "bkmkend",  "template",
};

// Control words that stand for one character of text.
struct WordChar {
  const char* word;
  uint8_t byte;
};
constexpr WordChar kWordChars[] = {
    {"par", '\n'},     {"line", '\n'},      {"sect", '\n'},      {"page", '\n'},
    {"row", '\n'},     {"tab", '\t'},       {"cell", '\t'},      {"emdash", 0x97},
    {"endash", 0x96},  {"bullet", 0x95},    {"lquote", 0x91},    {"rquote", 0x92},
    {"ldblquote", 0x93}, {"rdblquote", 0x94}, {"emspace", ' '},  {"enspace", ' '},
};

// Windows-1252 bytes 0x80..0x9F and the Unicode characters they stand for (0 = unused).
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The Windows-1252 byte of a Unicode character, or -1 when it has none.
int Cp1252FromUnicode(long code) {
  if (code < 0) code += kUnicodeWrap;
  if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return int(code);
  for (int i = 0; i < 32; ++i)
    if (kCp1252High[i] && kCp1252High[i] == code) return 0x80 + i;
  return -1;
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendHexEscape(std::string& out, uint8_t byte) {
  out += "\\'";
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 15];
}

// One byte of document text in RTF.
void AppendTextByte(std::string& out, uint8_t byte) {
  if (byte == '\n') {
    out += "\\par\n";
  } else if (byte == '\t') {
    out += "\\tab ";
  } else if (byte == '\\' || byte == '{' || byte == '}') {
    out += '\\';
    out += char(byte);
  } else if (byte < 0x20 || byte >= 0x7F) {
    AppendHexEscape(out, byte);
  } else {
    out += char(byte);
  }
}

// The face in the font table: characters that would end the entry or the group are left out.
void AppendFace(std::string& out, const std::string& face) {
  std::string clean;
  for (char c : face)
    if (c != ';' && c != '{' && c != '}' && c != '\\' && uint8_t(c) >= 0x20) clean += c;
  if (clean.empty()) clean = kDefaultFace;
  for (char c : clean) AppendTextByte(out, uint8_t(c));
}

void AppendColour(std::vector<RichRun>& runs, uint32_t colour, uint8_t byte) {
  if (runs.empty() || runs.back().colour != colour) runs.push_back({std::string(), colour});
  runs.back().text += char(byte);
}

// The state a group inherits from its parent and loses at its end.
struct GroupState {
  uint32_t colour = 0;
  int unicodeSkip = kDefaultUnicodeSkip;
  bool skip = false;       // a destination without document text
  bool colourTable = false;
};

class CRtfReader {
 public:
  CRtfReader(const std::string& rtf, std::vector<RichRun>& runs) : in_(rtf), runs_(runs) {}

  int Read() {
    runs_.clear();
    size_t start = 0;
    while (start < in_.size() && (in_[start] == ' ' || in_[start] == '\t' ||
                                  in_[start] == '\r' || in_[start] == '\n'))
      ++start;
    if (in_.compare(start, sizeof kRtfMagic - 1, kRtfMagic) != 0) return 0;
    pos_ = start;
    while (pos_ < in_.size()) {
      const char c = in_[pos_++];
      if (c == '{') {
        if (int(stack_.size()) >= kRtfMaxDepth) return 0;
        stack_.push_back(state_);
        pending_skip_ = 0;
      } else if (c == '}') {
        if (stack_.empty()) return 0;
        if (state_.colourTable) EndColourEntryIfAny();
        state_ = stack_.back();
        stack_.pop_back();
        pending_skip_ = 0;
        // Whatever follows the document's closing brace is not part of it.
        if (stack_.empty()) return 1;
      } else if (c == '\\') {
        if (!ControlSequence()) return 0;
      } else if (c == '\r' || c == '\n') {
        // Line ends in RTF source are layout of the file only.
      } else {
        Text(uint8_t(c));
      }
    }
    return 0;  // the document group never closed
  }

 private:
  // After the backslash. 0 when malformed.
  int ControlSequence() {
    if (pos_ >= in_.size()) return 0;
    const char c = in_[pos_];
    if (!IsLetter(c)) {
      ++pos_;
      return ControlSymbol(c);
    }
    std::string word;
    while (pos_ < in_.size() && IsLetter(in_[pos_])) {
      if (word.size() < kMaxWordLetters) word += in_[pos_];
      ++pos_;
    }
    bool hasParam = false;
    bool negative = false;
    long param = 0;
    if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() && IsDigit(in_[pos_ + 1])) {
      negative = true;
      ++pos_;
    }
    int digits = 0;
    while (pos_ < in_.size() && IsDigit(in_[pos_])) {
      hasParam = true;
      if (digits++ < kMaxParamDigits) param = std::min(param * 10 + (in_[pos_] - '0'), kParamLimit);
      ++pos_;
    }
    if (negative) param = -param;
    if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
    return ControlWord(word, hasParam, param);
  }

  int ControlSymbol(char c) {
    switch (c) {
      case '\\':
      case '{':
      case '}':
        Text(uint8_t(c));
        return 1;
      case '\'': {
        if (pos_ + 2 > in_.size()) return 0;
        const int hi = HexValue(in_[pos_]), lo = HexValue(in_[pos_ + 1]);
        if (hi < 0 || lo < 0) return 0;
        pos_ += 2;
        Text(uint8_t(hi * 16 + lo));
        return 1;
      }
      case '~':
        Text(kNoBreakSpace);
        return 1;
      case '_':
        Text('-');
        return 1;
      case '*':
        state_.skip = true;
        return 1;
      case '\r':
      case '\n':
        Text('\n');
        return 1;
      default:  // \- optional hyphen, \| \: index marks and unknown symbols give no text
        CountSkipped();
        return 1;
    }
  }

  int ControlWord(const std::string& word, bool hasParam, long param) {
    if (word == "bin") {
      // Binary data of param bytes follows, text of no one's concern here.
      if (hasParam && param > 0) pos_ += std::min(size_t(param), in_.size() - pos_);
      return 1;
    }
    if (word == "colortbl") {
      state_.colourTable = true;
      state_.skip = true;
      ResetColourEntry();
      return 1;
    }
    if (state_.colourTable) {
      const int value = int(std::clamp(param, 0L, 255L));
      int* component = word == "red"     ? &red_
                       : word == "green" ? &green_
                       : word == "blue"  ? &blue_
                                         : nullptr;
      if (component) {
        *component = value;
        entry_used_ = true;
      }
      return 1;
    }
    for (const char* d : kSkippedDestinations)
      if (word == d) {
        state_.skip = true;
        return 1;
      }
    for (const WordChar& w : kWordChars)
      if (word == w.word) {
        Text(w.byte);
        return 1;
      }
    if (word == "cf") {
      const bool known = hasParam && param >= 0 && size_t(param) < colours_.size();
      state_.colour = known ? colours_[size_t(param)] : 0;
    } else if (word == "plain") {
      state_.colour = 0;
    } else if (word == "uc") {
      state_.unicodeSkip = int(std::clamp(param, 0L, 16L));
    } else if (word == "u" && hasParam) {
      const int byte = Cp1252FromUnicode(param);
      if (byte >= 0) {
        Text(uint8_t(byte));
        pending_skip_ = state_.unicodeSkip;
      }
      // Without a Windows-1252 byte the writer's fallback stands for the character.
    } else {
      CountSkipped();
    }
    return 1;
  }

  // A control word or symbol in place of a fallback character.
  void CountSkipped() {
    if (pending_skip_ > 0) --pending_skip_;
  }

  void Text(uint8_t byte) {
    if (state_.colourTable) {
      if (byte == ';') EndColourEntry();
      return;
    }
    if (pending_skip_ > 0) {
      --pending_skip_;
      return;
    }
    if (state_.skip) return;
    AppendColour(runs_, state_.colour, byte);
  }

  void ResetColourEntry() {
    red_ = green_ = blue_ = 0;
    entry_used_ = false;
  }
  // An empty entry is the automatic colour, which is black for received text.
  void EndColourEntry() {
    colours_.push_back(uint32_t(red_) | uint32_t(green_) << 8 | uint32_t(blue_) << 16);
    ResetColourEntry();
  }
  // Some writers leave the last entry's ';' out.
  void EndColourEntryIfAny() {
    if (entry_used_) EndColourEntry();
  }

  const std::string& in_;
  std::vector<RichRun>& runs_;
  size_t pos_ = 0;
  GroupState state_;
  std::vector<GroupState> stack_;
  int pending_skip_ = 0;
  std::vector<uint32_t> colours_;
  int red_ = 0, green_ = 0, blue_ = 0;
  bool entry_used_ = false;
};

}  // namespace

std::string WriteRtf(const std::vector<RichRun>& runs, const RichFont& font) {
  std::vector<uint32_t> colours;
  for (const RichRun& r : runs) {
    const uint32_t c = r.colour & kColourMask;
    if (!r.text.empty() && std::find(colours.begin(), colours.end(), c) == colours.end())
      colours.push_back(c);
  }
  std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset0 ";
  AppendFace(out, font.face);
  out += ";}}\n{\\colortbl ;";
  for (uint32_t c : colours)
    out += "\\red" + std::to_string(c & 0xFF) + "\\green" + std::to_string((c >> 8) & 0xFF) +
           "\\blue" + std::to_string((c >> 16) & 0xFF) + ";";
  out += "}\n\\pard\\plain\\f0\\fs" +
         std::to_string(std::clamp(font.halfPoints, kMinHalfPoints, kMaxHalfPoints));
  if (font.bold) out += "\\b";
  out += "\n";
  size_t current = colours.size();  // no colour chosen yet
  for (const RichRun& r : runs) {
    if (r.text.empty()) continue;
    const size_t index = size_t(
        std::find(colours.begin(), colours.end(), r.colour & kColourMask) - colours.begin());
    if (index != current) {
      out += "\\cf" + std::to_string(index + 1) + " ";
      current = index;
    }
    for (char c : r.text) AppendTextByte(out, uint8_t(c));
  }
  out += "}\n";
  return out;
}

int ReadRtf(const std::string& rtf, std::vector<RichRun>& runs) {
  CRtfReader reader(rtf, runs);
  return reader.Read();
}

void MergeRichRuns(std::vector<RichRun>& runs) {
  std::vector<RichRun> merged;
  for (RichRun& r : runs) {
    if (r.text.empty()) continue;
    if (!merged.empty() && merged.back().colour == r.colour)
      merged.back().text += r.text;
    else
      merged.push_back(std::move(r));
  }
  runs = std::move(merged);
}

std::string RichPlainText(const std::vector<RichRun>& runs) {
  std::string text;
  for (const RichRun& r : runs) text += r.text;
  return text;
}
