// The station's settings record (KSTLCONFIG.CFG): 3477 bytes holding every station setting,
// read and written only through byte accessors at the places named in settings_fields.h
// (little-endian integers, IEEE-754 little-endian doubles, zero-terminated strings), so the
// file is the same on every machine. Also the table of its fields by name, for showing and
// changing one field from text.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/core/settings_fields.h"

class CSettingsRecord {
 public:
  CSettingsRecord();  // holds the compiled-in defaults
  // The compiled-in defaults; every byte no field names is 0.
  void SetDefaults();

  // Fields at byte offsets of settings_fields.h. A field that does not lie inside the record
  // reads as 0 / "" and is not written.
  int32_t GetInt(int offset) const;
  void SetInt(int offset, int32_t v);
  double GetDouble(int offset) const;
  void SetDouble(int offset, double v);
  // The text up to the first zero byte (at most size - 1 characters).
  std::string GetString(int offset, int size) const;
  // Stores s truncated to size - 1 bytes; the rest of the field is zeroed.
  void SetString(int offset, int size, const std::string& s);
  // Folder paths: strings of kSettingsPathSize bytes.
  std::string GetPath(int offset) const;
  void SetPath(int offset, const std::string& p);

  const uint8_t* Bytes() const { return bytes_; }
  uint8_t* Bytes() { return bytes_; }
  // Takes a whole record; 1, or 0 when size is not kSettingsRecordSize (nothing changed).
  int Assign(const uint8_t* data, size_t size);

  // Loads the file over the defaults. 1 loaded; 0 missing or unreadable (defaults in force,
  // nothing said); -1 the file has another size: it is renamed to PATH.bad so that nothing
  // the user had is lost, the defaults are used and *message says so.
  int Load(const std::string& path, std::string* message);
  // Replaces the file in one step; 1, or 0 with *error set.
  int Save(const std::string& path, std::string* error) const;

  // Every empty folder path becomes base + "/fax", "/sstv", "/text", "/audio", "/scann" or
  // "/data". A folder that would not fit into its 256 bytes stays empty.
  void FillFolders(const std::string& base);

 private:
  bool Inside(int offset, int size) const {
    return offset >= 0 && size >= 0 && offset <= kSettingsRecordSize - size;
  }
  uint8_t bytes_[kSettingsRecordSize];
};

// The six folders the station writes into, with the name of each default folder.
struct StationFolder {
  int offset;           // path field of the record
  const char* subdir;   // default: base + "/" + subdir
};
const StationFolder* StationFolders(int* count);

enum SettingsFieldKind { kFieldInt, kFieldDouble, kFieldString, kFieldBytes };
struct SettingsField {
  const char* name;  // lower case, groups before a dot: "rtty.tone1"
  int offset;
  SettingsFieldKind kind;
  int size;  // bytes
};
// Every field of settings_fields.h, in the order of their offsets.
const SettingsField* SettingsFields(int* count);
// By name (case-insensitive) or by decimal offset; null when there is no such field.
const SettingsField* FindSettingsField(const std::string& nameOrOffset);
// The value as text: integers in decimal, doubles in the shortest form that reads back to
// the same number, strings as stored (control bytes as \xHH), byte fields in hexadecimal.
std::string FormatSettingsField(const CSettingsRecord& r, const SettingsField& f);
// Sets the field from text in the form FormatSettingsField gives (integers also as 0xHEX;
// byte fields may give fewer bytes, the rest become 0). 1, or 0 with *error set (a short
// phrase) and the record unchanged.
int ParseSettingsField(CSettingsRecord& r, const SettingsField& f, const std::string& text,
                       std::string* error);
