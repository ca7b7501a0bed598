// The settings record: byte-exact defaults and field places against golden files made by
// tests/data/core/make_default_settings.py, loading files of the wrong size, the default
// folders, and the field table's text form.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "app/core/safe_file.h"
#include "app/core/settings_record.h"
#include "tests/common/signal_test_util.h"

namespace {

std::vector<uint8_t> Golden(const char* name) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(ReadWholeFile(std::string(KESTREL_TEST_DATA) + "/core/" + name, bytes)) << name;
  return bytes;
}

// First differing byte, for a readable failure.
int FirstDifference(const uint8_t* a, const std::vector<uint8_t>& b) {
  for (size_t i = 0; i < b.size(); ++i)
    if (a[i] != b[i]) return int(i);
  return -1;
}

TEST(SettingsRecord, DefaultsMatchTheGoldenRecordByteForByte) {
  const std::vector<uint8_t> golden = Golden("default_settings.cfg");
  ASSERT_EQ(golden.size(), size_t(kSettingsRecordSize));
  CSettingsRecord r;
  EXPECT_EQ(FirstDifference(r.Bytes(), golden), -1);
  // Saved, it is exactly the record; a changed record returns to it with SetDefaults.
  sigtest::TempDir dir;
  ASSERT_EQ(r.Save(dir.File("KSTLCONFIG.CFG"), nullptr), 1);
  std::vector<uint8_t> saved;
  ASSERT_TRUE(ReadWholeFile(dir.File("KSTLCONFIG.CFG"), saved));
  EXPECT_EQ(saved, golden);
  r.SetInt(kCfgDecoder, 4096);
  r.Bytes()[3000] = 0x55;
  r.SetDefaults();
  EXPECT_EQ(FirstDifference(r.Bytes(), golden), -1);
}

