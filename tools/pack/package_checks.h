// The checks that decide whether the runner would run a package, shared by
// create (on a folder) and verify (on a packed program), and the settings as
// the runner reads them, which list shows.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "findings.h"
#include "ini_file.h"
#include "package_view.h"
#include "xml_check.h"

namespace nsTobrin {

// The catalogue's error when its bytes could not be read (too large, cut short).
extern const char kUnreadable[];

struct PackageSettings {
  bool assistFileFound = false;
  std::optional<IniValue> executeFileName, paramA, paramB, productName;

  bool messageSettingFound = false;
  bool showMessageBox = false;  // IsShowMessageBox is "1"
  bool oneButton = false;       // and IsOk is "1" or absent

  bool messageInfoFound = false;
  XmlFacts messageInfo;                // when found; error kUnreadable when it could not be read
  std::vector<std::string> languages;  // codes present below a MessageInfo root

  // The file the runner starts, when the package holds it.
  const ViewGroup* payloadGroup = nullptr;
  const ViewFile* payloadFile = nullptr;
};

// Reads AssistFile.ini, MessageSetting.ini and MessageInfo.xml from the
// root group and adds what is wrong with them to `findings`.
PackageSettings ReadSettings(const PackageView& view, Findings& findings);

// Names the runner refuses, and names that Windows takes for one file or
// for a file where a folder must go.
void CheckNames(const PackageView& view, Findings& findings);

// The file "ExecuteFileName" starts, found by the runner's rule
// (contract/payload_lookup.h) with names compared as Windows compares them.
struct PayloadLocation {
  const ViewGroup* group = nullptr;
  const ViewFile* file = nullptr;
};
PayloadLocation FindPayload(const PackageView& view, const std::u16string& executeFileName);

}  // namespace nsTobrin
