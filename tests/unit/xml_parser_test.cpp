// nsCommon::CXMLParser over the system's XML DOM component, on real files.
#include <gtest/gtest.h>

#include "common/com_init.h"
#include "common/com_strings.h"
#include "common/xml_parser.h"
#include "format/package_bytes.h"
#include "unit/test_support.h"

using namespace nsTobrin;
using nsCommon::CXMLParser;
using Microsoft::WRL::ComPtr;
using testing_support::TempFolder;
using testing_support::WriteBytes;

namespace {

std::wstring TextOf(const ComPtr<IXMLDOMElement>& element) {
  CBstr text;
  element->get_text(text.Receive());
  return BstrText(text);
}

std::wstring NameOf(const ComPtr<IXMLDOMElement>& element) {
  CBstr name;
  element->get_nodeName(name.Receive());
  return BstrText(name);
}

// A parser whose document class does not exist, as on a system without the
// component.
class CParserWithoutComponent : public CXMLParser {
 public:
  CParserWithoutComponent() : CXMLParser(GUID_NULL) {}
};

// The error a call raised; S_OK when it raised none.
template <typename Call>
HRESULT RaisedBy(Call call) {
  try {
    call();
  } catch (const _com_error& error) {
    return error.Error();
  }
  return S_OK;
}

class XmlParserTest : public ::testing::Test {
 protected:
  std::wstring Write(const std::string& content, const wchar_t* name = L"doc.xml") {
    const std::wstring path = m_folder / name;
    EXPECT_TRUE(WriteBytes(path, content));
    return path;
  }

  CComInitialization m_com{COINIT_APARTMENTTHREADED};
  TempFolder m_folder{L"xml"};
};

using package_bytes::Utf16Le;

TEST_F(XmlParserTest, ADocumentWithADtdDoesNotLoad) {
  // An internal subset with an entity, a bare declaration, an external one
  // that names a file beside it, one after a comment, one in UTF-16: none
  // loads, so no entity is expanded and nothing else is read.
  Write("<!ENTITY x \"outside\">", L"other.dtd");
  const std::string refused[] = {
      "<!DOCTYPE MessageInfo [<!ENTITY m \"entity text\">]><MessageInfo><ENG>&m;&m;</ENG></MessageInfo>",
      "<?xml version=\"1.0\"?>\n<!DOCTYPE MessageInfo><MessageInfo><ENG>plain</ENG></MessageInfo>",
      "<!DOCTYPE MessageInfo SYSTEM \"other.dtd\"><MessageInfo><ENG>&x;</ENG></MessageInfo>",
      "<!-- c -->\n<!DOCTYPE MessageInfo><MessageInfo><ENG>x</ENG></MessageInfo>",
      Utf16Le("<?xml version=\"1.0\"?><!DOCTYPE MessageInfo><MessageInfo><ENG>x</ENG></MessageInfo>"),
  };
  for (const std::string& document : refused) {
    SCOPED_TRACE(document);
    CXMLParser parser;
    EXPECT_FALSE(parser.Load(Write(document).c_str()));
  }
  // What may stand before the root still does, in either encoding.
  const std::string loading[] = {
      "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<!-- <!DOCTYPE x> - > ?> --><?pi <!DOCTYPE y>?>\n<MessageInfo><ENG>ok</ENG></MessageInfo>",
      Utf16Le("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<!-- note --><MessageInfo><ENG>ok</ENG></MessageInfo>"),
  };
  for (const std::string& document : loading) {
    SCOPED_TRACE(document);
    CXMLParser parser;
    ASSERT_TRUE(parser.Load(Write(document).c_str()));
    EXPECT_EQ(TextOf(parser.SelectSingleElement(L"MessageInfo/ENG")), L"ok");
  }
}

TEST_F(XmlParserTest, SelectsInADocumentWithoutNamespace) {
  CXMLParser parser;
  ASSERT_TRUE(parser.Load(Write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<MessageInfo><DEU>Hallo</DEU><ENG lang=\"en\">Hello &amp; welcome</ENG>"
                                "<ENG>second</ENG></MessageInfo>")
                              .c_str()));
  EXPECT_EQ(NameOf(parser.GetRootElement()), L"MessageInfo");
  // The first match, its text and an element not there: the message reading's test.
  EXPECT_TRUE(parser.SelectSingleElement(L"MessageInfo/ENG"));
  // Attributes and text nodes are not elements.
  EXPECT_FALSE(parser.SelectSingleElement(L"MessageInfo/ENG/@lang"));
  EXPECT_FALSE(parser.SelectSingleElement(L"MessageInfo/DEU/text()"));
}

TEST_F(XmlParserTest, PrefixGoesInFrontOfThePathOnlyForANamespacedRoot) {
  // With a namespace the path is searched under the prefix bk from the
  // whole document, so a prefixed root is found, and so is a catalogue one
  // level down; without one the path is used as it is and the same
  // catalogue is not found from the document. (A default-namespace root is
  // the message reading's test.)
  for (const char* document : {"<m:MessageInfo xmlns:m=\"urn:x\"><ENG>found</ENG></m:MessageInfo>",
                               "<m:Outer xmlns:m=\"urn:x\"><m:MessageInfo><ENG>found</ENG></m:MessageInfo></m:Outer>"}) {
    SCOPED_TRACE(document);
    CXMLParser namespaced;
    ASSERT_TRUE(namespaced.Load(Write(document).c_str()));
    ComPtr<IXMLDOMElement> eng = namespaced.SelectSingleElement(L"MessageInfo/ENG");
    ASSERT_TRUE(eng);
    EXPECT_EQ(TextOf(eng), L"found");
    EXPECT_FALSE(namespaced.SelectSingleElement(L"MessageInfo/FRA"));
  }

  CXMLParser plain;
  ASSERT_TRUE(plain.Load(Write("<Root><MessageInfo><ENG>deep</ENG></MessageInfo></Root>", L"plain.xml").c_str()));
  EXPECT_FALSE(plain.SelectSingleElement(L"MessageInfo/ENG"));
  EXPECT_TRUE(plain.SelectSingleElement(L"Root/MessageInfo/ENG"));
}

TEST_F(XmlParserTest, BindingFailureAndMissingComponentAreRaised) {
  // A namespace the component cannot bind: the apostrophe ends the quoted
  // URI early and the blank splits the binding, so the component refuses
  // the "SelectionNamespaces" text whichever of the two it minds.
  CXMLParser parser;
  const std::wstring path = Write("<MessageInfo xmlns=\"urn:it's a b\"><ENG>x</ENG></MessageInfo>");
  EXPECT_LT(RaisedBy([&] { parser.Load(path.c_str()); }), 0);

  // Without the component only a call that needs a document fails.
  CParserWithoutComponent missing;
  EXPECT_FALSE(missing.Load(L""));
  EXPECT_FALSE(missing.Load(nullptr));
  EXPECT_EQ(RaisedBy([&] { missing.Load((m_folder / L"absent.xml").c_str()); }), E_POINTER);
  EXPECT_EQ(RaisedBy([&] { missing.SelectSingleElement(L"MessageInfo/ENG"); }), E_POINTER);
}

}  // namespace
