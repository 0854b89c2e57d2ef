// The message catalogue (MessageInfo.xml) as an XML parser reads it: whether
// it loads at all, whether it carries a document type declaration (which the
// runner's reading refuses), its root element and the elements right below
// it. Linux reads it with libxml2, Windows with the runner's own reader.
#pragma once

#include <string>
#include <vector>

namespace nsTobrin {

struct XmlElementName {
  std::string localName;     // UTF-8, without prefix
  std::string namespaceUri;  // empty for no namespace
};

struct XmlFacts {
  bool wellFormed = false;
  bool hasDoctype = false;  // a <!DOCTYPE ...> declaration, with or without entities
  // An encoding the declaration names that not every system's XML component
  // reads (Linux only: on Windows the component itself decides).
  std::string rareEncoding;
  std::string error;        // why it is not well-formed, with the place when the parser tells it
  XmlElementName root;
  std::vector<XmlElementName> children;  // the root's child elements, in order
};

// Reads the document without loading any DTD, without substituting entities
// and within the parser's depth and size limits: memory stays bounded
// whatever the input.
XmlFacts CheckXml(const std::string& bytes);

}  // namespace nsTobrin
