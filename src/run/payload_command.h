// The command that starts the payload, and its working directory.
#pragma once

#include <string>

#include "extract/extract_folder.h"
#include "package/package_format.h"

namespace nsTobrin {

struct PayloadCommand {
  std::wstring commandLine;
  std::wstring workingDirectory;  // the payload's own folder
  std::wstring payloadPath;       // the payload's file, unquoted
  // The same in the "\\?\" form (empty when it cannot be made): where the
  // file is held, and how it is named to CreateProcessW when it is long.
  std::wstring payloadLongPath;
};

// The group whose folder the payload is started in (contract/payload_lookup.h):
// that of the entry named `fileName` exactly, the first in directory order;
// empty when that entry lies in the root group, or when no entry has that
// name and `fileName` is started as a path below the extraction folder.
std::wstring FindPayloadGroup(const PackageDirectory& directory, const std::wstring& fileName);

// The folder's FilePath of the group and the file name, in double quotes
// when it holds a blank or a tab; then " " + ParamA when not empty, " " +
// ParamB when `appendParamB`, " " + the program's own arguments when not
// empty.
PayloadCommand BuildPayloadCommand(const ExtractFolder& extractFolder, const std::wstring& group,
                                   const std::wstring& executeFileName, const std::wstring& paramA,
                                   bool appendParamB, const std::wstring& paramB, const std::wstring& commandLine);

}  // namespace nsTobrin
