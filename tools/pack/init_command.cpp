// tobrin-pack init: writes commented templates of the three settings files
// into a new or empty folder, ready for the payload beside them.
#include <system_error>

#include "commands.h"
#include "package/package_format.h"
#include "settings_files.h"
#include "text.h"

namespace nsTobrin {

const char kInitHelp[] =
    "Usage: tobrin-pack init DIR [--run FILE]\n"
    "\n"
    "Writes AssistFile.ini, MessageSetting.ini and MessageInfo.xml into DIR (a\n"
    "new or empty folder), every key with a comment that says what it does, and\n"
    "the message in each of the eleven languages. Put the payload beside them and\n"
    "pack DIR with 'tobrin-pack create'.\n"
    "\n"
    "Options:\n"
    "  --run FILE             the file to start (ExecuteFileName); Setup.exe if not\n"
    "                         given\n"
    "  -h, --help             show this text\n";

int RunInit(const InitOptions& options) {
  const std::string& folderArg = options.folder;
  const std::string& run = options.run;
  // The runner's own rule for the file to start, as create applies it.
  const std::u16string runName = Utf8ToUtf16Replacing(run);
  if (const char* why = run.empty() ? "it is empty" : CheckPayloadName(runName))
    return Refuse(run, std::string("cannot be the file to start: ") + why +
                           "; name a file below the folder, as in Setup.exe or bin\\Setup.exe");
  const fs::path folder = PathFromUtf8(folderArg);
  std::error_code code;
  const fs::file_status status = fs::symlink_status(folder, code);
  if (fs::exists(status)) {
    if (!fs::is_directory(status)) return Refuse(folderArg, "exists and is not a folder");
    if (!fs::is_empty(folder, code)) return Refuse(folderArg, "is not empty; init writes into a new or empty folder");
  } else if (!fs::create_directories(folder, code) && code) {
    return Refuse(folderArg, "cannot be created: " + code.message());
  }

  for (const GeneratedFile& file : SettingsTemplates(run)) {
    const fs::path path = folder / NameFromUtf16(file.name);
    // Made new: nothing planted after the emptiness check is written through.
    StdioFile out = CreateNewFile(path);
    if (!out || std::fwrite(file.bytes.data(), 1, file.bytes.size(), out.Get()) != file.bytes.size() ||
        !CloseChecked(out))
      return Refuse(PathToUtf8(path), "cannot be written: " + ErrnoText(errno));
  }
  std::printf("%s: AssistFile.ini, MessageSetting.ini and MessageInfo.xml written; put %s beside them\n",
              folderArg.c_str(), run.c_str());
  return kExitOk;
}

}  // namespace nsTobrin
