#include "app/lists/frq_csv.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/core/safe_file.h"
#include "app/lists/frq_columns.h"

#ifndef KESTREL_DATA_DIR
#define KESTREL_DATA_DIR "data"
#endif

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";

std::string QuotedField(const std::string& field) {
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string q = "\"";
  for (char c : field) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

std::string Where(int line, int column) {
  std::string s = "line " + std::to_string(line);
  if (column > 0)
    s += ", column " + std::to_string(column) + " (" + FrqColumns()[column - 1].name + ")";
  return s;
}

// The RFC 4180 reader: one record at a time, with the line it starts on.
class CCsvReader {
 public:
  explicit CCsvReader(const std::string& text) : text_(text) {
    if (text_.compare(0, 3, kByteOrderMark) == 0) at_ = 3;
  }
  bool AtEnd() const { return at_ >= text_.size(); }
  int Line() const { return line_; }
  // The next record into fields; 0 with *error ("line L: ...") on a quoting fault.
  int Next(std::vector<std::string>& fields, int& startLine, std::string* error) {
    fields.clear();
    startLine = line_;
    std::string field;
    for (;;) {
      if (at_ < text_.size() && text_[at_] == '"') {
        ++at_;
        for (;;) {
          if (at_ >= text_.size()) {
            if (error)
              *error = "line " + std::to_string(startLine) + ", column " +
                       std::to_string(fields.size() + 1) + ": quote not closed";
            return 0;
          }
          const char c = text_[at_++];
          if (c == '"') {
            if (at_ < text_.size() && text_[at_] == '"') {
              field += '"';
              ++at_;
              continue;
            }
            break;
          }
          if (c == '\n') ++line_;
          field += c;
        }
        if (at_ < text_.size() && text_[at_] != ',' && text_[at_] != '\r' && text_[at_] != '\n') {
          if (error)
            *error = "line " + std::to_string(line_) + ", column " + std::to_string(fields.size() + 1) +
                     ": text after the closing quote";
          return 0;
        }
      } else {
        while (at_ < text_.size() && text_[at_] != ',' && text_[at_] != '\r' && text_[at_] != '\n') {
          if (text_[at_] == '"') {
            if (error)
              *error = "line " + std::to_string(line_) + ", column " + std::to_string(fields.size() + 1) +
                       ": quote inside a field that does not start with one";
            return 0;
          }
          field += text_[at_++];
        }
      }
      fields.push_back(std::move(field));
      field.clear();
      if (at_ >= text_.size()) return 1;
      const char c = text_[at_++];
      if (c == ',') continue;
      if (c == '\r' && at_ < text_.size() && text_[at_] == '\n') ++at_;
      ++line_;
      return 1;
    }
  }

 private:
  const std::string& text_;
  size_t at_ = 0;
  int line_ = 1;
};

}  // namespace

std::string FrqCsvText(const std::vector<CFrqRecord>& records) {
  const FrqColumn* cols = FrqColumns();
  std::string out;
  for (int i = 0; i < kFrqColumnCount; ++i) out += (i ? "," : "") + QuotedField(cols[i].name);
  out += kLineEnd;
  for (const CFrqRecord& r : records) {
    for (int i = 0; i < kFrqColumnCount; ++i) out += (i ? "," : "") + QuotedField(FormatFrqField(r, cols[i]));
    out += kLineEnd;
  }
  return out;
}

int ParseFrqCsv(const std::string& text, std::vector<CFrqRecord>& out, std::string* error,
                std::vector<std::string>* notes) {
  CCsvReader reader(text);
  std::vector<std::string> fields;
  std::vector<CFrqRecord> records;
  std::vector<std::string> found;
  bool header = true;
  int line = 0;
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return 0;
  };
  while (!reader.AtEnd()) {
    if (!reader.Next(fields, line, error)) return 0;
    if (fields.size() == 1 && fields[0].empty()) continue;  // an empty line
    if (fields.size() != size_t(kFrqColumnCount))
      return fail(Where(line, 0) + ": " + std::to_string(fields.size()) + " fields, " +
                  std::to_string(kFrqColumnCount) + " expected");
    if (header) {
      for (int i = 0; i < kFrqColumnCount; ++i)
        if (FindFrqColumn(fields[i]) != i)
          return fail(Where(line, i + 1) + ": header \"" + CutUtf8(fields[i], 40) + "\" is not this column");
      header = false;
      continue;
    }
    CFrqRecord r = FrqTemplate();
    for (int i = 0; i < kFrqColumnCount; ++i) {
      std::string why;
      int cut = 0;
      if (!ParseFrqField(r, FrqColumns()[i], fields[i], &why, &cut)) return fail(Where(line, i + 1) + ": " + why);
      if (cut) found.push_back(Where(line, i + 1) + ": cut to fit");
    }
    std::string why;
    if (!CheckFrqRecord(r, 0, nullptr, &why)) return fail(Where(line, 0) + ": " + why);
    records.push_back(r);
  }
  if (header) return fail("line 1: no header row");
  out.swap(records);
  if (notes) notes->insert(notes->end(), found.begin(), found.end());
  return 1;
}

int ImportFrqCsv(CFrqListSet& list, const std::string& path, int* added, std::string* error,
                 std::vector<std::string>* notes) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, bytes, error)) return 0;
  std::vector<CFrqRecord> records;
  std::string why;
  std::vector<std::string> found;
  if (!ParseFrqCsv(std::string(bytes.begin(), bytes.end()), records, &why, &found)) {
    if (error) *error = path + ": " + why + " (nothing imported)";
    return 0;
  }
  if (!list.AddAll(records)) {
    if (error) *error = list.Error();
    return 0;
  }
  if (added) *added = int(records.size());
  if (notes)
    for (const std::string& f : found) notes->push_back(path + ": " + f);
  return 1;
}

int ExportFrqCsv(CFrqListSet& list, const std::string& path, std::string* error,
                 std::vector<std::string>* notes) {
  std::vector<FrqListRow> rows;
  if (!list.List(kFrqSortById, rows, notes)) {
    if (error) *error = list.Error();
    return 0;
  }
  std::vector<CFrqRecord> records;
  records.reserve(rows.size());
  for (const FrqListRow& row : rows) records.push_back(row.record);
  const std::string text = FrqCsvText(records);
  return WriteFileReplacing(path, text.data(), text.size(), error);
}

int EnsureFrqDatabase(const std::string& folder, const std::string& starterCsv, std::string* error) {
  const std::string path = folder + "/" + kFrqDataFileName;
  struct stat st;
  if (stat(path.c_str(), &st) == 0) return 1;
  if (errno != ENOENT) {
    if (error) *error = path + ": " + std::strerror(errno);
    return 0;
  }
  const std::string temp = MakeTempFileBeside(path, error);
  if (temp.empty()) return 0;
  int ok = 1;
  {
    CFrqListSet list;
    if (!list.Init(temp, 1)) {
      if (error) *error = list.Error();
      ok = 0;
    } else if (!starterCsv.empty()) {
      ok = ImportFrqCsv(list, starterCsv, nullptr, error);
    }
  }
  if (ok && rename(temp.c_str(), path.c_str()) != 0) {
    if (error) *error = path + ": " + std::strerror(errno);
    ok = 0;
  }
  if (!ok) unlink(temp.c_str());
  return ok;
}

std::string DefaultFrqStarterPath() { return std::string(KESTREL_DATA_DIR) + "/" + kFrqStarterFileName; }
