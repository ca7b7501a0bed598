// The profile file: byte-exact round trips of files it only reads, in-place changes, keys and
// sections in any case, new keys and sections, and values it must not take as numbers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/core/profile_file.h"
#include "app/core/safe_file.h"
#include "tests/common/signal_test_util.h"

namespace {

std::string Write(const sigtest::TempDir& dir, const std::string& text) {
  const std::string path = dir.File("KSTL.INI");
  EXPECT_TRUE(WriteFileReplacing(path, text.data(), text.size()));
  return path;
}

std::string Read(const std::string& path) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(ReadWholeFile(path, bytes));
  return std::string(bytes.begin(), bytes.end());
}

// Saves p to a fresh file and returns its text.
std::string Saved(const CProfileFile& p, const sigtest::TempDir& dir) {
  const std::string path = dir.File("saved.ini");
  std::string error;
  EXPECT_EQ(p.Save(path, &error), 1) << error;
  return Read(path);
}

const char kStationProfile[] =
    "; written by hand\n"
    "[RADIO]\n"
    "audiobuf = 16\n"
    "recname=ICOM PCR 1000\n"
    "\n"
    "[Other Program]\n"
    "receiver=3\n"
    "not a key line\n"
    "\n"
    "[settings]\n"
    "WindowPos=2,3,-1,-1,-1,-1,10,10,800,600\n";

TEST(ProfileFile, UnchangedFilesSaveBackByteForByte) {
  sigtest::TempDir dir;
  for (const std::string& text :
       {std::string(kStationProfile), std::string(""), std::string("\n\n"),
        std::string("[A]\r\nx=1\r\n"), std::string("[A]\nx=1"),  // no final line break
        std::string("no header=1\n\0binary\xff\n", 20), std::string("\r\r\n[\n=\n")}) {
    CProfileFile p;
    ASSERT_EQ(p.Load(Write(dir, text)), 1);
    EXPECT_EQ(Saved(p, dir), text);
  }
}

TEST(ProfileFile, ReadsKeysInAnyCase) {
  sigtest::TempDir dir;
  CProfileFile p;
  ASSERT_EQ(p.Load(Write(dir, kStationProfile)), 1);
  EXPECT_EQ(p.GetInt("radio", "AUDIOBUF", 0), 16);  // spaces around '=' trimmed
  EXPECT_EQ(p.GetString("Radio", "RecName", ""), "ICOM PCR 1000");
  EXPECT_EQ(p.GetString("Settings", "windowpos", ""), "2,3,-1,-1,-1,-1,10,10,800,600");
  EXPECT_TRUE(p.Has("SETTINGS", "WINDOWPOS"));
  // receiver=3 belongs to another section.
  EXPECT_FALSE(p.Has("RADIO", "receiver"));
  EXPECT_EQ(p.GetInt("RADIO", "receiver", 12), 12);
  EXPECT_EQ(p.GetInt("Other Program", "receiver", 12), 3);
  EXPECT_FALSE(p.Has("Other Program", "not a key line"));
  EXPECT_FALSE(p.Has("RADIO", "; written by hand"));
  // Not whole numbers: the fallback.
  EXPECT_EQ(p.GetInt("RADIO", "recname", -7), -7);
  EXPECT_EQ(p.GetInt("Settings", "WindowPos", -7), -7);
}

TEST(ProfileFile, IntegersAndTheirFallbacks) {
  sigtest::TempDir dir;
  CProfileFile p;
  ASSERT_EQ(p.Load(Write(dir, "[N]\na=-12\nb=+5\nc=\nd=12x\ne=2147483648\nf= 0x10\n"
                              "g=-2147483648\nh= 7 \n")),
            1);
  EXPECT_EQ(p.GetInt("N", "a", 0), -12);
  EXPECT_EQ(p.GetInt("N", "b", 0), 5);
  EXPECT_EQ(p.GetInt("N", "c", 99), 99);
  EXPECT_EQ(p.GetInt("N", "d", 99), 99);
  EXPECT_EQ(p.GetInt("N", "e", 99), 99);
  EXPECT_EQ(p.GetInt("N", "f", 99), 99);
  EXPECT_EQ(p.GetInt("N", "g", 0), INT32_MIN);
  EXPECT_EQ(p.GetInt("N", "h", 0), 7);
  EXPECT_EQ(p.GetString("N", "c", "fallback"), "");  // present, empty
  EXPECT_EQ(p.GetString("N", "zz", "fallback"), "fallback");
}

