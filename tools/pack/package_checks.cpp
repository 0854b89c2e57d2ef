#include "package_checks.h"

#include <algorithm>
#include <map>

#include "contract/message_languages.h"
#include "contract/path_limits.h"
#include "contract/pe_headers.h"
#include "contract/payload_lookup.h"
#include "contract/settings_contract.h"
#include "contract/stored_names.h"
#include "package/package_format.h"
#include "text.h"

namespace nsTobrin {

const char kUnreadable[] = "cannot be read";

namespace {

// Settings files larger than this are not the runner's kind of file.
constexpr std::uint64_t kSettingsReadLimit = 16u << 20;

// A file of the root group, named as Windows matches names. Of two that
// match, the later one is written last and so is the one on disk.
const ViewFile* FindRootFile(const PackageView& view, const std::u16string& name) {
  const ViewGroup* root = view.RootGroup();
  if (!root) return nullptr;
  const ViewFile* found = nullptr;
  for (const ViewFile& file : root->files)
    if (SameNameOnWindows(file.name, name)) found = &file;
  return found;
}

bool HasNonAscii(const std::u16string& text) {
  for (char16_t c : text)
    if (c >= 0x80) return true;
  return false;
}

std::string Quote(const std::u16string& text) { return "\"" + Utf16ToUtf8(text) + "\""; }

std::size_t LongestComponent(const std::u16string& path) {
  std::size_t longest = 0;
  for (const std::u16string_view part : SplitStoredName(path)) longest = part.size() > longest ? part.size() : longest;
  return longest;
}

std::string TooLong(std::size_t length) {
  return "a name in its path is " + std::to_string(length) + " characters long; Windows keeps names of " +
         std::to_string(kLongestFileName) + " at most, so the runner cannot write it";
}

// Why the runner may read an 8-bit file differently from what was meant.
std::string EightBitHint(const IniFile& ini) {
  std::string hint =
      "the file has no byte-order mark, so its non-ASCII characters are read in the ANSI code page of the "
      "user's machine";
  if (ini.LooksLikeUtf8WithoutBom()) hint += " (it looks like UTF-8 saved without the byte-order mark)";
  return hint + "; save it as UTF-8 with a byte-order mark or as UTF-16LE with one";
}

std::string Utf16Hint(const IniFile& ini) {
  return ini.LooksLikeUtf16WithoutBom()
             ? " (the file looks like UTF-16 written without a byte-order mark, which the runner does not read)"
             : "";
}

bool ReadFile(const PackageView& view, const ViewFile& file, const std::string& subject, std::string& bytes,
              Findings& findings, bool errorOnFailure) {
  std::string error;
  if (file.size > kSettingsReadLimit) {
    error = "it is too large to be a settings file (" + std::to_string(file.size) + " bytes)";
  } else if (view.read(file, kSettingsReadLimit, bytes, error)) {
    return true;
  }
  if (errorOnFailure) findings.Error(subject, error);
  else findings.Warning(subject, error);
  return false;
}

void CheckArgument(const char* key, const std::optional<IniValue>& value, const IniFile& ini,
                   const std::string& subject, Findings& findings) {
  if (!value) return;
  if (value->cut)
    findings.Warning(subject, std::string(key) + " is longer than " + std::to_string(kSettingValueLimit) +
                                  " characters: the runner reads only the first " + std::to_string(kSettingValueLimit));
  if (ini.Encoding() == IniEncoding::EightBit && HasNonAscii(value->text))
    findings.Warning(subject, std::string(key) + " holds non-ASCII characters: " + EightBitHint(ini));
}

std::u16string Extension(const std::u16string& name) {
  const std::size_t dot = name.find_last_of(u'.');
  const std::size_t slash = name.find_last_of(u"\\/");
  if (dot == std::u16string::npos || (slash != std::u16string::npos && dot < slash)) return std::u16string();
  std::u16string extension = name.substr(dot);
  for (char16_t& c : extension)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 0x20);
  return extension;
}

// A file of the package, for the PE reader: each read takes the file's head
// up to the bytes asked for. Keeps the first error.
class ViewFileBytes final : public PeFileBytes {
 public:
  ViewFileBytes(const PackageView& view, const ViewFile& file) : m_view(view), m_file(file) {}
  std::size_t ReadAt(std::uint64_t offset, unsigned char* out, std::size_t size) override {
    std::string head, error;
    if (offset >= m_file.size) return 0;
    if (!m_view.readHead(m_file, offset + size, head, error)) {
      if (m_error.empty()) m_error = error;
      return 0;
    }
    if (head.size() <= offset) return 0;
    const std::size_t got = std::min<std::size_t>(size, head.size() - static_cast<std::size_t>(offset));
    std::copy(head.begin() + static_cast<std::ptrdiff_t>(offset), head.begin() + static_cast<std::ptrdiff_t>(offset + got), out);
    return got;
  }
  const std::string& Error() const { return m_error; }

