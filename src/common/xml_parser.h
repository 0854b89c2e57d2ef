// One XML document of the system's DOM component (MSXML 3.0): loads a file,
// binds the root element's namespace to the prefix bk, and hands out single
// elements chosen by a path. Failing result codes of the component arrive
// as _com_error; a missing or malformed file is a plain false from Load.
// Use it between CoInitializeEx and CoUninitialize, and release it and every
// element it handed out before COM is uninitialized.
#pragma once

#include <comdef.h>
#include <msxml2.h>

#include <string>

#include <wrl/client.h>

namespace nsCommon {

class CXMLParser {
 public:
  // Creates the document. A component that cannot be created is not
  // reported here: the parser then has no document, and Load raises E_POINTER.
  CXMLParser();
  virtual ~CXMLParser();
  CXMLParser(const CXMLParser&) = delete;
  CXMLParser& operator=(const CXMLParser&) = delete;

  // True when the file was read and parsed. A null or empty path, and a
  // file with a document type declaration (or anything but comments and
  // processing instructions before its root), is false without a call to
  // the component. When the root element lies in a namespace, later
  // selections run in it under the prefix bk.
  bool Load(const wchar_t* path);

  // The document's root element; null before a successful Load.
  Microsoft::WRL::ComPtr<IXMLDOMElement> GetRootElement();

  // The first element that `path` selects, searched from `context` or, when
  // that is null, from the document. In a namespaced document the path is
  // prefixed with "//bk:". No match, or a match that is not an element
  // (an attribute, a text node), gives null.
  Microsoft::WRL::ComPtr<IXMLDOMElement> SelectSingleElement(const wchar_t* path, Microsoft::WRL::ComPtr<IXMLDOMNode> context = nullptr);

 protected:
  // Creates the document from the given class; the tests use a class that
  // does not exist.
  explicit CXMLParser(REFCLSID documentClass);

 private:
  Microsoft::WRL::ComPtr<IXMLDOMDocument2> m_pDocument;
  std::wstring m_strQueryPrefix;
};

}  // namespace nsCommon
