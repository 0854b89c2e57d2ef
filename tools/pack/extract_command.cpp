// tobrin-pack extract: writes a packed program's files as the runner would,
// and runs nothing.
#include <system_error>

#include "commands.h"
#include "folder_target.h"
#include "packed_program.h"

namespace nsTobrin {

const char kExtractHelp[] =
    "Usage: tobrin-pack extract PACKED.exe DIR\n"
    "\n"
    "Writes the files of the package bound to PACKED.exe into DIR as the runner\n"
    "writes them into its extraction folder: the root group's files into DIR\n"
    "itself, every other group into its subfolder. Nothing is run. DIR must be\n"
    "new or empty; a name that would leave DIR is refused. A sealed package is\n"
    "checked while it is written: when its digest does not match, what was\n"
    "written is removed again and the exit status is 1. A compressed package is\n"
    "decoded as it is written; a stream that does not decode into exactly the\n"
    "files' sizes is damage, handled the same way.\n";

namespace {

// Removes what an extraction wrote into `folder`, which was new or empty,
// and the folder too when the extraction made it.
void RemoveWritten(const fs::path& folder, bool made) {
  RemoveBelow(folder);
  if (made) RemoveEntry(folder);
}

}  // namespace

int RunExtract(const ExtractOptions& options) {
  const std::string& packed = options.packed;
  const std::string& target = options.folder;
  PackedProgram program;
  if (int refused = OpenReadablePackage(packed, program)) return refused;

  const fs::path folder = PathFromUtf8(target);
#ifdef _WIN32
  // Windows drops a blank or dot at the end of a name in a plain path, but
  // not in the "\\?\" form every file call here takes: such a folder would
  // be made under one name and opened under the other.
  for (const fs::path& part : folder.relative_path()) {
    const std::wstring name = part.native();
    if (!name.empty() && name != L"." && name != L".." && (name.back() == L' ' || name.back() == L'.'))
      return Refuse(target, "names a folder that ends with a blank or a dot, which Windows does not keep; "
                            "name it without");
  }
#endif
  std::error_code code;
  const fs::file_status status = LinkStatus(folder, code);
  if (fs::is_symlink(status))
    return Refuse(target, fs::is_directory(fs::status(folder, code))
                              ? "is a symbolic link to a folder, which is not followed; name the folder itself"
                              : "is a symbolic link, which is not followed");
  const bool made = !fs::exists(status);
  if (fs::exists(status)) {
    if (!fs::is_directory(status)) return Refuse(target, "exists and is not a folder");
    std::vector<FolderEntry> entries;
    if (!ReadFolderEntries(folder, entries, code)) return Refuse(target, "cannot be read: " + code.message());
    if (!entries.empty()) return Refuse(target, "is not empty; extract into a new or empty folder");
  } else if (!fs::create_directories(folder, code) && code) {
    return Refuse(target, "cannot be created: " + code.message());
  }
  OpenFolder root;
  if (int error = root.Open(folder)) return Refuse(target, "cannot be opened: " + ErrnoText(error));

  CopyResult result;
  std::uint64_t written = 0;
  bool mismatch = false;
  {
    ProgressBar progress("extracting", program.layout.dataSize);
    FolderTarget writer(folder, std::move(root), &progress);
    // The directory goes into the digest first, then the data as it is copied.
    SealDigest digest;
    const PackageLayout& layout = program.layout;
    if (program.seal.present && !ObserveRange(program.file.Get(), layout.packageOffset, layout.dataOffset, digest))
      return Refuse(packed, "the package directory cannot be read");
    if (!SeekTo(program.file.Get(), layout.dataOffset)) return Refuse(packed, "the data area cannot be reached");
    result = CopyPackageData(program.file.Get(), layout, program.directory, writer,
                             program.seal.present ? &digest : nullptr);
    if (result.outcome == CopyOutcome::WriteFailed) return Refuse(writer.FailedPath(), writer.FailureReason());
    written = writer.FilesWritten();
    mismatch = (result.outcome == CopyOutcome::Done || result.outcome == CopyOutcome::Malformed ||
                result.outcome == CopyOutcome::NoMemory) &&
               program.seal.present && digest.Result() != program.seal.digest;
  }
  // The folder is closed now, so that it can be removed on every platform.
  if (mismatch) {
    RemoveWritten(folder, made);
    return Refuse(packed, "the seal does not match: the package was damaged after it was packed; nothing is kept");
  }
  if (result.outcome == CopyOutcome::Malformed || result.outcome == CopyOutcome::NoMemory) {
    RemoveWritten(folder, made);
    return Refuse(packed, std::string(result.outcome == CopyOutcome::Malformed ? "the package is damaged: "
                                                                               : "the package cannot be decoded here: ") +
                              result.reason + "; nothing is kept");
  }
  if (result.outcome != CopyOutcome::Done) return Refuse(packed, "the data area cannot be read");
  std::printf("%s: %llu file(s) in %zu group(s) written\n", target.c_str(), static_cast<unsigned long long>(written),
              program.directory.size());
  return kExitOk;
}

}  // namespace nsTobrin
