// The base folder choice (given, current folder with a station file, the XDG data folder),
// creating the station's folders and deleting lock files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/core/station_paths.h"
#include "tests/common/signal_test_util.h"

namespace {

namespace fs = std::filesystem;

// Runs the test in folder and with HOME and XDG_DATA_HOME set as asked ("" unsets), and
// puts everything back when it goes.
class CEnvironment {
 public:
  CEnvironment(const std::string& folder, const char* home, const char* xdg) {
    Keep("HOME", home_);
    Keep("XDG_DATA_HOME", xdg_);
    cwd_ = fs::current_path().string();
    fs::current_path(folder);
    Put("HOME", home);
    Put("XDG_DATA_HOME", xdg);
  }
  ~CEnvironment() {
    fs::current_path(cwd_);
    Put("HOME", home_.first ? home_.second.c_str() : "");
    Put("XDG_DATA_HOME", xdg_.first ? xdg_.second.c_str() : "");
  }

 private:
  static void Keep(const char* name, std::pair<bool, std::string>& out) {
    const char* v = getenv(name);
    out = {v != nullptr, v ? v : ""};
  }
  static void Put(const char* name, const char* value) {
    if (*value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  std::pair<bool, std::string> home_, xdg_;
  std::string cwd_;
};

TEST(StationPaths, BaseFolderChoice) {
  sigtest::TempDir dir;
  const std::string work = dir.File("work"), home = dir.File("home"), xdg = dir.File("xdg");
  fs::create_directories(work);
  std::string error;
  {
    // Nothing in the current folder: XDG_DATA_HOME, created.
    CEnvironment env(work, home.c_str(), xdg.c_str());
    EXPECT_EQ(ChooseBaseFolder("", &error), xdg + "/kestrel") << error;
    EXPECT_TRUE(fs::is_directory(xdg + "/kestrel"));
  }
  {
    // XDG_DATA_HOME empty or relative: HOME/.local/share.
    CEnvironment env(work, home.c_str(), "");
    EXPECT_EQ(ChooseBaseFolder("", &error), home + "/.local/share/kestrel") << error;
    CEnvironment relative(work, home.c_str(), "relative/data");
    EXPECT_EQ(ChooseBaseFolder("", &error), home + "/.local/share/kestrel") << error;
  }
  {
    CEnvironment env(work, "", "");
    error.clear();
    EXPECT_EQ(ChooseBaseFolder("", &error), "");
    EXPECT_NE(error.find("HOME"), std::string::npos);
  }
  for (const char* name : {"KSTL.INI", "KSTLCONFIG.CFG"}) {
    // A station file in the current folder makes it the base.
    const std::string here = dir.File(std::string("here-") + name);
    fs::create_directories(here);
    std::ofstream(here + "/" + name) << "x";
    CEnvironment env(here, home.c_str(), xdg.c_str());
    EXPECT_EQ(ChooseBaseFolder("", &error), here) << name;
  }
  {
    // A folder named KSTL.INI is no profile.
    fs::create_directories(work + "/KSTL.INI");
    CEnvironment env(work, home.c_str(), xdg.c_str());
    EXPECT_EQ(ChooseBaseFolder("", &error), xdg + "/kestrel");
  }
  {
    // Given, absolute or relative to the current folder, created, without trailing '/'.
    CEnvironment env(work, home.c_str(), xdg.c_str());
    EXPECT_EQ(ChooseBaseFolder(dir.File("given/"), &error), dir.File("given"));
    EXPECT_EQ(ChooseBaseFolder("sub/./station//", &error), work + "/sub/station");
    EXPECT_TRUE(fs::is_directory(work + "/sub/station"));
    // A file in the way, and a base too long for the folders in the record.
    std::ofstream(work + "/plain") << "x";
    error.clear();
    EXPECT_EQ(ChooseBaseFolder(work + "/plain", &error), "");
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_EQ(ChooseBaseFolder("/tmp/" + std::string(250, 'x'), &error), "");
    EXPECT_NE(error.find("longer than"), std::string::npos) << error;
  }
  EXPECT_EQ(BasePath("/base", kSettingsFileName), "/base/KSTLCONFIG.CFG");
}

TEST(StationPaths, FoldersAndLockFiles) {
  sigtest::TempDir dir;
  CSettingsRecord r;
  std::string error;
  EXPECT_EQ(MakeStationFolders(r, &error), 0);  // empty paths
  EXPECT_FALSE(error.empty());
  r.SetPath(kCfgFaxFolder, dir.File("pictures/fax"));
  r.FillFolders(dir.path());
  ASSERT_EQ(MakeStationFolders(r, &error), 1) << error;
  for (const char* sub : {"pictures/fax", "sstv", "text", "audio", "scann", "data"})
    EXPECT_TRUE(fs::is_directory(dir.File(sub))) << sub;
  EXPECT_FALSE(fs::exists(dir.File("fax")));

  for (const char* name : {"FrqData.ldb", "TIMER.LDB", "keep.ldbx", "keep.mdb", ".ldb"})
    std::ofstream(dir.File(name)) << "x";
  fs::create_directories(dir.File("folder.ldb"));
  DeleteLockFiles(dir.path());
  EXPECT_FALSE(fs::exists(dir.File("FrqData.ldb")));
  EXPECT_FALSE(fs::exists(dir.File("TIMER.LDB")));
  EXPECT_TRUE(fs::exists(dir.File("keep.ldbx")));
  EXPECT_TRUE(fs::exists(dir.File("keep.mdb")));
  EXPECT_TRUE(fs::exists(dir.File(".ldb")));  // a hidden file, no lock file
  EXPECT_TRUE(fs::is_directory(dir.File("folder.ldb")));
  DeleteLockFiles(dir.File("missing"));  // nothing to do, nothing happens

  // A path field naming a file cannot become a folder.
  std::ofstream(dir.File("afile")) << "x";
  r.SetPath(kCfgDataFolder, dir.File("afile"));
  EXPECT_EQ(MakeStationFolders(r, &error), 0);
}

}  // namespace
