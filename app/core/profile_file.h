// CProfileFile: the station's profile (KSTL.INI), "[Section]" headers and "key=value" lines.
// Sections and keys are compared without regard to case. Everything the reader does not use
// (comments, blank lines, other sections and keys, line endings) is kept byte for byte, so a
// profile that is loaded and saved unchanged stays the same file; a written key replaces its
// line in place or is added at the end of its section, a missing section at the end.
#pragma once
#include <string>
#include <vector>

class CProfileFile {
 public:
  // 1 read; 0 missing or unreadable (the profile is then empty).
  int Load(const std::string& path);
  // Replaces the file in one step; 1, or 0 with *error set.
  int Save(const std::string& path, std::string* error) const;

  bool Has(const std::string& section, const std::string& key) const;
  // The whole value (spaces around it trimmed) as a decimal int; fallback when the key is
  // missing or its value is not such a number.
  int GetInt(const std::string& section, const std::string& key, int fallback) const;
  // The value with the spaces around it trimmed.
  std::string GetString(const std::string& section, const std::string& key,
                        const std::string& fallback) const;
  void SetInt(const std::string& section, const std::string& key, int value);
  // Line breaks in value become spaces and spaces around it are not kept. A key or section
  // name that could not be read back (empty, with '=', ']' or a line break, or a key
  // starting with ';' '#' '[') is not written.
  void SetString(const std::string& section, const std::string& key, const std::string& value);

 private:
  // Index of the line holding key in section, or -1.
  int FindKey(const std::string& section, const std::string& key) const;

  std::vector<std::string> lines_;  // without '\n'; a '\r' before it stays in the line
  bool final_newline_ = false;      // the last line ended with '\n'
  bool crlf_ = false;               // new lines end with "\r\n" (the file's first line did)
};
