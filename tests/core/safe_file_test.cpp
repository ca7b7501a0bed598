// Writing files without losing any: replaced in one step, products never overwritten.
#include "app/core/safe_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

class SafeFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kestrel-safe-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Read(const std::string& path) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(ReadWholeFile(path, bytes), 1) << path;
    return std::string(bytes.begin(), bytes.end());
  }
  size_t Entries() {
    size_t n = 0;
    for (auto& e : fs::directory_iterator(dir_)) n += e.is_regular_file() ? 1 : 0;
    return n;
  }
  std::string dir_;
};

}  // namespace

TEST_F(SafeFile, ReplacingLeavesOneCompleteFileAndNoTemporaries) {
  const std::string path = dir_ + "/KSTLCONFIG.CFG";
  ASSERT_EQ(WriteFileReplacing(path, "old", 3), 1);
  ASSERT_EQ(WriteFileReplacing(path, "newer", 5), 1);
  EXPECT_EQ(Read(path), "newer");
  EXPECT_EQ(Entries(), 1u);
  std::string why;
  EXPECT_EQ(WriteFileReplacing(dir_ + "/no/such/folder/x", "a", 1, &why), 0);
  EXPECT_NE(why.find("no/such/folder"), std::string::npos) << why;
}

TEST_F(SafeFile, ProductsOfTheSameNameGetSuffixesAndNothingIsOverwritten) {
  const std::string wanted = dir_ + "/RTTY_2026-12-07_10-00.RTF";
  std::string first, second, third;
  ASSERT_EQ(WriteNewFile(wanted, "1", 1, first), 1);
  ASSERT_EQ(WriteNewFile(wanted, "2", 1, second), 1);
  ASSERT_EQ(WriteNewFile(wanted, "3", 1, third), 1);
  EXPECT_EQ(first, wanted);
  EXPECT_EQ(second, dir_ + "/RTTY_2026-12-07_10-00_2.RTF");
  EXPECT_EQ(third, dir_ + "/RTTY_2026-12-07_10-00_3.RTF");
  EXPECT_EQ(Read(first), "1");
  EXPECT_EQ(Read(second), "2");
  EXPECT_EQ(Read(third), "3");
  EXPECT_EQ(Entries(), 3u);
  // A name without an extension takes the suffix at its end.
  std::string plain;
  ASSERT_EQ(WriteNewFile(dir_ + "/notes", "a", 1, plain), 1);
  ASSERT_EQ(WriteNewFile(dir_ + "/notes", "b", 1, plain), 1);
  EXPECT_EQ(plain, dir_ + "/notes_2");
}

TEST_F(SafeFile, FoldersAreMadeAndAFileInTheWayIsReported) {
  std::string why;
  ASSERT_EQ(MakeFolders(dir_ + "/a/b/c", &why), 1) << why;
  EXPECT_TRUE(fs::is_directory(dir_ + "/a/b/c"));
  ASSERT_EQ(WriteFileReplacing(dir_ + "/file", "x", 1), 1);
  EXPECT_EQ(MakeFolders(dir_ + "/file/sub", &why), 0);
  EXPECT_EQ(FolderOf("/x/y.txt"), "/x");
  EXPECT_EQ(FolderOf("y.txt"), ".");
}
