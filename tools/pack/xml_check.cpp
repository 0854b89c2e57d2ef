#include "xml_check.h"

#include <map>
#include <set>

#include "text.h"

namespace tobrin::pack {

namespace {

// ---- decoding ---------------------------------------------------------------

bool DecodeUtf8Strict(const std::string& bytes, std::size_t start, std::u32string& out, std::size_t& badAt) {
  std::u16string units;
  // Decode piece by piece so that the first bad byte can be named.
  std::size_t i = start;
  while (i < bytes.size()) {
    const unsigned char lead = static_cast<unsigned char>(bytes[i]);
    std::size_t length = lead < 0x80 ? 1 : lead < 0xC0 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 0;
    if (length == 0 || i + length > bytes.size() || !Utf8ToUtf16(bytes.substr(i, length), units)) {
      badAt = i;
      return false;
    }
    char32_t cp = units[0];
    if (units.size() == 2) cp = 0x10000 + ((units[0] - 0xD800) << 10) + (units[1] - 0xDC00);
    out.push_back(cp);
    i += length;
  }
  return true;
}

bool DecodeUtf16(const std::string& bytes, std::size_t start, bool bigEndian, std::u32string& out) {
  if ((bytes.size() - start) % 2 != 0) return false;
  for (std::size_t i = start; i < bytes.size(); i += 2) {
    const unsigned char a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    char32_t unit = bigEndian ? (a << 8 | b) : (b << 8 | a);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 3 >= bytes.size()) return false;
      const unsigned char c = static_cast<unsigned char>(bytes[i + 2]), d = static_cast<unsigned char>(bytes[i + 3]);
      const char32_t low = bigEndian ? (c << 8 | d) : (d << 8 | c);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return false;
    }
    out.push_back(unit);
  }
  return true;
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// The encoding named by an XML declaration at the start of 8-bit text.
std::string DeclaredEncoding(const std::string& bytes) {
  if (bytes.compare(0, 5, "<?xml") != 0) return std::string();
  const std::size_t end = bytes.find("?>");
  const std::string decl = bytes.substr(0, end);
  const std::size_t at = decl.find("encoding");
  if (at == std::string::npos) return std::string();
  std::size_t p = decl.find_first_of("\"'", at);
  if (p == std::string::npos) return std::string();
  const std::size_t close = decl.find(decl[p], p + 1);
  if (close == std::string::npos) return std::string();
  return Lower(decl.substr(p + 1, close - p - 1));
}

// ---- characters -------------------------------------------------------------

bool IsChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

bool IsSpace(char32_t c) { return c == 0x20 || c == 0x9 || c == 0xA || c == 0xD; }

bool IsNameStart(char32_t c) {
  return c == ':' || c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 0xC0 && c <= 0xD6) ||
         (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
         (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
         (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
         (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsNameChar(char32_t c) {
  return IsNameStart(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
         (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

std::string ToUtf8(const std::u32string& text) {
  std::u16string units;
  for (char32_t c : text) {
    if (c >= 0x10000) {
      units.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(c));
    }
  }
  return Utf16ToUtf8(units);
}

// ---- the parser -------------------------------------------------------------

struct Failure {
  std::size_t at;
  std::string reason;
};

class Parser {
 public:
  explicit Parser(std::u32string text) : m_text(std::move(text)) {}

  void Run(XmlFacts& facts) {
    if (Starts(U"<?xml") && m_text.size() > 5 && IsSpace(m_text[5])) XmlDeclaration();
    Misc();
    if (Starts(U"<!DOCTYPE")) {
      Doctype();
      Misc();
    }
    if (AtEnd() || Peek() != '<') Fail("the document has no root element");
    Element(facts);
    Misc();
    if (!AtEnd()) Fail("there is more after the root element");
  }

  std::string Where(std::size_t at) const {
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < at && i < m_text.size(); ++i) {
      if (m_text[i] == '\n') ++line, column = 1;
      else ++column;
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
  }

 private:
  using Scope = std::map<std::u32string, std::u32string>;  // prefix -> namespace; "" is the default

  [[noreturn]] void Fail(const std::string& reason) { throw Failure{m_pos, reason}; }
  bool AtEnd() const { return m_pos >= m_text.size(); }
  char32_t Peek() const { return m_text[m_pos]; }
  bool Starts(const std::u32string& s) const { return m_text.compare(m_pos, s.size(), s) == 0; }
  void Expect(const std::u32string& s, const char* what) {
    if (!Starts(s)) Fail(std::string("expected ") + what);
    m_pos += s.size();
  }
  bool SkipSpace() {
    const std::size_t start = m_pos;
    while (!AtEnd() && IsSpace(Peek())) ++m_pos;
    return m_pos > start;
  }
  void CheckChar() {
    if (!IsChar(Peek())) Fail("a character that XML does not allow");
  }

  std::u32string Name() {
    if (AtEnd() || !IsNameStart(Peek())) Fail("expected a name");
    const std::size_t start = m_pos;
    while (!AtEnd() && IsNameChar(Peek())) ++m_pos;
    return m_text.substr(start, m_pos - start);
  }

  // Reads up to `end`, checking the characters; fails when it never comes.
  void Until(const std::u32string& end, const char* what) {
    while (!Starts(end)) {
      if (AtEnd()) Fail(std::string(what) + " is not closed");
      CheckChar();
      ++m_pos;
    }
    m_pos += end.size();
  }

  std::u32string Quoted(bool attribute) {
    if (AtEnd() || (Peek() != '"' && Peek() != '\'')) Fail("expected a quoted value");
    const char32_t quote = Peek();
    ++m_pos;
    std::u32string value;
    while (AtEnd() || Peek() != quote) {
      if (AtEnd()) Fail("a quoted value is not closed");
      if (attribute && Peek() == '<') Fail("'<' inside an attribute value");
      if (attribute && Peek() == '&') {
        value += Reference();
        continue;
      }
      CheckChar();
      value.push_back(Peek());
      ++m_pos;
    }
    ++m_pos;
    return value;
  }

  void XmlDeclaration() {
    m_pos += 5;
    bool first = true;
    while (true) {
      const bool spaced = SkipSpace();
      if (Starts(U"?>")) break;
      if (!spaced) Fail("the XML declaration needs a blank between its parts");
      const std::u32string name = Name();
      SkipSpace();
      Expect(U"=", "'=' in the XML declaration");
      SkipSpace();
      Quoted(false);
      if (first && name != U"version") Fail("the XML declaration must begin with its version");
      if (name != U"version" && name != U"encoding" && name != U"standalone")
        Fail("the XML declaration holds an unknown part");
      first = false;
    }
    if (first) Fail("the XML declaration has no version");
    m_pos += 2;
  }

  void Comment() {
    m_pos += 4;
    while (!Starts(U"--")) {
      if (AtEnd()) Fail("a comment is not closed");
      CheckChar();
      ++m_pos;
    }
    if (!Starts(U"-->")) Fail("'--' inside a comment");
    m_pos += 3;
  }

  void ProcessingInstruction() {
    m_pos += 2;
    const std::u32string target = Name();
    std::u32string lower = target;
    for (char32_t& c : lower)
      if (c >= 'A' && c <= 'Z') c += 32;
    if (lower == U"xml") Fail("an XML declaration that is not at the very start of the file");
    if (!Starts(U"?>") && !SkipSpace()) Fail("a processing instruction needs a blank after its name");
    Until(U"?>", "a processing instruction");
  }

  void Misc() {
    while (true) {
      SkipSpace();
      if (Starts(U"<!--")) Comment();
      else if (Starts(U"<?")) ProcessingInstruction();
      else return;
    }
  }

  // The document type is skipped, brackets and quotes respected; its
  // entities are not read, so any entity reference is let pass after it.
  void Doctype() {
    m_pos += 9;
    m_bHasDoctype = true;
    int depth = 0;
    while (true) {
      if (AtEnd()) Fail("the document type declaration is not closed");
      const char32_t c = Peek();
      if (c == '"' || c == '\'') {
        Quoted(false);
        continue;
      }
      if (Starts(U"<!--")) {
        Comment();
        continue;
      }
      CheckChar();
      ++m_pos;
      if (c == '[') ++depth;
      else if (c == ']') --depth;
      else if (c == '>' && depth <= 0) return;
    }
  }

  std::u32string Reference() {
    const std::size_t start = m_pos;
    ++m_pos;  // '&'
    if (!AtEnd() && Peek() == '#') {
      ++m_pos;
      const bool hex = !AtEnd() && Peek() == 'x';
      if (hex) ++m_pos;
      char32_t value = 0;
      std::size_t digits = 0;
      while (!AtEnd() && Peek() != ';') {
        const char32_t c = Peek();
        int digit = -1;
        if (c >= '0' && c <= '9') digit = static_cast<int>(c - '0');
        else if (hex && c >= 'a' && c <= 'f') digit = static_cast<int>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F') digit = static_cast<int>(c - 'A' + 10);
        if (digit < 0) Fail("a character reference holds a character that is not a digit");
        value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
        if (value > 0x10FFFF) value = 0x110000;
        ++digits, ++m_pos;
      }
      if (AtEnd() || digits == 0) {
        m_pos = start;
        Fail("a character reference is not closed with ';'");
      }
      ++m_pos;
      if (!IsChar(value)) {
        m_pos = start;
        Fail("a character reference names a character that XML does not allow");
      }
      return std::u32string(1, value);
    }
    const std::u32string name = Name();
    if (AtEnd() || Peek() != ';') Fail("an entity reference is not closed with ';'");
    ++m_pos;
    static const std::map<std::u32string, char32_t> predefined = {
        {U"lt", '<'}, {U"gt", '>'}, {U"amp", '&'}, {U"apos", '\''}, {U"quot", '"'}};
    const auto found = predefined.find(name);
    if (found != predefined.end()) return std::u32string(1, found->second);
    if (!m_bHasDoctype) {
      m_pos = start;
      Fail("the entity '&" + ToUtf8(name) + ";' is not defined");
    }
    return std::u32string();
  }

  static std::pair<std::u32string, std::u32string> Split(const std::u32string& qname) {
    const std::size_t colon = qname.find(':');
    if (colon == std::u32string::npos) return {std::u32string(), qname};
    return {qname.substr(0, colon), qname.substr(colon + 1)};
  }

  std::u32string Resolve(const std::u32string& prefix, const Scope& scope, bool element) {
    if (prefix == U"xml") return U"http://www.w3.org/XML/1998/namespace";
    if (prefix.empty() && !element) return std::u32string();
    const auto found = scope.find(prefix);
    if (found == scope.end()) {
      if (prefix.empty()) return std::u32string();
      Fail("the namespace prefix '" + ToUtf8(prefix) + "' is not declared");
    }
    return found->second;
  }

  void CheckQName(const std::u32string& qname) {
    const std::size_t colon = qname.find(':');
    if (colon == std::u32string::npos) return;
    if (colon == 0 || colon + 1 == qname.size() || qname.find(':', colon + 1) != std::u32string::npos ||
        !IsNameStart(qname[colon + 1]))
      Fail("the name '" + ToUtf8(qname) + "' is not a valid qualified name");
  }

  struct Open {
    std::u32string name;
    Scope scope;
  };

  // Reads a start tag; true when it was an empty-element tag.
  bool StartTag(std::vector<Open>& stack, XmlFacts& facts) {
    const std::size_t tagStart = m_pos;
    ++m_pos;  // '<'
    const std::u32string name = Name();
    CheckQName(name);
    Scope scope = stack.empty() ? Scope() : stack.back().scope;
    std::vector<std::pair<std::u32string, std::size_t>> attributes;
    std::set<std::u32string> seen;
    bool empty = false;
    while (true) {
      const bool spaced = SkipSpace();
      if (AtEnd()) Fail("a start tag is not closed");
      if (Peek() == '>') {
        ++m_pos;
        break;
      }
      if (Starts(U"/>")) {
        m_pos += 2;
        empty = true;
        break;
      }
      if (!spaced) Fail("attributes must be separated by blanks");
      const std::size_t attributeAt = m_pos;
      const std::u32string attribute = Name();
      CheckQName(attribute);
      SkipSpace();
      Expect(U"=", "'=' after an attribute name");
      SkipSpace();
      const std::u32string value = Quoted(true);
      if (!seen.insert(attribute).second) {
        m_pos = attributeAt;
        Fail("the attribute '" + ToUtf8(attribute) + "' appears twice");
      }
      if (attribute == U"xmlns") {
        scope[std::u32string()] = value;
      } else if (attribute.compare(0, 6, U"xmlns:") == 0) {
        if (value.empty()) {
          m_pos = attributeAt;
          Fail("a namespace prefix is bound to an empty name");
        }
        scope[attribute.substr(6)] = value;
      } else {
        attributes.emplace_back(attribute, attributeAt);
      }
    }
    const std::size_t after = m_pos;
    m_pos = tagStart;
    const auto parts = Split(name);
    XmlElementName element{ToUtf8(parts.second), ToUtf8(Resolve(parts.first, scope, true))};
    for (const auto& attribute : attributes) {
      m_pos = attribute.second;
      Resolve(Split(attribute.first).first, scope, false);
    }
    m_pos = after;
    if (stack.empty()) facts.root = element;
    else if (stack.size() == 1) facts.children.push_back(element);
    if (!empty) stack.push_back(Open{name, std::move(scope)});
    return empty;
  }

  void Element(XmlFacts& facts) {
    std::vector<Open> stack;
    if (StartTag(stack, facts)) return;
    while (!stack.empty()) {
      if (AtEnd()) Fail("the element '" + ToUtf8(stack.back().name) + "' is not closed");
      if (Starts(U"</")) {
        m_pos += 2;
        const std::size_t nameAt = m_pos;
        const std::u32string name = Name();
        if (name != stack.back().name) {
          m_pos = nameAt;
          Fail("the end tag '" + ToUtf8(name) + "' does not match the start tag '" + ToUtf8(stack.back().name) + "'");
        }
        SkipSpace();
        Expect(U">", "'>' to close an end tag");
        stack.pop_back();
      } else if (Starts(U"<!--")) {
        Comment();
      } else if (Starts(U"<![CDATA[")) {
        m_pos += 9;
        Until(U"]]>", "a CDATA section");
      } else if (Starts(U"<?")) {
        ProcessingInstruction();
      } else if (Peek() == '<') {
        StartTag(stack, facts);
      } else if (Peek() == '&') {
        Reference();
      } else {
        if (Starts(U"]]>")) Fail("']]>' in text");
        CheckChar();
        ++m_pos;
      }
    }
  }

  std::u32string m_text;
  std::size_t m_pos = 0;
  bool m_bHasDoctype = false;
};

}  // namespace

XmlFacts CheckXml(const std::string& bytes) {
  XmlFacts facts;
  std::u32string text;
  std::size_t badAt = 0;
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    if (!DecodeUtf8Strict(bytes, 3, text, badAt)) {
      facts.error = "byte " + std::to_string(badAt) + ": the file is marked as UTF-8 but is not";
      return facts;
    }
  } else if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0 ||
             bytes.compare(0, 4, std::string("<\0?\0", 4)) == 0 || bytes.compare(0, 4, std::string("\0<\0?", 4)) == 0) {
    const bool bigEndian = bytes[0] == '\xFE' || bytes[0] == '\0';
    const std::size_t start = (bytes[0] == '\xFF' || bytes[0] == '\xFE') ? 2 : 0;
    if (!DecodeUtf16(bytes, start, bigEndian, text)) {
      facts.error = "the file is UTF-16 but holds a broken character";
      return facts;
    }
  } else {
    const std::string encoding = DeclaredEncoding(bytes);
    if (encoding.empty() || encoding == "utf-8" || encoding == "utf8") {
      if (!DecodeUtf8Strict(bytes, 0, text, badAt)) {
        facts.error = "byte " + std::to_string(badAt) + ": the file is not valid UTF-8" +
                      (encoding.empty() ? " (and declares no other encoding)" : "");
        return facts;
      }
    } else if (encoding.compare(0, 6, "utf-16") == 0 || encoding.compare(0, 3, "ucs") == 0 ||
               encoding.compare(0, 6, "utf-32") == 0) {
      facts.error = "the file declares the encoding " + encoding + " but is written in 8-bit text";
      return facts;
    } else {
      // Single-byte and ASCII-based multi-byte encodings: bytes of 0x80 and
      // above never stand for markup, so each is checked as one character.
      for (char c : bytes) text.push_back(static_cast<unsigned char>(c));
    }
  }

  Parser parser(std::move(text));
  try {
    parser.Run(facts);
    facts.wellFormed = true;
  } catch (const Failure& failure) {
    facts.error = parser.Where(failure.at) + ": " + failure.reason;
    facts.children.clear();
  }
  return facts;
}

}  // namespace tobrin::pack
