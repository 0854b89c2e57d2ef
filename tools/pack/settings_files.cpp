#include "settings_files.h"

#include <algorithm>
#include <memory>

#include "contract/message_languages.h"
#include "contract/settings_contract.h"
#include "package/package_format.h"
#include "ini_file.h"
#include "package_checks.h"
#include "text.h"

namespace nsTobrin {

namespace {

const char16_t kUtf16Bom[] = u"\xFEFF";

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

// A value as the runner's profile reading gives it back: blanks around a
// value and one pair of matching quotes are taken off, so such a value is
// written in a pair of double quotes of its own.
std::u16string IniValueText(const std::u16string& value) {
  const bool needsQuotes =
      !value.empty() && (IsIniBlank(value.front()) || IsIniBlank(value.back()) ||
                         (value.size() >= 2 && (value[0] == u'"' || value[0] == u'\'') && value.back() == value[0]));
  return needsQuotes ? u"\"" + value + u"\"" : value;
}

std::string XmlEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else out += c;
  }
  return out;
}

bool CheckIniValue(const std::string& option, const std::string& value, std::string& error) {
  std::u16string text;
  if (!Utf8ToUtf16(value, text)) error = "the value of '" + option + "' is not valid UTF-8";
  else if (std::any_of(value.begin(), value.end(), IsLineBreak)) error = "the value of '" + option + "' holds a line break";
  else if (text == kAbsentValue.utf16)
    error = std::string("the runner reads the value \"") + kAbsentValue.text + "\" of '" + option + "' as no value at all";
  return error.empty();
}

bool CheckMessageText(const std::string& code, const std::string& text, std::string& error) {
  std::u16string utf16;
  if (!Utf8ToUtf16(text, utf16)) {
    error = "the message for " + code + " is not valid UTF-8";
    return false;
  }
  for (char16_t c : utf16) {
    if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF) {
      error = "the message for " + code + " holds a control character that XML cannot carry";
      return false;
    }
  }
  return true;
}

}  // namespace

