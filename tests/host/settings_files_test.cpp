// The packer's readers of the package's settings files on Linux: the hint
// for UTF-8 without a mark, what it reads from an XML catalogue and whether
// the XML component would load it, and its names and terminal text. The INI
// values themselves are compared with the platform's profile reader in
// tests/pack/settings_parity_test.cpp.
#include <gtest/gtest.h>

#include "../pack/catalogue_cases.h"
#include "ini_file.h"
#include "text.h"
#include "xml_check.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace nsTobrin;

TEST(IniFile, UnmarkedUtf8IsToldFromOtherEightBitText) {
  // 8-bit text without a mark that is valid UTF-8 gets the hint to add one.
  EXPECT_TRUE(IniFile::Parse("[ParamOption]\nProductName=Caf\xC3\xA9\n").LooksLikeUtf8WithoutBom());
  EXPECT_FALSE(IniFile::Parse("[s]\nk=Caf\xE9\n").LooksLikeUtf8WithoutBom());
}

// Which catalogues are well-formed is compared with the XML component's
// verdict in the parity test; here, what the packer reads from them.
TEST(XmlCheck, WhatACatalogueHoldsAndWhereItIsMalformed) {
  const XmlFacts plain = CheckXml("<MessageInfo a='1'><ENG>x</ENG><!-- c --><DEU><![CDATA[<x>]]></DEU><?pi?><JPN/></MessageInfo>");
  ASSERT_TRUE(plain.wellFormed) << plain.error;
  EXPECT_EQ(plain.root.localName, "MessageInfo");
  ASSERT_EQ(plain.children.size(), 3u);
  EXPECT_EQ(plain.children[2].localName, "JPN");
  EXPECT_FALSE(plain.hasDoctype);
  const XmlFacts prefixed = CheckXml("<bk:MessageInfo xmlns:bk='urn:tobrin'><bk:RUS/></bk:MessageInfo>");
  EXPECT_EQ(prefixed.root.localName, "MessageInfo");
  EXPECT_EQ(prefixed.children.at(0).localName, "RUS");
  EXPECT_TRUE(CheckXml("<!DOCTYPE m [<!ENTITY co \"T\">]><MessageInfo><ENG>&co;</ENG></MessageInfo>").hasDoctype);

  // Malformed in ways the parity test does not compare.
  for (const char* xml : {"<?xml version='1.0'?>\n<!-- nothing -->", "<x:MessageInfo/>",
                          "<?xml version='1.0' encoding='UTF-16'?><MessageInfo/>"}) {
    const XmlFacts facts = CheckXml(xml);
    EXPECT_FALSE(facts.wellFormed) << xml;
    EXPECT_FALSE(facts.error.empty()) << xml;
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
  // Sound UTF-8 arrives whole in the round trip and the settings options' tests.
  std::u16string out;
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

TEST(XmlCheck, JudgesEachCatalogueAsTheXmlComponentDoes) {
  // The same table the Windows build's parity test holds the component to.
  for (const auto& [document, wellFormed, rareEncoding] : catalogue_cases::WellFormedness()) {
    const XmlFacts facts = CheckXml(document);
    EXPECT_EQ(facts.wellFormed, wellFormed) << document;
    EXPECT_EQ(!facts.rareEncoding.empty(), rareEncoding) << document;
  }
}