 private:
  const PackageView& m_view;
  const ViewFile& m_file;
  std::string m_error;
};

// Why CreateProcessW cannot start the payload, or nothing when it can: a
// batch file by its name, anything else only when it is a PE program.
std::optional<std::string> WhyNotStartable(const PackageView& view, const ViewFile& file) {
  const std::u16string extension = Extension(file.name);
  if (extension == u".BAT" || extension == u".CMD") return std::nullopt;
  if (extension == u".MSI")
    return std::string("is a Windows Installer package, which only msiexec starts: name a .cmd file of the package "
                       "instead that runs  msiexec /i \"%~dp0") + Utf16ToUtf8(file.name.substr(file.name.find_last_of(u"\\/") + 1)) +
           "\" %*  and ends with  exit /b %errorlevel%  so that its exit code is passed on";
  if (extension.empty())
    return std::string("has no extension, so Windows looks for the name with .exe appended and starts nothing");
  ViewFileBytes bytes(view, file);
  const PeHeaders pe = ReadPeHeaders(bytes);
  switch (pe.read) {
    case PeRead::NoDosHeader:
      if (!bytes.Error().empty()) return bytes.Error();
      // fall through
    case PeRead::NoMz:
      return std::string("is not a Windows program (no MZ header), nor a .bat or .cmd file: CreateProcessW cannot start it");
    case PeRead::NoPeHeader:
    case PeRead::NoPeSignature:
      return std::string("is an MS-DOS program, not a Windows program (no PE header): CreateProcessW cannot start it");
    case PeRead::Headers:
      break;
  }
  if (!pe.IsProgram()) return std::string("is a DLL or object file, not a program: CreateProcessW cannot start it");
  return std::nullopt;
}

void ReadAssistFile(const PackageView& view, PackageSettings& settings, Findings& findings) {
  const ViewFile* file = FindRootFile(view, kAssistFile.utf16);
  if (!file) {
    findings.Error(view.subjectOf(kAssistFile.utf16),
                   "missing: the runner reads the file to start from AssistFile.ini beside the package's root files");
    return;
  }
  const ViewGroup& root = *view.RootGroup();
  const std::string subject = view.Subject(root, *file);
  std::string bytes;
  if (!ReadFile(view, *file, subject, bytes, findings, true)) return;
  settings.assistFileFound = true;
  const IniFile ini = IniFile::Parse(bytes);
  settings.executeFileName = ini.Read(kExecuteFileNameKey);
  settings.paramA = ini.Read(kParamAKey);
  settings.paramB = ini.Read(kParamBKey);
  settings.productName = ini.Read(kProductNameKey);
  CheckArgument("ParamA", settings.paramA, ini, subject, findings);
  CheckArgument("ParamB", settings.paramB, ini, subject, findings);
  CheckArgument("ProductName", settings.productName, ini, subject, findings);

  const auto& name = settings.executeFileName;
  if (!name) {
    findings.Error(subject, "names no file to run: section [ParamOption] has no ExecuteFileName" + Utf16Hint(ini));
    return;
  }
  if (name->text.empty()) {
    findings.Error(subject, "names no file to run: ExecuteFileName is empty");
    return;
  }
  if (ini.Encoding() == IniEncoding::EightBit && HasNonAscii(name->text)) {
    findings.Error(subject, "ExecuteFileName holds non-ASCII characters: " + EightBitHint(ini));
    return;
  }
  // The runner's own rule: a name that could start something outside the
  // extraction folder makes the package a damaged one.
  if (const char* why = CheckPayloadName(name->text)) {
    findings.Error(subject, "ExecuteFileName " + Quote(name->text) + " is refused because " + why +
                                ": the runner starts only a file inside its extraction folder, and refuses the "
                                "package as damaged");
    return;
  }
  const PayloadLocation payload = FindPayload(view, name->text);
  settings.payloadGroup = payload.group;
  settings.payloadFile = payload.file;
  if (payload.file) {
    // The runner starts the first file of that name in the order of the
    // groups (a folder such as Bin before the root group's files), however
    // many the package holds.
    std::string others;
    for (const ViewGroup& group : view.groups)
      for (const ViewFile& file : group.files)
        if (&file != payload.file && AnswersToPayloadName(group.Folder(), file.name, name->text, SameNameOnWindows))
          others += (others.empty() ? "" : ", ") + Quote(RelativePath(group, file));
    if (!others.empty())
      findings.Warning(subject, "ExecuteFileName " + Quote(name->text) + " also matches " + others +
                                    ": the runner starts " + Quote(RelativePath(*payload.group, *payload.file)) +
                                    ", the first of that name in the order of the package's groups");
    if (const auto why = WhyNotStartable(view, *payload.file))
      findings.Error(view.Subject(*payload.group, *payload.file), "ExecuteFileName names this file, which " + *why);
    if (RelativePath(*payload.group, *payload.file).size() > kLongestStartablePayloadPath)
      findings.Error(subject, "the file ExecuteFileName names lies " +
                                  std::to_string(RelativePath(*payload.group, *payload.file).size()) +
                                  " characters deep in the package: with the extraction folder in front (at least "
                                  "C:\\{GUID}\\) its path is longer than the " + std::to_string(kLongestStartPath) +
                                  " characters a program can be started from; keep it within " + std::to_string(kLongestStartablePayloadPath));
  } else {
    std::string reason = "ExecuteFileName " + Quote(name->text) + " names no file in the package";
    if (name->cut)
      reason += " (the value is longer than " + std::to_string(kSettingValueLimit) +
                " characters, and the runner reads only the first " + std::to_string(kSettingValueLimit) + ")";
    findings.Error(subject, reason);
  }
}

void ReadMessageSetting(const PackageView& view, PackageSettings& settings, Findings& findings) {
  const ViewFile* file = FindRootFile(view, kMessageSettingFile.utf16);
  if (!file) return;  // no box, as the runner decides without it
  const std::string subject = view.Subject(*view.RootGroup(), *file);
  std::string bytes;
  if (!ReadFile(view, *file, subject, bytes, findings, true)) return;
  settings.messageSettingFound = true;
  const IniFile ini = IniFile::Parse(bytes);
  const auto show = ini.Read(kIsShowMessageBoxKey);
  settings.showMessageBox = ShowsMessageBox(show ? show->text.c_str() : nullptr);
  if (settings.showMessageBox) {
    const auto isOk = ini.Read(kIsOkKey);
    settings.oneButton = HasOneButton(isOk ? isOk->text.c_str() : nullptr);
  } else if (ini.LooksLikeUtf16WithoutBom()) {
    findings.Warning(subject, "looks like UTF-16 written without a byte-order mark, which the runner does not read: "
                              "no message box will be shown");
  }
}

void ReadMessageInfo(const PackageView& view, PackageSettings& settings, Findings& findings) {
  const ViewFile* file = FindRootFile(view, kMessageInfoFile.utf16);
  if (!file) {
    if (settings.showMessageBox)
      findings.Warning(view.subjectOf(kMessageInfoFile.utf16),
                       "missing, while MessageSetting.ini asks for a message box: the box will show no message");
    return;
  }
  const std::string subject = view.Subject(*view.RootGroup(), *file);
  std::string bytes;
  settings.messageInfoFound = true;
  if (!ReadFile(view, *file, subject, bytes, findings, false)) {
    settings.messageInfo.error = kUnreadable;
    return;
  }
  settings.messageInfo = CheckXml(bytes);
  const XmlFacts& xml = settings.messageInfo;
  if (!xml.wellFormed) {
    findings.Warning(subject, "not well-formed XML (" + xml.error + "): the runner cannot read a message from it");
    return;
  }
  if (!xml.rareEncoding.empty()) {
    findings.Warning(subject, "declares the encoding " + xml.rareEncoding +
                                  ", which the XML component of some systems does not read (Wine's reads UTF-8, "
                                  "UTF-16, US-ASCII, GBK, ISO-8859-1 to 16 and windows-1250 to 1258): the runner "
                                  "may find no message in it; save it as UTF-8 or UTF-16");
    return;
  }
  if (xml.hasDoctype) {
    findings.Warning(subject, "holds a document type declaration (<!DOCTYPE ...>): the runner does not load a "
                              "catalogue with one, so it finds no message in it; remove the declaration");
    return;
  }
  if (xml.root.localName != "MessageInfo") {
    findings.Warning(subject, "the root element is <" + xml.root.localName +
                                  ">, not <MessageInfo>: the runner finds no message in it");
    return;
  }
  for (const AsciiName& code : kMessageLanguageCodes) {
    for (const XmlElementName& child : xml.children) {
      if (child.localName == code.text) {
        settings.languages.push_back(code.text);
        break;
      }
    }
  }
  bool hasEnglish = false;
  for (const std::string& code : settings.languages) hasEnglish |= code == MessageLanguageCode(MessageLanguage::ENG).text;
  if (settings.showMessageBox && !hasEnglish)
    findings.Warning(subject, "has no <ENG> element: users whose language has no element of its own see an empty message");
}

}  // namespace

