#include "app/core/station_paths.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "app/core/safe_file.h"

namespace {

// The longest default folder name, "/scann", must still fit with the base into a path field.
constexpr size_t kLongestFolderSuffix = 6;
constexpr size_t kMaxBaseLength = kSettingsPathSize - 1 - kLongestFolderSuffix;

bool IsFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string NonEmptyEnv(const char* name) {
  const char* v = getenv(name);
  return v ? std::string(v) : std::string();
}

int SetError(std::string* error, const std::string& text) {
  if (error) *error = text;
  return 0;
}

}  // namespace

std::string ChooseBaseFolder(const std::string& given, std::string* error) {
  std::error_code ec;
  const std::filesystem::path cwd = std::filesystem::current_path(ec);
  if (ec && (given.empty() || given[0] != '/')) {
    SetError(error, "current folder: " + ec.message());
    return std::string();
  }
  std::filesystem::path base;
  if (!given.empty()) {
    base = given[0] == '/' ? std::filesystem::path(given) : cwd / given;
  } else if (IsFile(BasePath(cwd.string(), kProfileFileName)) ||
             IsFile(BasePath(cwd.string(), kSettingsFileName))) {
    base = cwd;
  } else {
    const std::string xdg = NonEmptyEnv("XDG_DATA_HOME");
    const std::string home = NonEmptyEnv("HOME");
    // A relative XDG_DATA_HOME is to be ignored, as the base directory rules say.
    if (!xdg.empty() && xdg[0] == '/') {
      base = std::filesystem::path(xdg) / kDataHomeFolderName;
    } else if (!home.empty()) {
      base = std::filesystem::path(home) / ".local" / "share" / kDataHomeFolderName;
    } else {
      SetError(error, "base folder: neither XDG_DATA_HOME nor HOME is set");
      return std::string();
    }
  }
  std::string text = base.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  if (text.size() > kMaxBaseLength) {
    SetError(error, text + ": longer than " + std::to_string(kMaxBaseLength) +
                        " characters, the station's folders would not fit into its settings");
    return std::string();
  }
  if (!MakeFolders(text, error)) return std::string();
  return text;
}

std::string BasePath(const std::string& base, const char* name) { return base + "/" + name; }

int MakeStationFolders(const CSettingsRecord& r, std::string* error) {
  int count;
  const StationFolder* folders = StationFolders(&count);
  for (int i = 0; i < count; ++i) {
    const std::string path = r.GetPath(folders[i].offset);
    if (path.empty())
      return SetError(error, std::string(folders[i].subdir) + " folder: no path in the settings");
    if (!MakeFolders(path, error)) return 0;
  }
  return 1;
}

void DeleteLockFiles(const std::string& base) {
  DIR* dir = opendir(base.c_str());
  if (!dir) return;
  const size_t suffix = strlen(kLockFileSuffix);
  while (const dirent* e = readdir(dir)) {
    const size_t n = strlen(e->d_name);
    if (n <= suffix || strcasecmp(e->d_name + n - suffix, kLockFileSuffix) != 0) continue;
    const std::string path = BasePath(base, e->d_name);
    if (IsFile(path)) unlink(path.c_str());
  }
  closedir(dir);
}
