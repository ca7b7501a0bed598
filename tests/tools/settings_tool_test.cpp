// kestrel settings: show, get, set and reset on settings files, the byte-exact result of a
// set against the golden record, and files it must refuse and leave alone.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/core/safe_file.h"
#include "tests/common/signal_test_util.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& path) {
  std::vector<uint8_t> b;
  ReadWholeFile(path, b);
  return b;
}

std::vector<uint8_t> Golden(const char* name) {
  return Bytes(std::string(KESTREL_TEST_DATA) + "/core/" + name);
}

TEST(SettingsTool, ResetSetGetShow) {
  sigtest::TempDir dir;
  const std::string cfg = dir.File("KSTLCONFIG.CFG");
  ASSERT_EQ(sigtest::RunTool("settings reset " + cfg).status, 0);
  EXPECT_EQ(Bytes(cfg), Golden("default_settings.cfg"));

  // The changes of make_default_settings.py, by name and by offset, give its golden record.
  const char* sets[] = {
      "frequency 7005.25",       "1624 'AR 7030 PLUS'",   "fax.folder /srv/station/fax",
      "DATA.FOLDER /srv/station/data", "decoder 4096",    "audio.rate 8000",
      "equalizer.position 1",    "rtty.stop_bits 2.0",    "text.colour 0x00ff8000",
      "equalizer.name NARROW",   "mixer.state 0102030405060708",
  };
  for (const char* s : sets) {
    sigtest::ToolResult r = sigtest::RunTool("settings set " + cfg + " " + s);
    EXPECT_EQ(r.status, 0) << s << ": " << r.out;
  }
  EXPECT_EQ(Bytes(cfg), Golden("changed_settings.cfg"));

  EXPECT_EQ(sigtest::RunTool("settings get " + cfg + " 1624", false).out, "AR 7030 PLUS\n");
  ASSERT_EQ(sigtest::RunTool("settings set " + cfg + " equalizer.position -1").status, 0);
  EXPECT_EQ(sigtest::RunTool("settings get " + cfg + " 1740", false).out, "-1\n");

  // show: one line per field, NAME OFFSET VALUE, the names get takes.
  sigtest::ToolResult shown = sigtest::RunTool("settings show " + cfg, false);
  ASSERT_EQ(shown.status, 0);
  std::istringstream lines(shown.out);
  int count = 0;
  bool saw_frequency = false, saw_name = false;
  for (std::string line; std::getline(lines, line); ++count) {
    std::istringstream words(line);
    std::string name, value;
    int offset = -1;
    words >> name >> offset;
    std::getline(words >> std::ws, value);
    EXPECT_GE(offset, 0) << line;
    if (name == "frequency") saw_frequency = offset == 1564 && value == "7005.25";
    if (name == "receiver.name") saw_name = offset == 1624 && value == "AR 7030 PLUS";
  }
  EXPECT_GT(count, 90);
  EXPECT_TRUE(saw_frequency);
  EXPECT_TRUE(saw_name);

  ASSERT_EQ(sigtest::RunTool("settings reset " + cfg).status, 0);
  EXPECT_EQ(Bytes(cfg), Golden("default_settings.cfg"));
}

TEST(SettingsTool, MissingFilesStandForTheDefaults) {
  sigtest::TempDir dir;
  const std::string cfg = dir.File("new.cfg");
  sigtest::ToolResult r = sigtest::RunTool("settings get " + cfg + " audio.rate 2>/dev/null", false);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "11025\n");
  r = sigtest::RunTool("settings show " + cfg);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("these are the defaults"), std::string::npos);
  EXPECT_TRUE(Bytes(cfg).empty());  // show and get write nothing
  ASSERT_EQ(sigtest::RunTool("settings set " + cfg + " decoder 2048").status, 0);
  std::vector<uint8_t> expected = Golden("default_settings.cfg");
  expected[3081] = 0x00;
  expected[3082] = 0x08;  // 2048, little-endian
  EXPECT_EQ(Bytes(cfg), expected);
}

TEST(SettingsTool, BadInputIsRefusedAndTheFileLeftAlone) {
  sigtest::TempDir dir;
  const std::string cfg = dir.File("KSTLCONFIG.CFG"), odd = dir.File("odd.cfg");
  ASSERT_EQ(sigtest::RunTool("settings reset " + cfg).status, 0);
  std::ofstream(odd) << std::string(1200, 'x');
  const struct {
    std::string args, says;
  } bad[] = {
      {"settings show " + odd, "kestrel: " + odd + ": 1200 bytes, not a settings file of 3477"},
      {"settings set " + odd + " decoder 1", "1200 bytes, not a settings file of 3477"},
      {"settings get " + cfg + " nonsense", "kestrel: nonsense: no such setting"},
      {"settings set " + cfg + " 1053 1", "kestrel: 1053: no such setting"},
      {"settings set " + cfg + " decoder 12x", "kestrel: decoder: not a 32-bit whole number"},
      {"settings set " + cfg + " frequency nan", "kestrel: frequency: not a number"},
      {"settings set " + cfg + " equalizer.name SIXTEEN_LETTERS_", "kestrel: equalizer.name: longer than 15"},
      {"settings set " + dir.File("no/such/folder.cfg") + " decoder 1", "kestrel: "},
      {"settings show " + cfg + " --verbose", "unknown option --verbose"},
      {"settings get " + cfg, "usage: kestrel settings"},
  };
  for (const auto& b : bad) {
    sigtest::ToolResult r = sigtest::RunTool(b.args);
    EXPECT_EQ(r.status, 2) << b.args << ": " << r.out;
    EXPECT_NE(r.out.find(b.says), std::string::npos) << b.args << ": " << r.out;
  }
  EXPECT_EQ(Bytes(odd), std::vector<uint8_t>(1200, 'x'));
  EXPECT_EQ(Bytes(cfg), Golden("default_settings.cfg"));
  // A value that looks like an option is a value for set.
  EXPECT_EQ(sigtest::RunTool("settings set " + cfg + " receiver.name --R75--").status, 0);
  EXPECT_EQ(sigtest::RunTool("settings get " + cfg + " receiver.name", false).out, "--R75--\n");
}

}  // namespace
