// The package's settings files written by the packer itself: from the
// settings options of create (into the package only, never into the folder)
// and as commented templates by init.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "findings.h"
#include "package_view.h"

namespace nsTobrin {

struct SettingsOptions {
  std::optional<std::string> run, paramA, paramB, product;  // UTF-8
  enum class Box { None, Notice, Ask } box = Box::None;
  std::vector<std::pair<std::string, std::string>> texts;  // catalogue code, message

  bool WritesAssistFile() const { return run || paramA || paramB || product; }
  bool WritesMessageSetting() const { return box != Box::None; }
  bool WritesMessageInfo() const { return !texts.empty(); }
};

// Checks that every value arrives as given, and adds the --text values
// (LANG=MESSAGE); the reason when one cannot, else an empty text.
std::string CheckSettingsOptions(SettingsOptions& options, const std::vector<std::string>& texts);

struct GeneratedFile {
  std::u16string name;
  std::string bytes;
};

// AssistFile.ini and MessageSetting.ini as UTF-16LE with a byte-order mark
// (every character arrives as it was given), MessageInfo.xml as UTF-8.
std::vector<GeneratedFile> SettingsFilesFor(const SettingsOptions& options);

// Adds the files to the view's root group, in the data area's order, and
// reads them as the view's own. A file of the same name in the folder is an
// error: each setting has one source. False when there was such an error
// (the folder's file is then not the package's, and its settings are not
// judged).
bool AddGeneratedFiles(PackageView& view, std::vector<GeneratedFile> files, Findings& findings);

// The three settings files with a comment on every key, for `init`.
std::vector<GeneratedFile> SettingsTemplates(const std::string& executeFileName);


}  // namespace nsTobrin
