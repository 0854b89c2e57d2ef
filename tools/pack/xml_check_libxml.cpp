#include <libxml/xmlreader.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <strings.h>

#include "xml_check.h"

namespace nsTobrin {

namespace {

struct ReaderFree {
  void operator()(xmlTextReaderPtr reader) const { xmlFreeTextReader(reader); }
};

std::string Text(const xmlChar* text) { return text ? reinterpret_cast<const char*>(text) : std::string(); }

// The first error the parser reports: a fatal one, or an error of the
// namespace layer (an undeclared prefix), which the reader goes on after.
void KeepFirstError(void* context, xmlErrorPtr error) {
  auto* facts = static_cast<XmlFacts*>(context);
  if (!error || error->level < XML_ERR_ERROR || !facts->error.empty()) return;
  std::string message = error->message ? error->message : "the XML parser refuses it";
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  facts->error = "line " + std::to_string(error->line) + ", column " + std::to_string(error->int2) + ": " + message;
}

// The 8-bit encodings that every XML component the runner meets reads:
// Wine's reads no other (not Shift JIS, Big5, EUC, KOI8-R or latin1).
bool ReadEverywhere(const char* encoding) {
  if (!strncasecmp(encoding, "utf-16", 6) || !strncasecmp(encoding, "ucs-2", 5)) return true;
  for (const char* name : {"utf-8", "utf8", "us-ascii", "ascii", "gbk"})
    if (!strcasecmp(encoding, name)) return true;
  const auto numbered = [&](const char* prefix, int low, int high) {
    const std::size_t length = std::strlen(prefix);
    if (strncasecmp(encoding, prefix, length) != 0) return false;
    char* end = nullptr;
    const long number = std::strtol(encoding + length, &end, 10);
    return end != encoding + length && *end == '\0' && number >= low && number <= high;
  };
  return numbered("iso-8859-", 1, 16) || numbered("windows-", 1250, 1258);
}

}  // namespace

XmlFacts CheckXml(const std::string& bytes) {
  XmlFacts facts;
  if (bytes.empty()) {
    facts.error = "the file is empty";
    return facts;
  }
  // No DTD is loaded, no entity substituted, nothing fetched from the net.
  const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;
  std::unique_ptr<xmlTextReader, ReaderFree> reader(
      xmlReaderForMemory(bytes.data(), static_cast<int>(bytes.size()), "MessageInfo.xml", nullptr, options));
  if (!reader) {
    facts.error = "the XML parser cannot be started";
    return facts;
  }
  xmlTextReaderSetStructuredErrorHandler(reader.get(), KeepFirstError, &facts);
  bool sawRoot = false;
  int result;
  while ((result = xmlTextReaderRead(reader.get())) == 1 && facts.error.empty()) {
    const int type = xmlTextReaderNodeType(reader.get());
    if (type == XML_READER_TYPE_DOCUMENT_TYPE) facts.hasDoctype = true;
    if (type != XML_READER_TYPE_ELEMENT) continue;
    const int depth = xmlTextReaderDepth(reader.get());
    if (depth > 1) continue;
    XmlElementName name{Text(xmlTextReaderConstLocalName(reader.get())),
                        Text(xmlTextReaderConstNamespaceUri(reader.get()))};
    if (depth == 0) {
      facts.root = std::move(name);
      sawRoot = true;
    } else {
      facts.children.push_back(std::move(name));
    }
  }
  if (facts.error.empty() && result != 0) facts.error = "the XML parser refuses it";
  if (facts.error.empty() && !sawRoot) facts.error = "the document has no root element";
  const char* declared = reinterpret_cast<const char*>(xmlTextReaderConstEncoding(reader.get()));
  if (facts.error.empty() && declared && !ReadEverywhere(declared)) facts.rareEncoding = declared;
  facts.wellFormed = facts.error.empty();
  if (!facts.wellFormed) facts.children.clear();
  return facts;
}

}  // namespace nsTobrin
