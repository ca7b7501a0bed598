#include "app/core/profile_file.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <cstdint>
#include <string_view>

#include "app/core/safe_file.h"

namespace {

const char kBlanks[] = " \t\r";

// Views into the line: looking keys up runs over every line of the file, and copies of each
// would cost more than the search.
std::string_view Trim(std::string_view s) {
  const size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower((unsigned char)a[i]) != std::tolower((unsigned char)b[i])) return false;
  return true;
}

// What one line is: a section header (name set), a key line (key and value set) or other.
struct LineView {
  bool header = false;
  bool entry = false;
  std::string_view name, key, value;
};

LineView Look(std::string_view line) {
  LineView v;
  const std::string_view t = Trim(line);
  if (t.empty() || t[0] == ';' || t[0] == '#') return v;
  if (t[0] == '[') {
    const size_t close = t.find(']');
    if (close != std::string_view::npos) {
      v.header = true;
      v.name = Trim(t.substr(1, close - 1));
    }
    return v;
  }
  const size_t eq = t.find('=');
  if (eq == std::string_view::npos) return v;
  v.key = Trim(t.substr(0, eq));
  v.value = Trim(t.substr(eq + 1));
  v.entry = !v.key.empty();
  return v;
}

bool HasAny(std::string_view s, const char* chars) {
  return s.find_first_of(chars) != std::string_view::npos;
}

}  // namespace

int CProfileFile::Load(const std::string& path) {
  lines_.clear();
  final_newline_ = false;
  crlf_ = false;
  std::vector<uint8_t> data;
  if (!ReadWholeFile(path, data)) return 0;
  const std::string text(data.begin(), data.end());
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    lines_.push_back(text.substr(start, nl - start));
  if (start < text.size())
    lines_.push_back(text.substr(start));
  else
    final_newline_ = !text.empty();
  crlf_ = !lines_.empty() && !lines_[0].empty() && lines_[0].back() == '\r' &&
          (lines_.size() > 1 || final_newline_);
  return 1;
}

int CProfileFile::Save(const std::string& path, std::string* error) const {
  std::string text;
  for (size_t i = 0; i < lines_.size(); ++i) {
    text += lines_[i];
    if (i + 1 < lines_.size() || final_newline_) text += '\n';
  }
  return WriteFileReplacing(path, text.data(), text.size(), error);
}

int CProfileFile::FindKey(const std::string& section, const std::string& key) const {
  bool inside = section.empty();  // keys before the first header belong to section ""
  for (size_t i = 0; i < lines_.size(); ++i) {
    const LineView v = Look(lines_[i]);
    if (v.header)
      inside = SameName(v.name, section);
    else if (inside && v.entry && SameName(v.key, key))
      return int(i);
  }
  return -1;
}

bool CProfileFile::Has(const std::string& section, const std::string& key) const {
  return FindKey(section, key) >= 0;
}

std::string CProfileFile::GetString(const std::string& section, const std::string& key,
                                    const std::string& fallback) const {
  const int i = FindKey(section, key);
  return i < 0 ? fallback : std::string(Look(lines_[size_t(i)]).value);
}

int CProfileFile::GetInt(const std::string& section, const std::string& key, int fallback) const {
  const int i = FindKey(section, key);
  if (i < 0) return fallback;
  const std::string_view value = Look(lines_[size_t(i)]).value;
  const char* begin = value.data();
  const char* end = begin + value.size();
  if (begin < end && *begin == '+') ++begin;
  long long v = 0;
  auto [rest, ec] = std::from_chars(begin, end, v);
  if (begin == end || ec != std::errc() || rest != end || v < INT_MIN || v > INT_MAX)
    return fallback;
  return int(v);
}

void CProfileFile::SetInt(const std::string& section, const std::string& key, int value) {
  SetString(section, key, std::to_string(value));
}

void CProfileFile::SetString(const std::string& section, const std::string& key,
                             const std::string& value) {
  const std::string_view s = Trim(section), k = Trim(key);
  if (s != section || k != key || HasAny(s, "]\r\n") || k.empty() || HasAny(k, "=\r\n") ||
      k[0] == ';' || k[0] == '#' || k[0] == '[')
    return;
  std::string v = value;
  for (char& c : v)
    if (c == '\r' || c == '\n') c = ' ';
  const std::string end = crlf_ ? "\r" : "", text = "=" + std::string(Trim(v)) + end;
  const int at = FindKey(section, key);
  if (at >= 0) {
    // The key keeps the spelling it has in the file.
    lines_[size_t(at)] = std::string(Look(lines_[size_t(at)]).key) + text;
    return;
  }
  std::string line = key + text;
  // After the last non-blank line of the section, so that blank lines before the next
  // header stay there.
  int last = -1;
  bool inside = section.empty();
  bool found = section.empty();
  for (size_t i = 0; i < lines_.size(); ++i) {
    const LineView view = Look(lines_[i]);
    if (view.header) {
      if (found && inside) break;
      inside = SameName(view.name, section);
      if (inside) {
        found = true;
        last = int(i);
      }
    } else if (inside && !Trim(lines_[i]).empty()) {
      last = int(i);
    }
  }
  if (!found) {
    lines_.push_back("[" + section + "]" + end);
    last = int(lines_.size()) - 1;
  }
  if (last + 1 >= int(lines_.size())) {
    lines_.push_back(line);
    final_newline_ = true;
  } else {
    lines_.insert(lines_.begin() + (last + 1), line);
  }
}