TEST(SettingsRecord, ValuesThroughTheAccessors) {
  CSettingsRecord r;
  EXPECT_EQ(r.GetInt(kCfgSampleRate), 11025);  // at an odd offset
  EXPECT_DOUBLE_EQ(r.GetDouble(kCfgFrequency), 4581.513);
  EXPECT_EQ(r.GetString(kCfgReceiverName, kCfgReceiverNameSize), "ICOM PCR 1000");

  r.SetInt(kCfgSampleRate, -123456789);
  EXPECT_EQ(r.GetInt(kCfgSampleRate), -123456789);
  EXPECT_EQ(r.Bytes()[kCfgSampleRate], 0xeb);  // little-endian: lowest byte first
  r.SetDouble(kCfgFrequency, -0.5);
  const uint8_t minus_half[8] = {0, 0, 0, 0, 0, 0, 0xe0, 0xbf};
  EXPECT_EQ(memcmp(r.Bytes() + kCfgFrequency, minus_half, 8), 0);

  // Strings are cut to size - 1 and the rest of the field is cleared.
  r.SetString(kCfgEqualizerName, kCfgEqualizerNameSize, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  EXPECT_EQ(r.GetString(kCfgEqualizerName, kCfgEqualizerNameSize), "ABCDEFGHIJKLMNO");
  EXPECT_EQ(r.Bytes()[kCfgEqualizerName + kCfgEqualizerNameSize - 1], 0);
  r.SetString(kCfgEqualizerName, kCfgEqualizerNameSize, "EQ");
  for (int i = 2; i < kCfgEqualizerNameSize; ++i)
    EXPECT_EQ(r.Bytes()[kCfgEqualizerName + i], 0) << i;
  // A field without a terminator reads up to size - 1.
  memset(r.Bytes() + kCfgReceiverName, 'X', kCfgReceiverNameSize);
  EXPECT_EQ(r.GetString(kCfgReceiverName, kCfgReceiverNameSize).size(), size_t(kCfgReceiverNameSize - 1));

  // Places outside the record read as nothing and change nothing.
  const std::vector<uint8_t> before(r.Bytes(), r.Bytes() + kSettingsRecordSize);
  r.SetInt(kSettingsRecordSize - 3, 7);
  r.SetDouble(-1, 7.0);
  r.SetString(kSettingsRecordSize - 10, 11, "x");
  EXPECT_EQ(std::vector<uint8_t>(r.Bytes(), r.Bytes() + kSettingsRecordSize), before);
  EXPECT_EQ(r.GetInt(kSettingsRecordSize - 3), 0);
  EXPECT_EQ(r.GetDouble(kSettingsRecordSize), 0.0);
  EXPECT_EQ(r.GetString(kSettingsRecordSize - 1, 2), "");
}

TEST(SettingsRecord, LoadTakesTheFileOrKeepsTheDefaults) {
  sigtest::TempDir dir;
  const std::string path = dir.File("KSTLCONFIG.CFG");
  const std::vector<uint8_t> changed = Golden("changed_settings.cfg");
  std::string message = "untouched";
  CSettingsRecord r;
  r.SetInt(kCfgDecoder, 8192);

  // Missing: defaults, nothing said.
  EXPECT_EQ(r.Load(path, &message), 0);
  EXPECT_EQ(message, "untouched");
  EXPECT_EQ(r.GetInt(kCfgDecoder), 0);

  ASSERT_TRUE(WriteFileReplacing(path, changed.data(), changed.size()));
  EXPECT_EQ(r.Load(path, &message), 1);
  EXPECT_EQ(message, "untouched");
  EXPECT_EQ(FirstDifference(r.Bytes(), changed), -1);

  // A folder of that name cannot be read: defaults.
  CSettingsRecord d;
  EXPECT_EQ(d.Load(dir.path(), &message), 0);
  EXPECT_EQ(message, "untouched");
}

TEST(SettingsRecord, WrongSizeIsKeptAsBadAndTheDefaultsUsed) {
  sigtest::TempDir dir;
  const std::string path = dir.File("KSTLCONFIG.CFG");
  const std::vector<uint8_t> golden = Golden("default_settings.cfg");
  for (size_t size : {size_t(0), size_t(1200), size_t(kSettingsRecordSize - 1),
                      size_t(kSettingsRecordSize + 1)}) {
    std::vector<uint8_t> odd(size, 0xa5);
    ASSERT_TRUE(WriteFileReplacing(path, odd.data(), odd.size()));
    CSettingsRecord r;
    r.SetInt(kCfgDecoder, 2048);
    std::string message;
    EXPECT_EQ(r.Load(path, &message), -1) << size;
    EXPECT_EQ(FirstDifference(r.Bytes(), golden), -1) << size;
    EXPECT_EQ(message, path + ": " + std::to_string(size) + " bytes instead of 3477; kept as " +
                           path + ".bad, defaults used");
    std::vector<uint8_t> kept;
    EXPECT_TRUE(ReadWholeFile(path + ".bad", kept));
    EXPECT_EQ(kept, odd);
    std::vector<uint8_t> gone;
    EXPECT_FALSE(ReadWholeFile(path, gone));
  }
}

TEST(SettingsRecord, FillFoldersOnlyFillsEmptyPaths) {
  CSettingsRecord r;
  r.SetPath(kCfgFaxFolder, "/srv/pictures/wefax");
  r.FillFolders("/home/op/kestrel");
  EXPECT_EQ(r.GetPath(kCfgFaxFolder), "/srv/pictures/wefax");
  const std::pair<int, const char*> folders[] = {{kCfgSstvFolder, "sstv"}, {kCfgTextFolder, "text"},
                                                 {kCfgAudioFolder, "audio"}, {kCfgScanFolder, "scann"},
                                                 {kCfgDataFolder, "data"}};
  for (auto [field, name] : folders) EXPECT_EQ(r.GetPath(field), std::string("/home/op/kestrel/") + name);
  r.SetPath(kCfgFaxFolder, "");
  r.FillFolders("/other");
  EXPECT_EQ(r.GetPath(kCfgFaxFolder), "/other/fax");
  EXPECT_EQ(r.GetPath(kCfgDataFolder), "/home/op/kestrel/data");
  // A folder that does not fit stays empty rather than cut to another folder's name.
  CSettingsRecord longer;
  const std::string base(kSettingsPathSize - 5, 'b');  // "/sstv" still fits, "/scann" not
  longer.FillFolders(base);
  EXPECT_EQ(longer.GetPath(kCfgFaxFolder), base + "/fax");
  EXPECT_EQ(longer.GetPath(kCfgScanFolder), "");
}

TEST(SettingsFieldTable, CoversTheRecordWithoutOverlapsAndNamesAreUnique) {
  int count;
  const SettingsField* fields = SettingsFields(&count);
  ASSERT_GT(count, 90);
  std::set<std::string> names;
  int end = 0;
  for (int i = 0; i < count; ++i) {
    const SettingsField& f = fields[i];
    EXPECT_TRUE(names.insert(f.name).second) << f.name;
    EXPECT_GE(f.offset, end) << f.name << " overlaps the field before it";
    const int expected = f.kind == kFieldInt ? 4 : f.kind == kFieldDouble ? 8 : f.size;
    EXPECT_EQ(f.size, expected) << f.name;
    end = f.offset + f.size;
    EXPECT_LE(end, kSettingsRecordSize) << f.name;
    EXPECT_EQ(FindSettingsField(f.name), &f);
    EXPECT_EQ(FindSettingsField(std::to_string(f.offset)), &f);
    for (const char* c = f.name; *c; ++c) EXPECT_FALSE(isupper(*c)) << f.name;
  }
  EXPECT_EQ(FindSettingsField("RTTY.Tone1"), FindSettingsField("1052"));
  for (const char* bad : {"", "nonsense", "1053", "-4", "99999999999999999999", "1052 "})
    EXPECT_EQ(FindSettingsField(bad), nullptr) << bad;
}

// The changes of make_default_settings.py, made by name from text, give its golden record.
TEST(SettingsFieldTable, NamedChangesGiveTheGoldenRecord) {
  const struct {
    const char* name;
    const char* text;
  } changes[] = {
      {"frequency", "7005.25"},        {"receiver.name", "AR 7030 PLUS"},
      {"fax.folder", "/srv/station/fax"}, {"data.folder", "/srv/station/data"},
      {"decoder", "4096"},             {"audio.rate", "8000"},
      {"equalizer.position", "+1"},    {"rtty.stop_bits", "2"},
      {"text.colour", "0x00ff8000"},   {"equalizer.name", "NARROW"},
      {"mixer.state", "0102030405060708"},
  };
  CSettingsRecord r;
  for (const auto& c : changes) {
    const SettingsField* f = FindSettingsField(c.name);
    ASSERT_NE(f, nullptr) << c.name;
    std::string error;
    EXPECT_EQ(ParseSettingsField(r, *f, c.text, &error), 1) << c.name << ": " << error;
  }
  EXPECT_EQ(FirstDifference(r.Bytes(), Golden("changed_settings.cfg")), -1);
}

TEST(SettingsFieldTable, TextFormsReadBackToTheSameBytes) {
  CSettingsRecord r;
  // Awkward values in every kind of field.
  r.SetDouble(kCfgFrequency, 0.1 + 0.2);
  r.SetDouble(kCfgScanStart, -1e-300);
  r.SetInt(kCfgReceiveColour, INT32_MIN);
  r.SetString(kCfgReceiverName, kCfgReceiverNameSize, "A\tB\x7f\xe4");
  for (int i = 0; i < 440; ++i) r.Bytes()[kCfgMixerControls + i] = uint8_t(i * 7);
  int count;
  const SettingsField* fields = SettingsFields(&count);
  CSettingsRecord back;
  memset(back.Bytes(), 0, kSettingsRecordSize);
  for (int i = 0; i < count; ++i) {
    const std::string text = FormatSettingsField(r, fields[i]);
    std::string error;
    if (fields[i].kind == kFieldString && text.find("\\x") != std::string::npos) {
      // Control bytes are shown escaped and cannot be set from text.
      EXPECT_EQ(text, "A\\x09B\\x7f\xe4");
      EXPECT_EQ(ParseSettingsField(back, fields[i], text, &error), 1);
      EXPECT_EQ(back.GetString(fields[i].offset, fields[i].size), text);
      back.SetString(fields[i].offset, fields[i].size, r.GetString(fields[i].offset, fields[i].size));
      continue;
    }
    EXPECT_EQ(ParseSettingsField(back, fields[i], text, &error), 1) << fields[i].name << ": " << error;
  }
  EXPECT_EQ(FirstDifference(back.Bytes(),
                            std::vector<uint8_t>(r.Bytes(), r.Bytes() + kSettingsRecordSize)),
            -1);
  const SettingsField* freq = FindSettingsField("frequency");
  EXPECT_EQ(FormatSettingsField(CSettingsRecord(), *freq), "4581.513");
  EXPECT_EQ(FormatSettingsField(r, *FindSettingsField("text.colour")), "-2147483648");
}

TEST(SettingsFieldTable, BadTextLeavesTheFieldAsItWas) {
  const struct {
    const char* field;
    std::string text;
  } bad[] = {
      {"decoder", ""},          {"decoder", "12x"},        {"decoder", "1.5"},
      {"decoder", "2147483648"}, {"decoder", "-2147483649"}, {"decoder", "0x100000000"},
      {"decoder", "--1"},       {"decoder", " 1"},         {"decoder", "0x"},
      {"frequency", ""},        {"frequency", "nan"},      {"frequency", "inf"},
      {"frequency", "7000,5"},  {"frequency", "1e999"},    {"frequency", "7000 "},
      {"equalizer.name", "SIXTEEN_LETTERS_"},  {"receiver.name", "line\nbreak"},
      {"mixer.state", "123"},   {"mixer.state", "010203040506070809"}, {"mixer.state", "zz"},
  };
  for (const auto& b : bad) {
    CSettingsRecord r;
    const SettingsField* f = FindSettingsField(b.field);
    ASSERT_NE(f, nullptr);
    std::string error;
    EXPECT_EQ(ParseSettingsField(r, *f, b.text, &error), 0) << b.field << " " << b.text;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(FirstDifference(r.Bytes(), Golden("default_settings.cfg")), -1) << b.text;
  }
  // The edges that are allowed.
  CSettingsRecord r;
  std::string error;
  EXPECT_EQ(ParseSettingsField(r, *FindSettingsField("decoder"), "0xffffffff", &error), 1);
  EXPECT_EQ(r.GetInt(kCfgDecoder), -1);
  EXPECT_EQ(ParseSettingsField(r, *FindSettingsField("decoder"), "-2147483648", &error), 1);
  EXPECT_EQ(ParseSettingsField(r, *FindSettingsField("mixer.state"), "ff", &error), 1);
  EXPECT_EQ(r.Bytes()[kCfgMixerState], 0xff);
  EXPECT_EQ(ParseSettingsField(r, *FindSettingsField("equalizer.name"), "FIFTEEN_LETTERS", &error), 1);
  EXPECT_EQ(ParseSettingsField(r, *FindSettingsField("frequency"), "-1e3", &error), 1);
  EXPECT_EQ(r.GetDouble(kCfgFrequency), -1000.0);
}

}  // namespace
