// tobrin-pack list: what a packed program carries, in the order of its data
// area, and the settings the runner would read from it.
#include "commands.h"
#include "package_checks.h"
#include "packed_program.h"
#include "text.h"

namespace tobrin::pack {

const char kListHelp[] =
    "Usage: tobrin-pack list [--json] PACKED.exe\n"
    "\n"
    "Shows the groups and files of the package bound to PACKED.exe with their\n"
    "sizes, in the order of the data area, and the settings the runner reads from\n"
    "it: the payload, ParamA, ParamB, ProductName, whether a message box is shown\n"
    "and with how many buttons, the message languages in MessageInfo.xml, and the\n"
    "seal's digest when the package is sealed. Nothing is checked beyond what\n"
    "reading needs: use 'tobrin-pack verify', which also checks the seal.\n"
    "\n"
    "Options:\n"
    "  --json       print one JSON object instead, for scripts\n"
    "  -h, --help   show this text\n";

namespace {

std::string Utf8(const std::u16string& text) { return Utf16ToUtf8(text); }
// For the terminal: control characters and reordering marks escaped.
std::string Shown(const std::u16string& text) { return Printable(Utf16ToUtf8(text)); }

std::string Value(const std::optional<IniValue>& value) {
  return value ? "\"" + Shown(value->text) + "\"" : "(absent)";
}

std::string JsonValue(const std::optional<IniValue>& value) {
  return value ? JsonString(Utf8(value->text)) : "null";
}

std::string PayloadText(const PackageSettings& settings) {
  if (!settings.executeFileName) return "(none: AssistFile.ini names no file)";
  if (!settings.payloadFile) return "\"" + Shown(settings.executeFileName->text) + "\", which is not in the package";
  return Shown(RelativePath(*settings.payloadGroup, *settings.payloadFile));
}

std::string SignatureText(const PackedProgram& program) {
  if (!program.pe.valid || !program.pe.HasCertificate()) return "none";
  return "a certificate table of " + std::to_string(program.pe.certificateSize) + " bytes at byte " +
         std::to_string(program.pe.certificateOffset);
}

void PrintText(const PackedProgram& program, const PackageSettings& settings) {
  const PackageView& view = program.view;
  std::printf("%s\n", Printable(program.subject).c_str());
  std::printf("  package at byte %llu: %zu group(s), %llu file(s), %llu bytes of data\n",
              static_cast<unsigned long long>(program.layout.packageOffset), view.groups.size(),
              static_cast<unsigned long long>(view.FileCount()), static_cast<unsigned long long>(view.DataSize()));
  std::printf("  signature: %s\n", SignatureText(program).c_str());
  std::printf("  seal: %s\n\n", program.seal.present ? ("XXH3-128 " + DigestHex(program.seal.digest)).c_str() : "none");
  for (const ViewGroup& group : view.groups) {
    if (group.IsRoot()) std::printf("%s  (root: the extraction folder itself)\n", Shown(group.name).c_str());
    else std::printf("%s\\%s\n", Shown(group.name).c_str(), group.files.empty() ? "  (empty folder)" : "");
    for (const ViewFile& file : group.files)
      std::printf("  %12llu  %s\n", static_cast<unsigned long long>(file.size), Shown(file.name).c_str());
  }
  std::printf("\nSettings:\n");
  std::printf("  payload      %s\n", PayloadText(settings).c_str());
  std::printf("  ParamA       %s\n", Value(settings.paramA).c_str());
  std::printf("  ParamB       %s\n", Value(settings.paramB).c_str());
  std::printf("  ProductName  %s\n", Value(settings.productName).c_str());
  std::printf("  message box  %s\n", !settings.showMessageBox ? "no"
                                      : settings.oneButton    ? "yes, one button (OK)"
                                                              : "yes, two buttons (OK and Cancel)");
  std::string languages;
  for (const std::string& code : settings.languages) languages += (languages.empty() ? "" : " ") + code;
  if (!settings.messageInfoFound) languages = "(no MessageInfo.xml)";
  else if (settings.messageInfo.error == kUnreadable) languages = "(MessageInfo.xml cannot be read: too large or cut short)";
  else if (!settings.messageInfo.wellFormed) languages = "(MessageInfo.xml is not well-formed)";
  else if (settings.messageInfo.hasDoctype) languages = "(MessageInfo.xml has a DTD, which the runner does not load)";
  else if (languages.empty()) languages = "(none)";
  std::printf("  languages    %s\n", languages.c_str());
}

void PrintJson(const PackedProgram& program, const PackageSettings& settings) {
  const PackageView& view = program.view;
  std::string out = "{\n";
  out += "  \"file\": " + JsonString(program.subject) + ",\n";
  out += "  \"packageOffset\": " + std::to_string(program.layout.packageOffset) + ",\n";
  out += "  \"dataOffset\": " + std::to_string(program.layout.dataOffset) + ",\n";
  out += "  \"dataSize\": " + std::to_string(program.layout.dataSize) + ",\n";
  out += "  \"fileSize\": " + std::to_string(program.layout.fileSize) + ",\n";
  const bool signed_ = program.pe.valid && program.pe.HasCertificate();
  out += "  \"signature\": " +
         (signed_ ? "{\"offset\": " + std::to_string(program.pe.certificateOffset) +
                        ", \"size\": " + std::to_string(program.pe.certificateSize) + "}"
                  : std::string("null")) +
         ",\n";
  out += "  \"seal\": " +
         (program.seal.present ? "{\"algorithm\": \"XXH3-128\", \"digest\": \"" + DigestHex(program.seal.digest) +
                                     "\", \"covered\": " + std::to_string(program.seal.covered) + "}"
                               : std::string("null")) +
         ",\n";
  out += "  \"groups\": [";
  for (std::size_t g = 0; g < view.groups.size(); ++g) {
    const ViewGroup& group = view.groups[g];
    out += std::string(g ? "," : "") + "\n    {\"name\": " + JsonString(Utf8(group.name)) +
           ", \"root\": " + (group.IsRoot() ? "true" : "false") + ", \"files\": [";
    for (std::size_t f = 0; f < group.files.size(); ++f) {
      const ViewFile& file = group.files[f];
      out += std::string(f ? ", " : "") + "{\"name\": " + JsonString(Utf8(file.name)) +
             ", \"size\": " + std::to_string(file.size) + ", \"offset\": " + std::to_string(file.offset) + "}";
    }
    out += "]}";
  }
  out += "\n  ],\n  \"settings\": {\n";
  out += "    \"executeFileName\": " + JsonValue(settings.executeFileName) + ",\n";
  out += "    \"payload\": " +
         (settings.payloadFile ? JsonString(Utf8(RelativePath(*settings.payloadGroup, *settings.payloadFile)))
                               : std::string("null")) +
         ",\n";
  out += "    \"paramA\": " + JsonValue(settings.paramA) + ",\n";
  out += "    \"paramB\": " + JsonValue(settings.paramB) + ",\n";
  out += "    \"productName\": " + JsonValue(settings.productName) + ",\n";
  out += std::string("    \"messageBox\": ") + (settings.showMessageBox ? "true" : "false") + ",\n";
  out += "    \"buttons\": " + std::to_string(!settings.showMessageBox ? 0 : settings.oneButton ? 1 : 2) + ",\n";
  out += std::string("    \"messageInfo\": ") +
         (!settings.messageInfoFound                     ? "null"
          : settings.messageInfo.error == kUnreadable ? "\"unreadable\""
          : !settings.messageInfo.wellFormed          ? "\"not well-formed\""
          : settings.messageInfo.hasDoctype           ? "\"has a DTD\""
                                                      : "\"well-formed\"") +
         ",\n";
  out += "    \"languages\": [";
  for (std::size_t i = 0; i < settings.languages.size(); ++i)
    out += std::string(i ? ", " : "") + JsonString(settings.languages[i]);
  out += "]\n  }\n}\n";
  std::fputs(out.c_str(), stdout);
}

}  // namespace

int RunList(const ListOptions& options) {
  const std::string& packed = options.packed;
  PackedProgram program;
  if (int refused = OpenReadablePackage(packed, program)) return refused;

  Findings unused;  // listing judges nothing; verify does
  const PackageSettings settings = ReadSettings(program.view, unused);
  if (options.json) PrintJson(program, settings);
  else PrintText(program, settings);
  return kExitOk;
}

}  // namespace tobrin::pack
