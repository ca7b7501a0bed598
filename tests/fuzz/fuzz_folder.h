// The folder the file-reading targets write their inputs in: tmpfs when the system has one
// (a file written, synced and renamed per input costs next to nothing there), else /tmp.
// Made on first use, emptied and removed at exit.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

inline const std::string& FuzzFolder() {
  static const std::string folder = [] {
    static std::string made;
    for (const char* base : {"/dev/shm", "/tmp"}) {
      std::string tmpl = std::string(base) + "/kestrel-fuzz-XXXXXX";
      if (mkdtemp(tmpl.data())) {
        made = tmpl;
        break;
      }
    }
    if (made.empty()) std::abort();
    std::atexit([] {
      if (DIR* d = opendir(made.c_str())) {
        while (dirent* e = readdir(d))
          if (e->d_name[0] != '.') unlink((made + "/" + e->d_name).c_str());
        closedir(d);
      }
      rmdir(made.c_str());
    });
    return made;
  }();
  return folder;
}
