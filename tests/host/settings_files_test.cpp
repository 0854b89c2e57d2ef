// The packer reads the package's settings files by the runner's rules: the
// INI values the profile reader returns, and whether the XML catalogue is
// something the XML component loads.
#include <gtest/gtest.h>

#include "ini_file.h"
#include "text.h"
#include "xml_check.h"
#include "../format/package_bytes.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace nsTobrin;

namespace {

std::string Value(const IniFile& ini, const char* section, const char* key) {
  const auto value = ini.Read(section, key);
  return value ? Utf16ToUtf8(value->text) : "<absent>";
}

using package_bytes::Utf16Le;

}  // namespace

TEST(IniFile, SectionsAndKeysAreFoundAsTheProfileReaderFindsThem) {
  const IniFile ini = IniFile::Parse(
      "ExecuteFileName=before-any-section.exe\r\n"
      "  [paramoption]  \r\n"
      "  EXECUTEFILENAME   =   setup.exe   \r\n"
      "ExecuteFileName=second.exe\r\n"
      "ParamA=\r\n"
      "ParamB\r\n"
      "ProductName=Error\r\n"
      "[Setting]\r\n"
      "IsShowMessageBox=\"1\"\r\n"
      "IsOk='0\r\n"
      "[ParamOption]\r\n"
      "ParamB=from-the-second-section\r\n"
      "ProductName2=only-in-the-second-section\r\n");
  EXPECT_EQ(Value(ini, "ParamOption", "ExecuteFileName"), "setup.exe");  // first key wins, blanks go
  EXPECT_EQ(Value(ini, "ParamOption", "ParamA"), "");                    // present and empty
  EXPECT_EQ(Value(ini, "ParamOption", "ParamB"), "<absent>");  // no '=', and a later section of the name is not read
  EXPECT_EQ(Value(ini, "ParamOption", "ProductName"), "<absent>");  // the runner's default text
  EXPECT_EQ(Value(ini, "ParamOption", "ProductName2"), "<absent>");  // only the first section is searched
  EXPECT_EQ(Value(ini, "Setting", "IsShowMessageBox"), "1");        // matching quotes go
  EXPECT_EQ(Value(ini, "Setting", "IsOk"), "'0");                   // a lone quote stays
  EXPECT_EQ(Value(ini, "Missing", "IsOk"), "<absent>");
  EXPECT_EQ(Value(IniFile(), "ParamOption", "ExecuteFileName"), "<absent>");
}

TEST(IniFile, ValuesArriveCutTo127CodeUnits) {
  const std::string longValue(200, 'x');
  IniFile ini = IniFile::Parse("[s]\nk=" + longValue + "\nfits=" + std::string(127, 'y') + "\n");
  auto value = ini.Read("s", "k");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->text.size(), 127u);
  EXPECT_TRUE(value->cut);
  EXPECT_FALSE(ini.Read("s", "fits")->cut);

  // A quoted value of 128 code units with its closing quote loses its last
  // character as well; one of 127 fits whole.
  ini = IniFile::Parse("[s]\nq128=\"" + std::string(127, 'a') + "\"\nq127=\"" + std::string(126, 'b') + "\"\n");
  EXPECT_EQ(ini.Read("s", "q128")->text, std::u16string(126, u'a'));
  EXPECT_TRUE(ini.Read("s", "q128")->cut);
  EXPECT_EQ(ini.Read("s", "q127")->text, std::u16string(126, u'b'));
  EXPECT_FALSE(ini.Read("s", "q127")->cut);

  // The limit counts UTF-16 code units: 64 characters outside the BMP are 128.
  std::string emoji;
  for (int i = 0; i < 64; ++i) emoji += "\xF0\x9F\x98\x80";
  ini = IniFile::Parse("\xEF\xBB\xBF[s]\nk=" + emoji + "\n");
  EXPECT_EQ(ini.Read("s", "k")->text.size(), 127u);
}

TEST(IniFile, EncodingsAreTheOnesTheRunnerReads) {
  const IniFile utf16 = IniFile::Parse(Utf16Le(u"[ParamOption]\r\nExecuteFileName=\u30bb\u30c3\u30c8.exe\r\n", true));
  EXPECT_EQ(utf16.Encoding(), IniEncoding::Utf16LeBom);
  EXPECT_EQ(Value(utf16, "ParamOption", "ExecuteFileName"), "\xE3\x82\xBB\xE3\x83\x83\xE3\x83\x88.exe");

  const IniFile utf8 = IniFile::Parse("\xEF\xBB\xBF[ParamOption]\nProductName=Caf\xC3\xA9\n");
  EXPECT_EQ(utf8.Encoding(), IniEncoding::Utf8Bom);
  EXPECT_EQ(Value(utf8, "ParamOption", "ProductName"), "Caf\xC3\xA9");

  // Without a mark: 8-bit text, whose non-ASCII bytes depend on the code page.
  const IniFile plain = IniFile::Parse("[ParamOption]\nProductName=Caf\xC3\xA9\n");
  EXPECT_EQ(plain.Encoding(), IniEncoding::EightBit);
  EXPECT_TRUE(plain.LooksLikeUtf8WithoutBom());
  EXPECT_NE(Value(plain, "ParamOption", "ProductName"), "Caf\xC3\xA9");

  // UTF-16 without a mark is not read at all.
  const IniFile unmarked = IniFile::Parse(Utf16Le(u"[ParamOption]\r\nExecuteFileName=a.exe\r\n", false));
  EXPECT_TRUE(unmarked.LooksLikeUtf16WithoutBom());
  EXPECT_EQ(Value(unmarked, "ParamOption", "ExecuteFileName"), "<absent>");
}

