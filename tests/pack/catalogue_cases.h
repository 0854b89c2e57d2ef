// Message catalogues with whether each is well-formed XML. The packer reads
// a catalogue with libxml2 on Linux and with the XML component on Windows;
// both must judge every case as given here, which keeps them in step with
// each other although no one program holds both. A catalogue in an encoding
// that not every system's component reads is the exception: the Linux
// packer warns about it, and on Windows the component itself decides.
#pragma once

#include <string>
#include <vector>

#include "../format/package_bytes.h"

namespace catalogue_cases {

// A catalogue with `depth` levels of elements below its root.
inline std::string Nested(int depth) {
  std::string open, close;
  for (int i = 0; i < depth; ++i) open += "<a>", close += "</a>";
  return "<MessageInfo>" + open + close + "</MessageInfo>";
}

// Not among them: a prefix without its namespace declaration, which Wine's
// component lets pass and MSXML on Windows refuses; the packer warns.
struct Case {
  std::string document;
  bool wellFormed;
  bool rareEncoding = false;
};

inline std::vector<Case> WellFormedness() {
  using package_bytes::Utf16Le;
  return {
      {"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<MessageInfo><ENG>Install &amp; run</ENG></MessageInfo>", true},
      {"\xEF\xBB\xBF<MessageInfo>\n<!-- c --><CHS>\xE4\xBD\xA0\xE5\xA5\xBD</CHS><![CDATA[<x>]]><?pi data?></MessageInfo>", true},
      {"<bk:MessageInfo xmlns:bk='urn:t'><ENG/><bk:DEU/></bk:MessageInfo>", true},
      {"<?xml version='1.0' encoding='ISO-8859-1'?><MessageInfo><FRA>\xE9t\xE9</FRA></MessageInfo>", true},
      {Utf16Le(u"<?xml version=\"1.0\"?><MessageInfo><KOR>\uc548\ub155</KOR></MessageInfo>", true), true},
      {Nested(250), true},
      {"<?xml version='1.0' encoding='windows-1252'?><MessageInfo><FRA>\x80\xE9</FRA></MessageInfo>", true},
      {"<?xml version='1.0' encoding='shift_jis'?><MessageInfo><JPN>\x93\xFA</JPN></MessageInfo>", true, true},
      {"", false},
      {"<MessageInfo><ENG>x</DEU></MessageInfo>", false},
      {"<MessageInfo><ENG>x</ENG>", false},
      {"<MessageInfo/><MessageInfo/>", false},
      {"<MessageInfo/>trailing", false},
      {"<MessageInfo><ENG>&nbsp;</ENG></MessageInfo>", false},
      {"<MessageInfo><ENG>Tom & Jerry</ENG></MessageInfo>", false},
      {"<MessageInfo><ENG>&#0;</ENG></MessageInfo>", false},
      {"<MessageInfo a='1' a='2'/>", false},
      {"<MessageInfo a=1/>", false},
      {"<MessageInfo a='<'/>", false},
      {"<MessageInfo><!-- a -- b --></MessageInfo>", false},
      {" <?xml version='1.0'?><MessageInfo/>", false},
      {"<MessageInfo><ENG>\xC3\x28</ENG></MessageInfo>", false},
      {"<MessageInfo><ENG>\x01</ENG></MessageInfo>", false},
      {"<MessageInfo>a]]>b</MessageInfo>", false},
      {Nested(300), false},  // deeper than either parser goes
  };
}

}  // namespace catalogue_cases
