// A small well-formedness check for the message catalogue (MessageInfo.xml):
// encoding, markup, matching tags, references and namespace prefixes, which
// is what decides whether the runner's XML component loads the file. It
// also tells the root element and the elements right below it.
#pragma once

#include <string>
#include <vector>

namespace tobrin::pack {

struct XmlElementName {
  std::string localName;     // UTF-8, without prefix
  std::string namespaceUri;  // empty for no namespace
};

struct XmlFacts {
  bool wellFormed = false;
  std::string error;  // "line L, column C: reason" when not well-formed
  XmlElementName root;
  std::vector<XmlElementName> children;  // the root's child elements, in order
};

XmlFacts CheckXml(const std::string& bytes);

}  // namespace tobrin::pack