TEST(IniFile, LinesEndAtLineFeedsOrLoneCarriageReturns) {
  const IniFile cr = IniFile::Parse("[s]\ra=1\rb=2\r");
  EXPECT_EQ(Value(cr, "s", "a"), "1");
  EXPECT_EQ(Value(cr, "s", "b"), "2");
  const IniFile mixed = IniFile::Parse("[ParamOption]\rExecuteFileName=a.exe\r\nParamA=-a\rParamB=-b\n");
  EXPECT_EQ(Value(mixed, "ParamOption", "ExecuteFileName"), "a.exe");
  EXPECT_EQ(Value(mixed, "ParamOption", "ParamA"), "-a");
  EXPECT_EQ(Value(mixed, "ParamOption", "ParamB"), "-b");
  // A '[' line without ']' is a key of the section before it.
  const IniFile broken = IniFile::Parse("[s]\n[t\nk=v\n");
  EXPECT_EQ(Value(broken, "s", "k"), "v");
  // The name runs to the last ']' of the line.
  const IniFile brackets = IniFile::Parse("[a]b]\nk=v\n");
  EXPECT_EQ(Value(brackets, "a]b", "k"), "v");
}

TEST(XmlCheck, WellFormedCataloguesAndWhatTheyHold) {
  const XmlFacts plain = CheckXml(
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<!-- the catalogue -->\n"
      "<MessageInfo a='1'>\n"
      "  <ENG>Install &amp; run &#x263A;</ENG>\n"
      "  <DEU><![CDATA[<not markup>]]></DEU>\n"
      "  <?note processing?>\n"
      "  <JPN/>\n"
      "</MessageInfo>\n");
  ASSERT_TRUE(plain.wellFormed) << plain.error;
  EXPECT_EQ(plain.root.localName, "MessageInfo");
  ASSERT_EQ(plain.children.size(), 3u);
  EXPECT_EQ(plain.children[0].localName, "ENG");
  EXPECT_EQ(plain.children[2].localName, "JPN");

  const XmlFacts prefixed = CheckXml(
      "<bk:MessageInfo xmlns:bk='urn:tobrin'><CHS>\xE4\xBD\xA0\xE5\xA5\xBD</CHS><bk:RUS/></bk:MessageInfo>");
  ASSERT_TRUE(prefixed.wellFormed) << prefixed.error;
  EXPECT_EQ(prefixed.root.localName, "MessageInfo");
  EXPECT_EQ(prefixed.root.namespaceUri, "urn:tobrin");
  EXPECT_EQ(prefixed.children[0].namespaceUri, "");
  EXPECT_EQ(prefixed.children[1].namespaceUri, "urn:tobrin");

  // UTF-16 with a mark, 8-bit text in a declared single-byte encoding, and a
  // document type whose entities are not checked.
  EXPECT_TRUE(CheckXml(Utf16Le(u"<?xml version=\"1.0\"?><MessageInfo><KOR>\uc548\ub155</KOR></MessageInfo>", true)).wellFormed);
  EXPECT_TRUE(CheckXml("<?xml version='1.0' encoding='ISO-8859-1'?><MessageInfo><FRA>\xE9t\xE9</FRA></MessageInfo>").wellFormed);
  const XmlFacts typed = CheckXml("<!DOCTYPE m [<!ENTITY co \"Tobrin\">]><MessageInfo><ENG>&co;</ENG></MessageInfo>");
  EXPECT_TRUE(typed.wellFormed && typed.hasDoctype) << typed.error;
  EXPECT_FALSE(plain.hasDoctype);
}

