// tobrin-pack list: what a packed program carries, in the order of its data
// area, and the settings the runner would read from it.
#include <nlohmann/json.hpp>

#include "commands.h"
#include "package_checks.h"
#include "packed_program.h"
#include "text.h"

namespace nsTobrin {

const char kListHelp[] =
    "Usage: tobrin-pack list [--json] PACKED.exe\n"
    "\n"
    "Shows the groups and files of the package bound to PACKED.exe with their\n"
    "sizes, in the order of the data area, and the settings the runner reads from\n"
    "it: the payload, ParamA, ParamB, ProductName, whether a message box is shown\n"
    "and with how many buttons, the message languages in MessageInfo.xml, the\n"
    "package's mark (TbSe: sealed, the runner requires the seal; TbZs:\n"
    "compressed and sealed; TbAr: the same, with the PE32 files' addresses\n"
    "rewritten), the seal's digest when the package is sealed, and\n"
    "the layout: stored, or compressed with its stored size and its ratio to the\n"
    "files' total. Nothing is checked beyond what reading needs: use\n"
    "'tobrin-pack verify', which also checks the seal and decodes a compressed\n"
    "package whole.\n"
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

std::string PayloadText(const PackageSettings& settings) {
  if (!settings.executeFileName) return "(none: AssistFile.ini names no file)";
  if (!settings.payloadFile) return "\"" + Shown(settings.executeFileName->text) + "\", which is not in the package";
  return Shown(RelativePath(*settings.payloadGroup, *settings.payloadFile));
}

// The mark as its bytes read, and what it means.
const char* MarkText(PackageMark mark) {
  switch (mark) {
    case PackageMark::SealedStored:
      return "TbSe (sealed; the runner requires the seal)";
    case PackageMark::Compressed:
      return "TbZs (compressed and sealed; the runner requires the seal)";
    case PackageMark::CompressedRewritten:
      return "TbAr (compressed with the PE32 files' addresses rewritten, and sealed; the runner requires the seal)";
    case PackageMark::Unmarked:
      break;
  }
  return "none";
}

std::string SignatureText(const PackedProgram& program) {
  if (!program.pe.valid || !program.pe.HasCertificate()) return "none";
  return "a certificate table of " + std::to_string(program.pe.certificateSize) + " bytes at byte " +
         std::to_string(program.pe.certificateOffset);
}

bool IsCompressed(const PackageLayout& layout) { return IsCompressed(layout.mark); }

// The stored size over the files' total.
double Ratio(const PackageLayout& layout) {
  return layout.dataSize ? static_cast<double>(layout.storedSize) / static_cast<double>(layout.dataSize) : 1.0;
}

std::string LayoutText(const PackageLayout& layout) {
  if (!IsCompressed(layout)) return "stored (" + std::to_string(layout.storedSize) + " bytes)";
  char ratio[32];
  std::snprintf(ratio, sizeof ratio, "%.1f%%", 100.0 * Ratio(layout));
  return std::string(layout.mark == PackageMark::CompressedRewritten ? "compressed (zstd, PE32 addresses rewritten): "
                                                                      : "compressed (zstd): ") +
         std::to_string(layout.storedSize) + " bytes stored for " +
         std::to_string(layout.dataSize) + " bytes of files, " + ratio;
}

void PrintText(const PackedProgram& program, const PackageSettings& settings) {
  const PackageView& view = program.view;
  std::printf("%s\n", Printable(program.subject).c_str());
  std::printf("  package at byte %llu: %zu group(s), %llu file(s), %llu bytes of data\n",
              static_cast<unsigned long long>(program.layout.packageOffset), view.groups.size(),
              static_cast<unsigned long long>(view.FileCount()), static_cast<unsigned long long>(view.DataSize()));
  std::printf("  layout: %s\n", LayoutText(program.layout).c_str());
  std::printf("  signature: %s\n", SignatureText(program).c_str());
  std::printf("  mark: %s\n", MarkText(program.layout.mark));
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
  using Json = nlohmann::ordered_json;  // keys in the order written
  const PackageView& view = program.view;
  auto value = [](const std::optional<IniValue>& read) { return read ? Json(Utf8(read->text)) : Json(); };
  Json out;
  out["file"] = program.subject;
  out["packageOffset"] = program.layout.packageOffset;
  out["dataOffset"] = program.layout.dataOffset;
  out["dataSize"] = program.layout.dataSize;
  out["layout"] = IsCompressed(program.layout) ? "compressed" : "stored";
  out["storedSize"] = program.layout.storedSize;
  out["ratio"] = Ratio(program.layout);
  out["fileSize"] = program.layout.fileSize;
  out["signature"] = program.pe.valid && program.pe.HasCertificate()
                         ? Json{{"offset", program.pe.certificateOffset}, {"size", program.pe.certificateSize}}
                         : Json();
  out["mark"] = program.layout.mark == PackageMark::Unmarked ? Json() : Json(PackageMarkBytes(program.layout.mark));
  out["seal"] = program.seal.present ? Json{{"algorithm", "XXH3-128"},
                                            {"digest", DigestHex(program.seal.digest)},
                                            {"covered", program.seal.covered}}
                                     : Json();
  Json& groups = out["groups"] = Json::array();
  for (const ViewGroup& group : view.groups) {
    Json files = Json::array();
    for (const ViewFile& file : group.files)
      // A compressed file lies at no offset of the program.
      files.push_back({{"name", Utf8(file.name)},
                       {"size", file.size},
                       {"offset", IsCompressed(program.layout) ? Json() : Json(program.layout.dataOffset + file.decodedOffset)}});
    groups.push_back({{"name", Utf8(group.name)}, {"root", group.IsRoot()}, {"files", std::move(files)}});
  }
  Json& shown = out["settings"];
  shown["executeFileName"] = value(settings.executeFileName);
  shown["payload"] = settings.payloadFile ? Json(Utf8(RelativePath(*settings.payloadGroup, *settings.payloadFile))) : Json();
  shown["paramA"] = value(settings.paramA);
  shown["paramB"] = value(settings.paramB);
  shown["productName"] = value(settings.productName);
  shown["messageBox"] = settings.showMessageBox;
  shown["buttons"] = !settings.showMessageBox ? 0 : settings.oneButton ? 1 : 2;
  shown["messageInfo"] = !settings.messageInfoFound                     ? Json()
                         : settings.messageInfo.error == kUnreadable ? Json("unreadable")
                         : !settings.messageInfo.wellFormed          ? Json("not well-formed")
                         : settings.messageInfo.hasDoctype           ? Json("has a DTD")
                                                                     : Json("well-formed");
  shown["languages"] = settings.languages;
  // A file path that is not UTF-8 is shown with U+FFFD for its bad bytes.
  std::puts(out.dump(2, ' ', false, Json::error_handler_t::replace).c_str());
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

}  // namespace nsTobrin
