// kestrel settings: look into and change the station's settings record (KSTLCONFIG.CFG) one
// field at a time, by the names of the record's field table.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/core/safe_file.h"
#include "app/core/settings_record.h"
#include "tools/kestrel/command.h"

namespace {

const char* kHelp =
    "usage: kestrel settings show FILE\n"
    "       kestrel settings get FILE NAME|OFFSET\n"
    "       kestrel settings set FILE NAME|OFFSET VALUE\n"
    "       kestrel settings reset FILE\n"
    "  The station's settings record (KSTLCONFIG.CFG, 3477 bytes). show prints every field as\n"
    "  NAME OFFSET VALUE (the names get and set take); get prints one value; set changes one\n"
    "  field and replaces the file in one step; reset writes the defaults. A missing FILE\n"
    "  stands for the defaults. Values: whole numbers (also 0xHEX), numbers with a decimal\n"
    "  point, text (folders, receiver name), byte fields as hexadecimal digits (missing bytes\n"
    "  become 0). A file of another size is refused and left as it is.\n";

// The record in FILE. 1 read; 0 FILE missing (defaults); -1 failed, already reported.
int ReadRecord(const std::string& path, CSettingsRecord& r, int* status) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 && errno == ENOENT) return 0;
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, &error)) {
    const std::string prefix = path + ": ";
    *status = Fail(path, error.compare(0, prefix.size(), prefix) == 0 ? error.substr(prefix.size())
                                                                       : error);
    return -1;
  }
  if (!r.Assign(bytes.data(), bytes.size())) {
    *status = Fail(path, std::to_string(bytes.size()) + " bytes, not a settings file of " +
                             std::to_string(kSettingsRecordSize));
    return -1;
  }
  return 1;
}

int Write(const std::string& path, const CSettingsRecord& r) {
  std::string error;
  if (r.Save(path, &error)) return kExitOk;
  const std::string prefix = path + ": ";
  return Fail(path, error.compare(0, prefix.size(), prefix) == 0 ? error.substr(prefix.size()) : error);
}

const SettingsField* Field(const std::string& name, int* status) {
  const SettingsField* f = FindSettingsField(name);
  if (!f) *status = Fail(name, "no such setting (kestrel settings show FILE lists them)");
  return f;
}

void Show(const CSettingsRecord& r) {
  int count;
  const SettingsField* fields = SettingsFields(&count);
  int width = 0;
  for (int i = 0; i < count; ++i) width = std::max(width, int(strlen(fields[i].name)));
  for (int i = 0; i < count; ++i) {
    const std::string value = FormatSettingsField(r, fields[i]);
    printf("%-*s  %4d%s%s\n", width, fields[i].name, fields[i].offset, value.empty() ? "" : "  ",
           value.c_str());
  }
}

}  // namespace

int RunSettings(int argc, char** argv) {
  const std::string verb = argc > 1 ? argv[1] : "";
  // Only the VALUE of set may look like an option ("-1" needs no care, "--" text does).
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (verb == "set" && i == 4) continue;
    if (a == "--help" || a == "-h") {
      fputs(kHelp, stdout);
      return kExitOk;
    }
    if (a.size() > 1 && a[0] == '-' && !(a[1] >= '0' && a[1] <= '9'))
      return Fail("settings", "unknown option " + a);
  }
  const int wanted = verb == "show" || verb == "reset" ? 3 : verb == "get" ? 4 : verb == "set" ? 5 : 0;
  if (wanted == 0 || argc != wanted) {
    fputs(kHelp, stderr);
    return kExitUsage;
  }
  const std::string path = argv[2];
  CSettingsRecord r;
  if (verb == "reset") return Write(path, r);

  int status = kExitUsage;
  const int read = ReadRecord(path, r, &status);
  if (read < 0) return status;
  if (read == 0 && verb != "set")
    fprintf(stderr, "kestrel: %s: no such file, these are the defaults\n", path.c_str());
  if (verb == "show") {
    Show(r);
    return kExitOk;
  }
  const SettingsField* f = Field(argv[3], &status);
  if (!f) return status;
  if (verb == "get") {
    printf("%s\n", FormatSettingsField(r, *f).c_str());
    return kExitOk;
  }
  std::string error;
  if (!ParseSettingsField(r, *f, argv[4], &error)) return Fail(f->name, error);
  return Write(path, r);
}
