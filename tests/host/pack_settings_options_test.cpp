// The settings the packer writes itself: create's settings options, init's
// templates, and the README's sample, each read back as the runner reads it.
#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

#include "ini_file.h"
#include "native_files.h"
#include "pack_test_support.h"

using namespace pack_test;
using nsTobrin::IniFile;

namespace {

// A folder of setup.exe alone, for the settings the options write.
struct Vendor : Packed {
  fs::path look = dir / "look";
  Vendor() : Packed(false) {}
  // A settings file of the package, read from an extraction of it.
  IniFile Extracted(const char* name) {
    if (!fs::exists(look)) {
      EXPECT_EQ(RunPack({"extract", out.string(), look.string()}).exitCode, 0);
    }
    return IniFile::Parse(ReadFile(look / name));
  }
};

std::u16string Value(const IniFile& ini, const char* section, const char* key) {
  const auto value = ini.Read(section, key);
  return value ? value->text : u"<absent>";
}

}  // namespace

TEST(PackSettingsOptions, FlagsAloneWriteWhatTheRunnerReadsBack) {
  Vendor v;
  // Blanks around a value and quotes around it would be taken off by the
  // profile reader: they must arrive all the same, as must every character.
  const RunResult r = v.Create({"--run", "setup.exe", "--param-a", "  /q \"C:\\x y\"", "--param-b",
                                "'both'\xE2\x80\x83", "--product", "Caf\xC3\xA9 \xE6\xBC\xA2\xE5\xAD\x97 \xF0\x9F\x93\xA6",
                                "--ask", "--text", "ENG=Go? <now> & \"then\"", "--text", "deu=Los?"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const IniFile assist = v.Extracted("AssistFile.ini");
  EXPECT_EQ(assist.Encoding(), nsTobrin::IniEncoding::Utf16LeBom);
  EXPECT_EQ(Value(assist, "ParamOption", "ParamA"), u"  /q \"C:\\x y\"");
  EXPECT_EQ(Value(assist, "ParamOption", "ParamB"), u"'both'\u2003");
  EXPECT_EQ(Value(assist, "ParamOption", "ProductName"), u"Caf\u00E9 \u6F22\u5B57 \U0001F4E6");
  const IniFile setting = v.Extracted("MessageSetting.ini");
  EXPECT_EQ(Value(setting, "Setting", "IsShowMessageBox"), u"1");
  EXPECT_EQ(Value(setting, "Setting", "IsOk"), u"0");
  // The catalogue is well-formed and holds both, "deu" as DEU.
  EXPECT_EQ(ListJson(v.out)["settings"]["languages"], (std::vector<std::string>{"DEU", "ENG"}));
  const std::string xml = ReadFile(v.look / "MessageInfo.xml");
  EXPECT_NE(xml.find("Go? &lt;now&gt; &amp; \"then\""), std::string::npos) << xml;
  // Nothing was written into the packed folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(v.tree), fs::directory_iterator()), 1);

  Vendor notice;
  ASSERT_EQ(notice.Create({"--run", "setup.exe", "--notice"}).exitCode, 0);
  EXPECT_EQ(Value(notice.Extracted("MessageSetting.ini"), "Setting", "IsOk"), u"1");
  EXPECT_FALSE(fs::exists(notice.look / "MessageInfo.xml"));
}

TEST(PackSettingsOptions, OneSourceForEachSettingAndValuesThatCannotArriveAreRefused) {
  for (const auto& [file, flags] : std::vector<std::pair<std::string, std::vector<std::string>>>{
           {"AssistFile.ini", {"--product", "P"}}, {"assistfile.INI", {"--run", "setup.exe"}},
           {"MessageSetting.ini", {"--notice"}}, {"MessageInfo.xml", {"--text", "ENG=x"}}}) {
    // The folder's AssistFile.ini names nothing: the clash is the one error.
    Vendor v;
    WriteFile(v.tree / "AssistFile.ini", "[ParamOption]\r\n");
    if (file != "AssistFile.ini") WriteFile(v.tree / file, "[x]\r\n");
    const RunResult refused = v.Create(flags);
    EXPECT_REFUSED(refused, "remove the file from the folder, or the options");
    EXPECT_EQ(refused.err.find("names no file"), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(v.out)) << file;
  }
  for (const std::vector<std::string>& flags : std::vector<std::vector<std::string>>{
           {"--text", "XYZ=x"}, {"--text", "ENG"}, {"--text", "ENG=a", "--text", "eng=b"}, {"--notice", "--ask"},
           {"--run", "a.exe", "--run", "b.exe"}, {"--param-a", "Error"}, {"--param-b", "two\nlines"},
           {"--text", "ENG=bell\x07"}, {"--product"}}) {
    Vendor v;
    EXPECT_EQ(v.Create(flags).exitCode, 2) << flags[0] << " " << flags.back();
    EXPECT_FALSE(fs::exists(v.out));
  }
}

TEST(PackSettingsOptions, InitWritesACommentBeforeEveryKeyAndOnlyIntoAnEmptyFolder) {
  Vendor v;
  fs::remove_all(v.tree);
  ASSERT_EQ(RunPack({"init", v.tree.string(), "--run", "bin\\tool.exe"}).exitCode, 0);
  // Every key has a comment of its own on the line before it.
  for (const char* name : {"AssistFile.ini", "MessageSetting.ini"}) {
    std::istringstream lines(ReadFile(v.tree / name));
    std::string line, previous;
    int keys = 0;
    while (std::getline(lines, line)) {
      if (line.find('=') != std::string::npos && line[0] != ';') {
        ++keys;
        EXPECT_EQ(previous[0], ';') << name << ": " << line;
      }
      previous = line;
    }
    EXPECT_GT(keys, 0) << name;
  }
  EXPECT_EQ(RunPack({"init", v.tree.string()}).exitCode, 1);  // not empty any more
  // A file to start that create would refuse is refused here, before any
  // folder is made.
  for (const char* run : {"..\\evil.exe", "C:\\abs.exe", "sub/../x.exe"}) {
    EXPECT_REFUSED(RunPack({"init", (v.dir / "other").string(), "--run", run}), "cannot be the file to start") << run;
    EXPECT_FALSE(fs::exists(v.dir / "other")) << run;
  }
  // init makes its files new: a link planted after its emptiness check is
  // never written through.
  fs::create_symlink(v.dir / "target.ini", v.dir / "planted.ini");
  EXPECT_FALSE(nsTobrin::CreateNewFile(v.dir / "planted.ini").Valid());
  EXPECT_FALSE(fs::exists(v.dir / "target.ini"));
  // That the templates pack without a warning and start what --run named
  // is pack_e2e.sh's.
}

TEST(PackSettingsOptions, TheReadmeSamplePacks) {
  const std::string all = ReadFile(TOBRIN_SOURCE_DIR "/README.md");
  const std::size_t block = all.find("```ini\n[ParamOption]");
  ASSERT_NE(block, std::string::npos) << "README.md has no AssistFile.ini sample";
  const std::size_t start = block + 7;
  const std::string sample = all.substr(start, all.find("```", start) - start);

  Vendor v;
  fs::remove(v.tree / "setup.exe");
  WriteFile(v.tree / "AssistFile.ini", sample);
  const IniFile ini = IniFile::Parse(sample);
  // A comment after a value would be read as part of it.
  for (const char* key : {"ExecuteFileName", "ParamA", "ParamB", "ProductName"})
    EXPECT_EQ(Value(ini, "ParamOption", key).find(u';'), std::u16string::npos) << key;
  const std::u16string run = Value(ini, "ParamOption", "ExecuteFileName");
  ASSERT_NE(run, u"<absent>");
  WriteFile(v.tree / std::string(run.begin(), run.end()), MakePe());
  const RunResult r = v.Create({});
  EXPECT_EQ(r.exitCode, 0) << sample << r.err;
}

TEST(PackSettingsOptions, PayloadsThatCreateProcessCannotStartAreRefused) {
  PeOptions dll;
  dll.dll = true;
  // The payload's name and bytes, and the refusal (nullptr: accepted).
  for (const auto& [name, bytes, message] : std::vector<std::tuple<const char*, std::string, const char*>>{
           {"setup.msi", "\xD0\xCF\x11\xE0", "msiexec /i \"%~dp0setup.msi\""}, {"readme.txt", "hello", "is not a Windows program"},
           {"tool.exe", "MZ" + std::string(100, '\0'), "is an MS-DOS program"}, {"lib.exe", MakePe(dll), "is a DLL"},
           {"setup", MakePe(), "has no extension"}, {"install.CMD", "@echo off\r\n", nullptr}, {"go.bat", "", nullptr},
           {"tool.bin", MakePe(), nullptr}}) {
    Vendor v;
    WriteFile(v.tree / name, bytes);
    const RunResult r = v.Create({"--run", name});
    if (message) {
      EXPECT_REFUSED(r, message);
    } else {
      EXPECT_EQ(r.exitCode, 0) << name << r.err;
      EXPECT_EQ(RunPack({"verify", v.out.string()}).exitCode, 0) << name;
    }
  }
}