PayloadLocation FindPayload(const PackageView& view, const std::u16string& executeFileName) {
  PayloadLookup lookup(executeFileName, SameNameOnWindows);
  const std::u16string inRoot;
  std::vector<PayloadLocation> places;
  for (const ViewGroup& group : view.groups) {
    for (const ViewFile& file : group.files) {
      lookup.Offer(group.IsRoot() ? inRoot : group.name, file.name, places.size());
      places.push_back({&group, &file});
    }
  }
  return lookup.Match() == PayloadMatch::None ? PayloadLocation() : places[lookup.Index()];
}

PackageSettings ReadSettings(const PackageView& view, Findings& findings) {
  PackageSettings settings;
  ReadAssistFile(view, settings, findings);
  ReadMessageSetting(view, settings, findings);
  ReadMessageInfo(view, settings, findings);
  return settings;
}

void CheckNames(const PackageView& view, Findings& findings) {
  for (const ViewGroup& group : view.groups) {
    if (!group.IsRoot()) {
      if (const char* why = CheckStoredName(group.name))
        findings.Error(view.subjectOf(group.name), std::string("the folder name is refused: ") + why);
      if (const std::size_t length = LongestComponent(group.name); length > kLongestFileName)
        findings.Error(view.subjectOf(group.name), TooLong(length));
    }
    for (const ViewFile& file : group.files) {
      if (const char* why = CheckStoredName(file.name))
        findings.Error(view.Subject(group, file), std::string("the file name is refused: ") + why);
      if (const std::size_t length = LongestComponent(file.name); length > kLongestFileName)
        findings.Error(view.Subject(group, file), TooLong(length));
    }
  }

  // Folded path -> the path as written, and whether it is a folder.
  struct Seen {
    std::u16string path;
    bool folder;
  };
  std::map<std::u16string, Seen, WindowsNameLess> seen;
  auto addFolder = [&](const std::u16string& path) {
    seen.emplace(Backslashed(path), Seen{path, true});
  };
  for (const ViewGroup& group : view.groups) {
    if (group.IsRoot()) continue;
    for (const std::u16string_view parent : ParentFoldersOf(group.name)) addFolder(std::u16string(parent));
    addFolder(group.name);
  }
  for (const ViewGroup& group : view.groups) {
    for (const ViewFile& file : group.files) {
      const std::u16string path = RelativePath(group, file);
      for (const std::u16string_view parent : ParentFoldersOf(path)) addFolder(std::u16string(parent));
    }
  }

  for (const ViewGroup& group : view.groups) {
    for (const ViewFile& file : group.files) {
      const std::u16string path = RelativePath(group, file);
      const auto inserted = seen.emplace(Backslashed(path), Seen{path, false});
      if (inserted.second) continue;
      const Seen& other = inserted.first->second;
      const std::string subject = view.Subject(group, file);
      if (other.folder)
        findings.Error(subject, "is a file where the folder " + Quote(other.path) + " must go");
      else if (other.path == path)
        findings.Error(subject, "appears twice in the package: the later copy replaces the earlier one");
      else if (Backslashed(other.path) == Backslashed(path))
        findings.Error(subject, "is the same file as " + Quote(other.path) +
                                    " on Windows (the names differ only in '/' against '\\', which both separate "
                                    "folders): one would replace the other");
      else
        findings.Error(subject, "is the same file as " + Quote(other.path) +
                                    " on Windows (the names differ only in letter case): one would replace the other");
    }
  }
}

}  // namespace nsTobrin