TEST(ProfileFile, ChangesInPlaceAndAppendsWhereTheyBelong) {
  sigtest::TempDir dir;
  CProfileFile p;
  ASSERT_EQ(p.Load(Write(dir, kStationProfile)), 1);
  p.SetInt("radio", "AudioBuf", 32);         // in place, the file's spelling kept
  p.SetInt("RADIO", "receiver", 22);         // new key at the end of its section
  p.SetString("TXTREQ", "left", "5");        // new section at the end
  p.SetInt("TXTREQ", "top", -1);
  p.SetString("Settings", "WindowPos", "0,1,-1,-1,-1,-1,0,0,640,480");
  EXPECT_EQ(Saved(p, dir),
            "; written by hand\n"
            "[RADIO]\n"
            "audiobuf=32\n"
            "recname=ICOM PCR 1000\n"
            "receiver=22\n"
            "\n"
            "[Other Program]\n"
            "receiver=3\n"
            "not a key line\n"
            "\n"
            "[settings]\n"
            "WindowPos=0,1,-1,-1,-1,-1,0,0,640,480\n"
            "[TXTREQ]\n"
            "left=5\n"
            "top=-1\n");
  // Saved and loaded again, the values are there.
  CProfileFile q;
  ASSERT_EQ(q.Load(dir.File("saved.ini")), 1);
  EXPECT_EQ(q.GetInt("radio", "receiver", 0), 22);
  EXPECT_EQ(q.GetInt("txtreq", "TOP", 0), -1);
}

TEST(ProfileFile, NewFilesAndOddInput) {
  sigtest::TempDir dir;
  CProfileFile p;
  EXPECT_EQ(p.Load(dir.File("missing.ini")), 0);
  EXPECT_FALSE(p.Has("RADIO", "receiver"));
  p.SetString("RADIO", "recname", "  AR 7030\nPLUS  ");  // line break and outer spaces go
  p.SetString("RADIO", "bad=key", "1");
  p.SetString("RADIO", "", "1");
  p.SetString("RADIO", ";comment", "1");
  p.SetString("RA]DIO", "key", "1");
  p.SetString("RADIO", " padded", "1");
  EXPECT_EQ(Saved(p, dir), "[RADIO]\nrecname=AR 7030 PLUS\n");
  EXPECT_EQ(p.GetString("RADIO", "recname", ""), "AR 7030 PLUS");

  // A file without a final line break, with CR LF line ends: new lines follow its style.
  CProfileFile crlf;
  ASSERT_EQ(crlf.Load(Write(dir, "[A]\r\nx=1")), 1);
  crlf.SetInt("A", "y", 2);
  crlf.SetInt("B", "z", 3);
  EXPECT_EQ(Saved(crlf, dir), "[A]\r\nx=1\ny=2\r\n[B]\r\nz=3\r\n");
  CProfileFile back;
  ASSERT_EQ(back.Load(dir.File("saved.ini")), 1);
  EXPECT_EQ(back.GetInt("a", "x", 0), 1);
  EXPECT_EQ(back.GetInt("a", "y", 0), 2);
  EXPECT_EQ(back.GetInt("b", "z", 0), 3);

  // Keys before the first section belong to the section "".
  CProfileFile loose;
  ASSERT_EQ(loose.Load(Write(dir, "top=1\n[A]\nx=1\n")), 1);
  EXPECT_EQ(loose.GetInt("", "top", 0), 1);
  EXPECT_FALSE(loose.Has("", "x"));
  loose.SetInt("", "second", 2);
  EXPECT_EQ(Saved(loose, dir), "top=1\nsecond=2\n[A]\nx=1\n");
}

}  // namespace
