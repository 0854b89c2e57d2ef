#include "package/package_format.h"

#include <algorithm>

#include "contract/stored_names.h"

namespace nsTobrin {

namespace {

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

// COM and LPT take the digits 1 to 9 and the superscripts 1, 2 and 3.
bool IsPortDigit(char16_t c) { return (c >= u'1' && c <= u'9') || c == u'\u00B9' || c == u'\u00B2' || c == u'\u00B3'; }

// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-9 and LPT1-9 (and COM or LPT
// with a superscript digit), alone or with an extension, name devices
// rather than files.
bool IsDeviceName(const std::u16string& component) {
  std::u16string base = component.substr(0, component.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.pop_back();
  for (char16_t& c : base) c = Upper(c);
  if (base == u"CON" || base == u"PRN" || base == u"AUX" || base == u"NUL" || base == u"CONIN$" || base == u"CONOUT$")
    return true;
  return base.size() == 4 && (base.compare(0, 3, u"COM") == 0 || base.compare(0, 3, u"LPT") == 0) &&
         IsPortDigit(base[3]);
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// A surrogate without its partner is no character: systems that convert the
// name to another encoding would each make something else of it.
bool HasUnpairedSurrogate(const std::u16string& name) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (IsHighSurrogate(name[i]) && i + 1 < name.size() && IsLowSurrogate(name[i + 1]))
      ++i;
    else if (IsHighSurrogate(name[i]) || IsLowSurrogate(name[i]))
      return true;
  }
  return false;
}

const char* CheckComponent(const std::u16string& component) {
  if (component.empty()) return "it has an empty path component";
  if (component == u"." || component == u"..") return "it has a '.' or '..' component";
  if (component.back() == u'.' || component.back() == u' ') return "a path component ends with a dot or a blank";
  if (IsDeviceName(component)) return "a path component is a device name";
  return nullptr;
}

}  // namespace

const char* CheckStoredName(const std::u16string& name) {
  if (name.empty()) return "the name is empty";
  if (IsNameSeparator(name.front())) return "the name is an absolute or UNC path";
  for (char16_t c : name) {
    if (c == u':') return "the name holds a ':' (drive or stream)";
    if (c < 0x20 || c == u'<' || c == u'>' || c == u'"' || c == u'|' || c == u'?' || c == u'*')
      return "the name holds a character that file names cannot hold";
  }
  if (HasUnpairedSurrogate(name)) return "the name holds an unpaired surrogate";
  const char* why = nullptr;
  AnyComponent(name, [&why](std::u16string_view component) {
    return (why = CheckComponent(std::u16string(component))) != nullptr;
  });
  return why;
}

const char* CheckPayloadName(const std::u16string& name) {
  if (!name.empty() && IsNameSeparator(name.front())) return "it is an absolute or UNC path";
  if (name.find(u':') != std::u16string::npos) return "it holds a ':' (drive or stream)";
  // Quotes would change where the command line's program name ends.
  if (name.find(u'"') != std::u16string::npos) return "it holds a '\"'";
  // Dots and blanks alone: ".." itself, or a spelling the system may trim to it.
  const bool climbs = AnyComponent(name, [](std::u16string_view component) {
    return component.find_first_not_of(u". ") == std::u16string_view::npos &&
           std::count(component.begin(), component.end(), u'.') >= 2;
  });
  return climbs ? "it has a '..' component" : nullptr;
}

}  // namespace nsTobrin