std::string CheckSettingsOptions(SettingsOptions& options, const std::vector<std::string>& texts) {
  std::string error;
  const std::pair<const char*, const std::optional<std::string>*> values[] = {
      {"--run", &options.run}, {"--param-a", &options.paramA}, {"--param-b", &options.paramB}, {"--product", &options.product}};
  for (const auto& value : values)
    if (*value.second && !CheckIniValue(value.first, **value.second, error)) return error;
  if (options.run && options.run->empty()) return "'--run' needs the name of the file to start";
  for (const std::string& text : texts) {
    const std::size_t equals = text.find('=');
    std::string code = text.substr(0, equals);
    std::transform(code.begin(), code.end(), code.begin(), [](char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
    const bool known = std::any_of(std::begin(kMessageLanguageCodes), std::end(kMessageLanguageCodes),
                                   [&](const AsciiName& language) { return code == language.text; });
    if (equals == std::string::npos || !known) {
      std::string codes;
      for (const AsciiName& language : kMessageLanguageCodes) codes += std::string(" ") + language.text;
      return "'--text' takes LANG=MESSAGE with LANG one of" + codes + ", not '" + text + "'";
    }
    for (const auto& given : options.texts)
      if (given.first == code) return "'--text' gives the message for " + code + " twice";
    if (!CheckMessageText(code, text.substr(equals + 1), error)) return error;
    options.texts.emplace_back(code, text.substr(equals + 1));
  }
  return std::string();
}

std::vector<GeneratedFile> SettingsFilesFor(const SettingsOptions& options) {
  std::vector<GeneratedFile> files;
  if (options.WritesAssistFile()) {
    std::u16string text = std::u16string(kUtf16Bom) + u"[" + kParamOptionSection.utf16 + u"]\r\n";
    const std::pair<const SettingKey*, const std::optional<std::string>*> keys[] = {
        {&kExecuteFileNameKey, &options.run},
        {&kParamAKey, &options.paramA},
        {&kParamBKey, &options.paramB},
        {&kProductNameKey, &options.product}};
    for (const auto& key : keys) {
      std::u16string value;
      if (*key.second && Utf8ToUtf16(**key.second, value))
        text += key.first->key.utf16 + (u"=" + IniValueText(value)) + u"\r\n";
    }
    files.push_back({kAssistFile.utf16, Utf16LeBytes(text)});
  }
  if (options.WritesMessageSetting()) {
    const bool notice = options.box == SettingsOptions::Box::Notice;
    const std::u16string text = std::u16string(kUtf16Bom) + u"[" + kSettingSection.utf16 + u"]\r\n" +
                                kIsShowMessageBoxKey.key.utf16 + u"=1\r\n" + kIsOkKey.key.utf16 + u"=" +
                                (notice ? u"1" : u"0") + u"\r\n";
    files.push_back({kMessageSettingFile.utf16, Utf16LeBytes(text)});
  }
  if (options.WritesMessageInfo()) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<MessageInfo>\r\n";
    for (const auto& text : options.texts)
      xml += "  <" + text.first + ">" + XmlEscaped(text.second) + "</" + text.first + ">\r\n";
    xml += "</MessageInfo>\r\n";
    files.push_back({kMessageInfoFile.utf16, xml});
  }
  return files;
}

bool AddGeneratedFiles(PackageView& view, std::vector<GeneratedFile> files, Findings& findings) {
  if (files.empty()) return true;
  auto root = std::find_if(view.groups.begin(), view.groups.end(), [](const ViewGroup& g) { return g.IsRoot(); });
  if (root == view.groups.end()) return true;  // the folder could not be scanned: already an error
  std::vector<std::u16string> generated;
  bool clashed = false;
  for (GeneratedFile& made : files) {
    const auto clash = std::find_if(root->files.begin(), root->files.end(), [&](const ViewFile& file) {
      return SameNameOnWindows(file.name, made.name);
    });
    if (clash != root->files.end()) {
      findings.Error(view.Subject(*root, *clash),
                     "the settings options write " + Utf16ToUtf8(made.name) +
                         " into the package: remove the file from the folder, or the options");
      clashed = true;
      continue;
    }
    generated.push_back(made.name);
    ViewFile file;
    file.name = made.name;
    file.size = made.bytes.size();
    file.content = std::make_shared<const std::string>(std::move(made.bytes));
    const auto at = std::lower_bound(root->files.begin(), root->files.end(), file.name,
                                     [](const ViewFile& a, const std::u16string& name) { return a.name < name; });
    root->files.insert(at, std::move(file));
  }
  auto fromDisk = view.read;
  view.read = [fromDisk](const ViewFile& file, std::uint64_t limit, std::string& bytes, std::string& error) {
    if (!file.content) return fromDisk(file, limit, bytes, error);
    bytes = *file.content;
    return true;
  };
  auto headFromDisk = view.readHead;
  view.readHead = [headFromDisk](const ViewFile& file, std::uint64_t count, std::string& bytes, std::string& error) {
    if (!file.content) return headFromDisk(file, count, bytes, error);
    bytes = file.content->substr(0, static_cast<std::size_t>(count));
    return true;
  };
  auto subjectOnDisk = view.subjectOf;
  view.subjectOf = [subjectOnDisk, generated](const std::u16string& relative) {
    if (std::find(generated.begin(), generated.end(), relative) != generated.end())
      return Utf16ToUtf8(relative) + " (written from the settings options)";
    return subjectOnDisk(relative);
  };
  return !clashed;
}

std::vector<GeneratedFile> SettingsTemplates(const std::string& executeFileName) {
  const auto IniValue = [](const std::string& utf8) {
    std::u16string text;
    Utf8ToUtf16(utf8, text);
    return Utf16ToUtf8(IniValueText(text));
  };
  std::vector<GeneratedFile> files;
  // UTF-8 with a byte-order mark: what an editor keeps, and what the
  // runner reads for every character.
  const std::string bom = "\xEF\xBB\xBF";
  files.push_back({u"AssistFile.ini", bom +
      "; AssistFile.ini: what the runner starts once the package is extracted.\r\n"
      "; Comments stand on lines of their own: after a value they would be part of it.\r\n"
      "[ParamOption]\r\n"
      "; The file to start: its name (found in any folder of the package) or its\r\n"
      "; path below the extraction folder, such as bin\\setup.exe.\r\n"
      "ExecuteFileName=" + IniValue(executeFileName) + "\r\n"
      "; Arguments passed to it on every run (may stay empty).\r\n"
      "ParamA=\r\n"
      "; Arguments passed after ParamA when the run is silent or the message box\r\n"
      "; was shown (may stay empty).\r\n"
      "ParamB=\r\n"
      "; The caption of the message box.\r\n"
      "ProductName=\r\n"});
  files.push_back({u"MessageSetting.ini", bom +
      "; MessageSetting.ini: whether a message is shown before the start.\r\n"
      "[Setting]\r\n"
      "; 1 shows the message of MessageInfo.xml in a box before the start;\r\n"
      "; 0 starts at once. Silent runs (-s) never show it.\r\n"
      "IsShowMessageBox=0\r\n"
      "; 1: the box has one button and the start follows whatever ends it.\r\n"
      "; 0: the box asks, with OK and Cancel; Cancel starts nothing.\r\n"
      "IsOk=1\r\n"});
  files.push_back({u"MessageInfo.xml",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
      "<!-- MessageInfo.xml: the message of the box, one element per user interface\r\n"
      "     language; users of any other language see the ENG text. -->\r\n"
      "<MessageInfo>\r\n"
      "  <CHS>现在开始安装吗？</CHS>\r\n"
      "  <CHT>現在開始安裝嗎？</CHT>\r\n"
      "  <DEU>Installation jetzt starten?</DEU>\r\n"
      "  <ENG>Start the installation now?</ENG>\r\n"
      "  <ESP>¿Iniciar la instalación ahora?</ESP>\r\n"
      "  <FRA>Démarrer l'installation maintenant ?</FRA>\r\n"
      "  <ITA>Avviare l'installazione ora?</ITA>\r\n"
      "  <JPN>インストールを今すぐ開始しますか?</JPN>\r\n"
      "  <KOR>지금 설치를 시작하시겠습니까?</KOR>\r\n"
      "  <NLD>De installatie nu starten?</NLD>\r\n"
      "  <RUS>Начать установку сейчас?</RUS>\r\n"
      "</MessageInfo>\r\n"});
  return files;
}

}  // namespace nsTobrin
