#include "run/payload_command.h"

#include "common/windows_names.h"
#include "contract/payload_lookup.h"
#include "extract/long_path.h"

namespace nsTobrin {

std::wstring FindPayloadGroup(const PackageDirectory& directory, const std::wstring& fileName) {
  const std::u16string wanted(fileName.begin(), fileName.end());
  PayloadLookup lookup(wanted, SameNameOnWindows);
  for (const auto& group : directory)
    for (const PackageEntry& entry : group.second) lookup.Offer(GroupFolder(group.first), entry.name, 0);
  // A path below the folder is started as the command names it.
  if (lookup.Match() != PayloadMatch::EntryName) return std::wstring();
  return std::wstring(lookup.Folder().begin(), lookup.Folder().end());
}

PayloadCommand BuildPayloadCommand(const ExtractFolder& extractFolder, const std::wstring& group,
                                   const std::wstring& executeFileName, const std::wstring& paramA,
                                   bool appendParamB, const std::wstring& paramB, const std::wstring& commandLine) {
  PayloadCommand command;
  const std::wstring path = extractFolder.FilePath(group, executeFileName);
  command.payloadPath = path;
  command.payloadLongPath = ToLongPath(path);
  command.workingDirectory = path.substr(0, path.find_last_of(L'\\'));
  // Unquoted, a path with a blank would let the system start a program named
  // by the text before the blank.
  if (path.find_first_of(L" \t") != std::wstring::npos)
    command.commandLine = L"\"" + path + L"\"";
  else
    command.commandLine = path;
  if (!paramA.empty()) command.commandLine += L" " + paramA;
  if (appendParamB) command.commandLine += L" " + paramB;
  if (!commandLine.empty()) command.commandLine += L" " + commandLine;
  return command;
}

}  // namespace nsTobrin
