// tobrin-pack extract: writes a packed program's files as the runner would,
// and runs nothing.
#include <system_error>

#include "commands.h"
#include "folder_target.h"
#include "packed_program.h"

namespace tobrin::pack {

const char kExtractHelp[] =
    "Usage: tobrin-pack extract PACKED.exe DIR\n"
    "\n"
    "Writes the files of the package bound to PACKED.exe into DIR as the runner\n"
    "writes them into its extraction folder: the root group's files into DIR\n"
    "itself, every other group into its subfolder. Nothing is run. DIR must be\n"
    "new or empty; a name that would leave DIR is refused.\n";

int RunExtract(const ExtractOptions& options) {
  const std::string& packed = options.packed;
  const std::string& target = options.folder;
  PackedProgram program;
  if (int refused = OpenReadablePackage(packed, program)) return refused;

  const fs::path folder = PathFromUtf8(target);
  std::error_code code;
  const fs::file_status status = LinkStatus(folder, code);
  if (fs::is_symlink(status))
    return Refuse(target, fs::is_directory(fs::status(folder, code))
                              ? "is a symbolic link to a folder, which is not followed; name the folder itself"
                              : "is a symbolic link, which is not followed");
  if (fs::exists(status)) {
    if (!fs::is_directory(status)) return Refuse(target, "exists and is not a folder");
    if (!fs::is_empty(folder, code)) return Refuse(target, "is not empty; extract into a new or empty folder");
  } else if (!fs::create_directories(folder, code) && code) {
    return Refuse(target, "cannot be created: " + code.message());
  }
  OpenFolder root;
  if (int error = root.Open(folder)) return Refuse(target, "cannot be opened: " + ErrnoText(error));

  CopyResult result;
  std::uint64_t written = 0;
  {
    ProgressBar progress("extracting", program.layout.dataSize);
    FolderTarget writer(folder, std::move(root), &progress);
    if (!SeekTo(program.file.get(), program.layout.dataOffset)) return Refuse(packed, "the data area cannot be reached");
    result = CopyPackageFiles(program.file.get(), program.directory, writer);
    if (result.outcome == CopyOutcome::WriteFailed) return Refuse(writer.FailedPath(), writer.FailureReason());
    written = writer.FilesWritten();
  }
  if (result.outcome != CopyOutcome::Done) return Refuse(packed, "the data area cannot be read");
  std::printf("%s: %llu file(s) in %zu group(s) written\n", target.c_str(), static_cast<unsigned long long>(written),
              program.directory.size());
  return kExitOk;
}

}  // namespace tobrin::pack
