// tobrin-pack init: writes commented templates of the three settings files
// into a new or empty folder, ready for the payload beside them.
#include <system_error>

#include "commands.h"
#include "settings_files.h"
#include "text.h"

namespace tobrin::pack {

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

int RunInit(const Arguments& args) {
  std::string folderArg, run = "Setup.exe";
  bool runGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (IsHelpOption(arg)) {
      std::fputs(kInitHelp, stdout);
      return kExitOk;
    }
    if (arg == "--run") {
      // The value is checked as create checks it: it must read back as given.
      SettingsOptions options;
      std::string error;
      TakeSettingsOption(args, i, options, error);
      if (!error.empty()) return UsageError("init", error);
      if (runGiven) return UsageError("init", "'--run' is given twice");
      run = *options.run;
      runGiven = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError("init", "unknown option '" + arg + "'");
    } else if (folderArg.empty()) {
      folderArg = arg;
    } else {
      return UsageError("init", "only one folder can be made, but '" + arg + "' is a second");
    }
  }
  if (folderArg.empty()) return UsageError("init", "name the folder to write the settings files into");
  if (run.front() == ' ' || run.back() == ' ' || run.front() == '"' || run.front() == '\'')
    return UsageError("init", "'--run' takes a file name without blanks or quotes around it");

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
    FilePtr out = OpenFile(path, "wb");
    if (!out || std::fwrite(file.bytes.data(), 1, file.bytes.size(), out.get()) != file.bytes.size() ||
        std::fclose(out.release()) != 0)
      return Refuse(PathToUtf8(path), "cannot be written: " + ErrnoText(errno));
  }
  std::printf("%s: AssistFile.ini, MessageSetting.ini and MessageInfo.xml written; put %s beside them\n",
              folderArg.c_str(), run.c_str());
  return kExitOk;
}

}  // namespace tobrin::pack
