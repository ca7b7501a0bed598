#include "app/core/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kMaxSuffix = 9999;  // STEM_2 ... STEM_9999 before giving up

int Fail(std::string* error, const std::string& path, int err) {
  if (error) *error = path + ": " + strerror(err);
  return 0;
}

int WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return 0;
    }
    p += n;
    size -= size_t(n);
  }
  return 1;
}

// Writes and flushes data into the already created temp file.
int FillTemp(const std::string& temp, const void* data, size_t size, std::string* error) {
  int fd = open(temp.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return Fail(error, temp, errno);
  if (!WriteAll(fd, data, size) || fsync(fd) != 0) {
    int err = errno;
    close(fd);
    unlink(temp.c_str());
    return Fail(error, temp, err);
  }
  if (close(fd) != 0) {
    int err = errno;
    unlink(temp.c_str());
    return Fail(error, temp, err);
  }
  return 1;
}

std::string WithSuffix(const std::string& path, int n) {
  const size_t slash = path.rfind('/');
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
      dot == (slash == std::string::npos ? 0 : slash + 1))
    dot = path.size();
  return path.substr(0, dot) + "_" + std::to_string(n) + path.substr(dot);
}

}  // namespace

int ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::string* error) {
  out.clear();
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return Fail(error, path, errno);
  uint8_t buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) out.insert(out.end(), buffer, buffer + n);
  const bool bad = ferror(f) != 0;
  const int err = errno;
  fclose(f);
  if (bad) return Fail(error, path, err);
  return 1;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

int MakeFolders(const std::string& folder, std::string* error) {
  if (folder.empty()) return 1;
  for (size_t i = 1; i <= folder.size(); ++i) {
    if (i < folder.size() && folder[i] != '/') continue;
    const std::string part = folder.substr(0, i);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return Fail(error, part, errno);
  }
  struct stat st;
  if (stat(folder.c_str(), &st) != 0) return Fail(error, folder, errno);
  if (!S_ISDIR(st.st_mode)) return Fail(error, folder, ENOTDIR);
  return 1;
}

std::string MakeTempFileBeside(const std::string& path, std::string* error) {
  const size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string folder = FolderOf(path);
  std::string pattern = folder + "/." + name + ".XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  int fd = mkostemp(buf.data(), O_CLOEXEC);
  if (fd < 0) {
    Fail(error, path, errno);
    return "";
  }
  fchmod(fd, 0644);
  close(fd);
  return std::string(buf.data());
}

int WriteFileReplacing(const std::string& path, const void* data, size_t size, std::string* error) {
  const std::string temp = MakeTempFileBeside(path, error);
  if (temp.empty()) return 0;
  if (!FillTemp(temp, data, size, error)) return 0;
  if (rename(temp.c_str(), path.c_str()) != 0) {
    int err = errno;
    unlink(temp.c_str());
    return Fail(error, path, err);
  }
  return 1;
}

int PublishNewFile(const std::string& temp, const std::string& wanted, std::string& actual,
                   std::string* error) {
  for (int n = 1; n <= kMaxSuffix; ++n) {
    const std::string candidate = n == 1 ? wanted : WithSuffix(wanted, n);
    // link() fails with EEXIST instead of replacing: two products never share a name.
    if (link(temp.c_str(), candidate.c_str()) == 0) {
      unlink(temp.c_str());
      actual = candidate;
      return 1;
    }
    if (errno != EEXIST) {
      int err = errno;
      unlink(temp.c_str());
      return Fail(error, candidate, err);
    }
  }
  unlink(temp.c_str());
  return Fail(error, wanted, EEXIST);
}

int WriteNewFile(const std::string& wanted, const void* data, size_t size, std::string& actual,
                 std::string* error) {
  const std::string temp = MakeTempFileBeside(wanted, error);
  if (temp.empty()) return 0;
  if (!FillTemp(temp, data, size, error)) return 0;
  return PublishNewFile(temp, wanted, actual, error);
}