TEST(XmlCheck, MalformedCataloguesAreNamedWithTheirPlace) {
  struct Case {
    const char* what;
    std::string xml;
  };
  const std::vector<Case> cases = {
      {"empty file", ""},
      {"no root", "<?xml version='1.0'?>\n<!-- nothing -->"},
      {"mismatched end tag", "<MessageInfo><ENG>x</DEU></MessageInfo>"},
      {"unclosed element", "<MessageInfo><ENG>x</ENG>"},
      {"two roots", "<MessageInfo/><MessageInfo/>"},
      {"text after the root", "<MessageInfo/>trailing"},
      {"undefined entity", "<MessageInfo><ENG>&nbsp;</ENG></MessageInfo>"},
      {"bare ampersand", "<MessageInfo><ENG>Tom & Jerry</ENG></MessageInfo>"},
      {"reference to NUL", "<MessageInfo><ENG>&#0;</ENG></MessageInfo>"},
      {"undeclared prefix", "<x:MessageInfo/>"},
      {"attribute twice", "<MessageInfo a='1' a='2'/>"},
      {"unquoted attribute", "<MessageInfo a=1/>"},
      {"'<' in an attribute", "<MessageInfo a='<'/>"},
      {"'--' in a comment", "<MessageInfo><!-- a -- b --></MessageInfo>"},
      {"declaration not at the start", " <?xml version='1.0'?><MessageInfo/>"},
      {"invalid UTF-8", "<MessageInfo><ENG>\xC3\x28</ENG></MessageInfo>"},
      {"control character", "<MessageInfo><ENG>\x01</ENG></MessageInfo>"},
      {"UTF-16 declared in 8-bit text", "<?xml version='1.0' encoding='UTF-16'?><MessageInfo/>"},
      {"']]>' in text", "<MessageInfo>a]]>b</MessageInfo>"},
  };
  for (const Case& c : cases) {
    const XmlFacts facts = CheckXml(c.xml);
    EXPECT_FALSE(facts.wellFormed) << c.what;
    EXPECT_FALSE(facts.error.empty()) << c.what;
  }
  const XmlFacts placed = CheckXml("<MessageInfo>\n  <ENG>x</ENG>\n  <DEU>y</ENG>\n</MessageInfo>");
  EXPECT_NE(placed.error.find("line 3, column"), std::string::npos) << placed.error;
}

TEST(XmlCheck, AHugeDeepDocumentIsReadInBoundedMemory) {
  // A long namespace in scope at a million levels: 3.5 MB of text.
  std::string deep = "<MessageInfo xmlns:n='" + std::string(4000, 'n') + "'>";
  for (int i = 0; i < 1000000; ++i) deep += i % 2 ? "<n:a>" : "<b>";
  deep += "</MessageInfo>";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const rlimit limit = {256u << 20, 256u << 20};  // address space: far below what copies per level take
    setrlimit(RLIMIT_AS, &limit);
    const XmlFacts facts = CheckXml(deep);
    _exit(!facts.wellFormed && !facts.error.empty() ? 0 : 3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

TEST(Text, NamesConvertStrictlyAndFoldAsWindowsCompares) {
  std::u16string out;
  EXPECT_TRUE(Utf8ToUtf16("\xE6\xBC\xA2 caf\xC3\xA9 \xF0\x9F\x98\x80", out));
  EXPECT_EQ(out, u"\u6f22 caf\u00e9 \U0001F600");
  EXPECT_EQ(Utf16ToUtf8(out), "\xE6\xBC\xA2 caf\xC3\xA9 \xF0\x9F\x98\x80");
  for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xE6\xBC", "\xFF", "\xF4\x90\x80\x80"})
    EXPECT_FALSE(Utf8ToUtf16(bad, out)) << "bytes that are not UTF-8";

  // Pairs beyond the few alphabets a table of our own would cover.
  for (const std::u16string pair : {u"Readme.TXT README.txt", u"\u00e9t\u00e9 \u00c9T\u00c9", u"\u0491.exe \u0490.exe",
                                     u"\u03ac \u0386", u"\u1ea1 \u1ea0", u"\u0561 \u0531", u"\u01ce \u01cd",
                                     u"\u0463 \u0462", u"\u2d00 \u10a0"}) {
    const std::size_t blank = pair.find(u' ');
    EXPECT_TRUE(SameNameOnWindows(pair.substr(0, blank), pair.substr(blank + 1))) << Utf16ToUtf8(pair);
    EXPECT_FALSE(WindowsNameLess()(pair.substr(0, blank), pair.substr(blank + 1)));
  }
  EXPECT_FALSE(SameNameOnWindows(u"\u00f7", u"\u00d7"));  // division and multiplication signs stay apart
  EXPECT_FALSE(SameNameOnWindows(u"stra\u00dfe", u"STRASSE"));  // one unit never becomes two
  EXPECT_FALSE(SameNameOnWindows(u"\U00010428", u"\U00010400"));  // beyond U+FFFF, no case is folded
  EXPECT_FALSE(SameNameOnWindows(u"a", u"ab"));
  EXPECT_TRUE(WindowsNameLess()(u"a", u"B") && WindowsNameLess()(u"B", u"c") && !WindowsNameLess()(u"b", u"A"));
}

TEST(Text, WhatReachesATerminalIsEscapedAndValid) {
  EXPECT_EQ(Printable("a\x1b[31mb\x7f\tc\\d"), "a\\x1b[31mb\\x7f\\x09c\\d");
  EXPECT_EQ(Printable("x\xE2\x80\xAE" "exe.txt \xC2\x9B \xE6\xBC\xA2\xF0\x9F\x98\x80"),
            "x\\u202eexe.txt \\u009b \xE6\xBC\xA2\xF0\x9F\x98\x80");
  EXPECT_EQ(Printable("bad\xFF"), "bad\xEF\xBF\xBD");
}
