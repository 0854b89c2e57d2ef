// The Windows packer reads the catalogue with the very reader the runner
// uses, from a temporary copy of its bytes.
#include <windows.h>

#include <comdef.h>

#include "common/com_init.h"
#include "common/com_strings.h"
#include "common/win_owners.h"
#include "common/xml_parser.h"
#include "text.h"
#include "xml_check.h"

namespace nsTobrin {

namespace {

using Microsoft::WRL::ComPtr;

// A file of its own in the temporary folder, deleted with the object.
class TemporaryCopy {
 public:
  explicit TemporaryCopy(const std::string& bytes) {
    wchar_t folder[MAX_PATH + 1], name[MAX_PATH + 1];
    if (!GetTempPathW(MAX_PATH + 1, folder) || !GetTempFileNameW(folder, L"tpk", 0, name)) return;
    m_path = name;
    const KernelHandle file(
        CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!file) return;
    DWORD written = 0;
    m_bWritten = WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                 written == bytes.size();
  }
  ~TemporaryCopy() {
    if (!m_path.empty()) DeleteFileW(m_path.c_str());
  }
  TemporaryCopy(const TemporaryCopy&) = delete;
  TemporaryCopy& operator=(const TemporaryCopy&) = delete;
  bool Written() const { return m_bWritten; }
  const wchar_t* Path() const { return m_path.c_str(); }

 private:
  std::wstring m_path;
  bool m_bWritten = false;
};

std::string Utf8(const CBstr& text) {
  if (!text) return std::string();
  return Utf16ToUtf8(std::u16string(text.Get(), text.Get() + SysStringLen(text.Get())));
}

XmlElementName NameOf(IXMLDOMNode* node) {
  CBstr local, uri;
  node->get_baseName(local.Receive());
  node->get_namespaceURI(uri.Receive());
  return XmlElementName{Utf8(local), Utf8(uri)};
}

void ReadElements(nsCommon::CXMLParser& parser, XmlFacts& facts) {
  ComPtr<IXMLDOMElement> root = parser.GetRootElement();
  if (!root) {
    facts.error = "the document has no root element";
    return;
  }
  facts.root = NameOf(root.Get());
  ComPtr<IXMLDOMDocument> document;
  ComPtr<IXMLDOMDocumentType> doctype;
  if (SUCCEEDED(root->get_ownerDocument(&document)) && document &&
      SUCCEEDED(document->get_doctype(&doctype)) && doctype)
    facts.hasDoctype = true;
  ComPtr<IXMLDOMNodeList> children;
  long count = 0;
  if (FAILED(root->get_childNodes(&children)) || !children || FAILED(children->get_length(&count))) return;
  for (long i = 0; i < count; ++i) {
    ComPtr<IXMLDOMNode> child;
    DOMNodeType type = NODE_INVALID;
    if (SUCCEEDED(children->get_item(i, &child)) && child && SUCCEEDED(child->get_nodeType(&type)) &&
        type == NODE_ELEMENT)
      facts.children.push_back(NameOf(child.Get()));
  }
}

}  // namespace

XmlFacts CheckXml(const std::string& bytes) {
  XmlFacts facts;
  const TemporaryCopy copy(bytes);
  if (!copy.Written()) {
    facts.error = "no temporary copy could be written to read it";
    return facts;
  }
  const CComInitialization com(COINIT_APARTMENTTHREADED);
  if (!com.Usable()) {
    facts.error = "the system's XML component cannot be started";
    return facts;
  }
  try {
    nsCommon::CXMLParser parser;
    if (!parser.Load(copy.Path())) facts.error = "the system's XML component does not load it";
    else ReadElements(parser, facts);
  } catch (const _com_error& error) {
    facts.error = "the system's XML component fails on it (error 0x" + [&] {
      char hex[16];
      wsprintfA(hex, "%08lX", static_cast<unsigned long>(error.Error()));
      return std::string(hex);
    }() + ")";
  }
  facts.wellFormed = facts.error.empty();
  if (!facts.wellFormed) facts.children.clear();
  return facts;
}

}  // namespace nsTobrin
