#include "common/xml_parser.h"

#include <ole2.h>

#include <new>

#include "common/com_strings.h"
#include "common/msxml_ids.h"
#include "common/xml_prolog.h"

namespace nsCommon {

using nsTobrin::CBstr;
using nsTobrin::LentVariant;
using nsTobrin::NewBstr;
using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kNamespacedQueryPrefix[] = L"//bk:";

// Raises `hr` as a _com_error. When `source` reports that it supports error
// information for `iid`, the exception also carries the thread's error object.
[[noreturn]] void RaiseError(HRESULT hr, IUnknown* source = nullptr, REFIID iid = GUID_NULL) {
  IErrorInfo* info = nullptr;
  ComPtr<ISupportErrorInfo> support;
  if (source && SUCCEEDED(source->QueryInterface(IID_ISupportErrorInfo, &support)) &&
      support->InterfaceSupportsErrorInfo(iid) == S_OK) {
    if (GetErrorInfo(0, &info) != S_OK) info = nullptr;
  }
  throw _com_error(hr, info);  // takes over the reference to `info`
}

// A catalogue is text in elements. A DTD, and with it every entity that
// could multiply the text or fetch another file, makes the document one
// that does not load.
void ProhibitDtd(IXMLDOMDocument2* document) {
  document->put_resolveExternals(VARIANT_FALSE);
  const CBstr name = NewBstr(L"ProhibitDTD");
  if (!name) return;
  VARIANT value;
  VariantInit(&value);
  V_VT(&value) = VT_BOOL;
  V_BOOL(&value) = VARIANT_TRUE;
  document->setProperty(name.Get(), value);
}

ComPtr<IXMLDOMDocument2> CreateDocument(REFCLSID documentClass) {
  ComPtr<IUnknown> object;
  if (FAILED(CoCreateInstance(documentClass, nullptr, CLSCTX_ALL, IID_IUnknown, &object))) return nullptr;
  if (FAILED(OleRun(object.Get()))) return nullptr;
  ComPtr<IXMLDOMDocument2> document;
  if (FAILED(object.CopyTo(nsTobrin::IID_IXMLDOMDocument2, &document))) return nullptr;
  ProhibitDtd(document.Get());
  return document;
}

HRESULT SetSelectionNamespaces(IXMLDOMDocument2* document, const std::wstring& binding) {
  const CBstr name = NewBstr(L"SelectionNamespaces");
  const CBstr value = NewBstr(binding);
  if (!name || !value) throw std::bad_alloc();
  return document->setProperty(name.Get(), LentVariant(value));
}

// Where a failing result code came from, for the error information that
// RaiseError asks it for.
struct FailureSource {
  IUnknown* object = nullptr;
  IID iid = GUID_NULL;
};

// The steps of Load: S_OK when the document loaded (with the namespace
// bound and `queryPrefix` set), S_FALSE when the file is missing, malformed
// or not a plain document, otherwise the failing code and its source.
HRESULT LoadDocument(IXMLDOMDocument2* document, const wchar_t* path, std::wstring& queryPrefix, FailureSource& from) {
  if (!path || !*path) return S_FALSE;
  const CBstr source = NewBstr(path);
  if (!source) return E_OUTOFMEMORY;
  if (!document) return E_POINTER;
  // The component may not honour ProhibitDTD (Wine's ignores it): a file
  // with a DTD does not reach it.
  if (!nsTobrin::HasPlainProlog(path)) return S_FALSE;

  VARIANT_BOOL loaded = VARIANT_FALSE;
  const HRESULT hr = document->load(LentVariant(source), &loaded);
  if (FAILED(hr)) {
    from = {document, nsTobrin::IID_IXMLDOMDocument};
    return hr;
  }
  if (loaded != VARIANT_TRUE) return S_FALSE;

  ComPtr<IXMLDOMElement> root;
  document->get_documentElement(&root);
  if (!root) return E_POINTER;
  CBstr namespaceUri;
  root->get_namespaceURI(namespaceUri.Receive());
  if (namespaceUri) {
    const std::wstring uri(namespaceUri.Get(), SysStringLen(namespaceUri.Get()));
    HRESULT bound = SetSelectionNamespaces(document, L"xmlns:bk ='" + uri + L"'");
    // Some builds of the component reject the blank before "=" in the
    // binding; the same binding without it means the same.
    if (FAILED(bound)) bound = SetSelectionNamespaces(document, L"xmlns:bk='" + uri + L"'");
    if (FAILED(bound)) {
      from = {document, nsTobrin::IID_IXMLDOMDocument2};
      return bound;
    }
    queryPrefix = kNamespacedQueryPrefix;
  }
  return S_OK;
}

// The steps of SelectSingleElement: S_OK with `element` set or null,
// otherwise the failing code and its source.
HRESULT SelectElement(IUnknown* from, const std::wstring& query, ComPtr<IXMLDOMElement>& element,
                      FailureSource& failed) {
  ComPtr<IXMLDOMNode> start;
  if (from) {
    const HRESULT hr = from->QueryInterface(nsTobrin::IID_IXMLDOMNode, &start);
    if (FAILED(hr) && hr != E_NOINTERFACE) return hr;
  }
  if (!start) return E_POINTER;
  const CBstr queryText = NewBstr(query);
  if (!queryText) throw std::bad_alloc();

  ComPtr<IXMLDOMNode> selected;
  const HRESULT hr = start->selectSingleNode(queryText.Get(), &selected);
  if (FAILED(hr)) {
    failed = {start.Get(), IID_IXMLDOMNode};
    return hr;
  }
  if (selected) {
    const HRESULT asElement = selected.CopyTo(nsTobrin::IID_IXMLDOMElement, &element);
    if (FAILED(asElement) && asElement != E_NOINTERFACE) return asElement;
  }
  return S_OK;
}

}  // namespace

CXMLParser::CXMLParser() : CXMLParser(nsTobrin::CLSID_DOMDocument30) {}

CXMLParser::CXMLParser(REFCLSID documentClass) : m_pDocument(CreateDocument(documentClass)) {}

CXMLParser::~CXMLParser() = default;

// Load and SelectSingleElement are the one place where a failing code
// becomes the _com_error their callers expect.
bool CXMLParser::Load(const wchar_t* path) {
  FailureSource from;
  const HRESULT hr = LoadDocument(m_pDocument.Get(), path, m_strQueryPrefix, from);
  if (FAILED(hr)) RaiseError(hr, from.object, from.iid);
  return hr == S_OK;
}

ComPtr<IXMLDOMElement> CXMLParser::GetRootElement() {
  if (!m_pDocument) RaiseError(E_POINTER);
  ComPtr<IXMLDOMElement> root;
  m_pDocument->get_documentElement(&root);
  return root;
}

ComPtr<IXMLDOMElement> CXMLParser::SelectSingleElement(const wchar_t* path, ComPtr<IXMLDOMNode> context) {
  IUnknown* from = context ? static_cast<IUnknown*>(context.Get()) : static_cast<IUnknown*>(m_pDocument.Get());
  ComPtr<IXMLDOMElement> element;
  FailureSource failed;
  const HRESULT hr = SelectElement(from, m_strQueryPrefix + (path ? path : L""), element, failed);
  if (FAILED(hr)) RaiseError(hr, failed.object, failed.iid);
  return element;
}

}  // namespace nsCommon
