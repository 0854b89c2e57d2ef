// tobrin-pack create: checks a folder and a runner, then writes the runner
// with the folder's package bound to it.
#include <cerrno>
#include <memory>
#include <system_error>

#include "commands.h"
#include "findings.h"
#include "package/package_copy.h"
#include "package/package_writer.h"
#include "package_checks.h"
#include "progress.h"
#include "settings_files.h"
#include "source_tree.h"
#include "stub.h"
#include "text.h"

namespace nsTobrin {

const char kCreateHelp[] =
    "Usage: tobrin-pack create -o OUT.exe [--stub RUNNER.exe] [--store | --level N | --no-seal]\n"
    "                          [SETTINGS] DIR\n"
    "\n"
    "Packs the folder DIR into OUT.exe, a copy of the runner with the package\n"
    "bound behind its image. The files directly in DIR are extracted into the\n"
    "extraction folder itself; every folder below DIR, empty ones too, becomes a\n"
    "subfolder of it.\n"
    "\n"
    "The package needs AssistFile.ini, whose [ParamOption] ExecuteFileName names\n"
    "the file to start: in DIR, or written from --run and the other settings\n"
    "options below. MessageSetting.ini and MessageInfo.xml are optional.\n"
    "\n"
    "Options:\n"
    "  -o, --output OUT.exe   the packed program to write (replaced if it exists)\n"
    "  --stub RUNNER.exe      the runner to bind to; by default tobrin.exe beside\n"
    "                         the packer, the installed 32-bit runner\n"
    "                         (../lib/tobrin/tobrin.exe) or that of the build tree\n"
    "                         (../i686/tobrin.exe)\n"
    "  --store                store the files as they are (by default they are\n"
    "                         compressed together, sealed, into one zstd stream)\n"
    "  --level N              the compression level, 1 (fastest) to 22 (smallest);\n"
    "                         19 by default\n"
    "  --no-seal              store the files as they are and write no seal after\n"
    "                         the package (by default the package is sealed: the\n"
    "                         runner then refuses to start a package that was\n"
    "                         damaged after it was packed)\n"
    "  -h, --help             show this text\n"
    "\n"
"Settings (written into the package only, never into DIR; DIR must then not\n"
    "hold the file they write):\n"
    "  --run FILE             AssistFile.ini ExecuteFileName: the file to start\n"
    "  --param-a TEXT         AssistFile.ini ParamA: arguments always passed\n"
    "  --param-b TEXT         AssistFile.ini ParamB: arguments passed when the run\n"
    "                         is silent or the message box was shown\n"
    "  --product NAME         AssistFile.ini ProductName: the message box's caption\n"
    "  --notice               MessageSetting.ini: a message with one button before\n"
    "                         the start (IsShowMessageBox=1, IsOk=1)\n"
    "  --ask                  MessageSetting.ini: a question with OK and Cancel;\n"
    "                         Cancel starts nothing (IsShowMessageBox=1, IsOk=0)\n"
    "  --text LANG=MESSAGE    MessageInfo.xml: the message in one language, LANG one\n"
    "                         of CHS CHT DEU ENG ESP FRA ITA JPN KOR NLD RUS\n"
    "                         (repeatable)\n"
    "\n"
    "Nothing is written when anything is refused: a runner that is no PE program,\n"
    "already carries a package or is signed (sign after packing), a file of 2 GiB\n"
    "or more, a name the runner would refuse, two names that Windows takes for one\n"
    "file, no AssistFile.ini, or an ExecuteFileName that names no file of DIR.\n"
    "Warnings (exit status 0): a message box asked for without MessageInfo.xml, a\n"
    "MessageInfo.xml that is not well-formed, and similar. A note tells when the\n"
    "runner does not declare that it checks seals (a runner older than sealed\n"
    "packages): it runs the sealed package, but unchecked. A runner that does not\n"
    "declare CompressedPackages is never given a compressed package: the files\n"
    "are stored, with a note. Files that do not get smaller compressed are stored\n"
    "too, so a package never grows by compression.\n";

namespace {

// Which file a failed write is about, and why.
struct WriteFailure {
  std::string subject, reason;
  bool Set(std::string failedSubject, std::string why) {
    subject = std::move(failedSubject);
    reason = std::move(why);
    return false;
  }
};

// True when `inner` is `outer` or lies below it.
bool IsWithin(const fs::path& inner, const fs::path& outer) {
  std::error_code error;
  const fs::path a = fs::weakly_canonical(inner, error);
  const fs::path b = fs::weakly_canonical(outer, error);
  if (error) return false;
  auto i = a.begin();
  for (auto j = b.begin(); j != b.end(); ++j, ++i) {
    if (j->empty()) continue;  // a trailing separator
    if (i == a.end() || *i != *j) return false;
  }
  return true;
}

// Copies the `size` bytes a file had when it was examined, in pieces; a file
// that has changed size since fails the copy.
bool CopyBytes(const fs::path& source, Links links, std::uint64_t size, ByteSink& out, const std::string& output,
               ProgressBar& progress, WriteFailure& failure) {
  const std::string subject = PathToUtf8(source);
  std::string why;
  StdioFile in = OpenRegularFile(source, links, why);
  if (!in) return failure.Set(subject, why);
  std::unique_ptr<char[]> buffer(new char[kCopyPieceSize]);
  for (std::uint64_t left = size; left > 0;) {
    const std::size_t piece = left < kCopyPieceSize ? static_cast<std::size_t>(left) : kCopyPieceSize;
    if (std::fread(buffer.get(), 1, piece, in.Get()) != piece)
      return failure.Set(subject, std::ferror(in.Get()) ? "cannot be read: " + ErrnoText(errno)
                                                         : "became shorter while it was packed");
    if (!out.Write(buffer.get(), piece)) return failure.Set(output, "cannot be written: " + ErrnoText(errno));
    progress.Advance(piece);
    left -= piece;
  }
  if (std::fgetc(in.Get()) != EOF) return failure.Set(subject, "became longer while it was packed");
  return true;
}

// The writer's groups, each file streamed from disk in pieces when its turn
// in the data area comes. A file that changed size since the scan fails the
// write, with the reason in `failure`.
std::vector<WriterGroup> WriterGroups(const PackageView& view, const std::string& output, ProgressBar& progress,
                                      WriteFailure& failure) {
  std::vector<WriterGroup> groups;
  for (const ViewGroup& group : view.groups) {
    WriterGroup writerGroup;
    writerGroup.name = group.name;
    for (const ViewFile& file : group.files) {
      WriterFile writerFile;
      writerFile.name = file.name;
      writerFile.size = static_cast<std::uint32_t>(file.size);
      if (file.content) {
        const std::shared_ptr<const std::string> content = file.content;
        writerFile.writeContent = [content, output, &progress, &failure](ByteSink& out) {
          if (!out.Write(content->data(), content->size()))
            return failure.Set(output, "cannot be written: " + ErrnoText(errno));
          progress.Advance(content->size());
          return true;
        };
        writerGroup.files.push_back(std::move(writerFile));
        continue;
      }
      const fs::path source = file.source;
      const std::uint64_t size = file.size;
      writerFile.writeContent = [source, size, output, &progress, &failure](ByteSink& out) {
        return CopyBytes(source, Links::kDoNotFollowLinks, size, out, output, progress, failure);
      };
      writerGroup.files.push_back(std::move(writerFile));
    }
    groups.push_back(std::move(writerGroup));
  }
  return groups;
}

}  // namespace

int RunCreate(const CreateOptions& options) {
  const fs::path output = PathFromUtf8(options.output);
  const fs::path folder = PathFromUtf8(options.folder);
  fs::path stub;
  if (!options.stub.empty()) {
    stub = PathFromUtf8(options.stub);
  } else {
    std::string searched;
    const auto found = FindDefaultStub(searched);
    if (!found) return Refuse("tobrin.exe", "no runner to bind the package to (looked at " + searched + "); name one with --stub");
    stub = *found;
  }

  Findings findings;
  const PeImage image = CheckStub(stub, findings);
  PackageView view = ScanSourceFolder(folder, findings);
  // A settings file both in the folder and from the options is one error:
  // which of the two the package holds is not decided, so neither is judged.
  const bool oneSource = AddGeneratedFiles(view, SettingsFilesFor(options.settings), findings);
  const bool scanned = !view.groups.empty();
  if (scanned) {
    CheckNames(view, findings);
    if (oneSource) ReadSettings(view, findings);
  }
  std::error_code error;
  if (fs::is_directory(output, error)) findings.Error(options.output, "is a folder");
  if (scanned && IsWithin(output, folder))
    findings.Error(options.output, "lies inside the folder being packed");
  if (fs::exists(output, error) && fs::equivalent(output, stub, error))
    findings.Error(options.output, "is the runner itself; write the packed program to another file");
  findings.Print(stderr);
  if (findings.HasErrors()) {
    std::fprintf(stderr, "tobrin-pack: nothing written: %zu error(s)\n", findings.ErrorCount());
    return kExitRefused;
  }

  // Compressed unless told otherwise, and only for a runner that decodes it.
  bool compress = !options.store && !options.noSeal;
  const bool runnerDecodes = !image.valid || DeclaresCompression(stub);
  if (compress && !runnerDecodes) compress = false;
  // The address rewrite only for a runner that undoes it; others get the plain stream.
  const bool rewriteAddresses = !image.valid || DeclaresAddressRewrite(stub);

  PendingFile pending(output);
  if (!pending.IsOpen()) return Refuse(options.output, "cannot be created: " + ErrnoText(errno));
  WriteFailure failure;
  bool compressed = false;
  {
    ProgressBar progress("packing", image.fileSize + view.DataSize());
    FileSink stubSink(pending.Get());
    if (!CopyBytes(stub, Links::kFollow, image.fileSize, stubSink, options.output, progress, failure)) return Refuse(failure.subject, failure.reason);
    const std::vector<WriterGroup> groups = WriterGroups(view, options.output, progress, failure);
    const bool written =
        compress ? AppendCompressedPackage(pending.Get(), groups, options.level ? options.level : kDefaultCompressionLevel,
                                           &compressed, rewriteAddresses)
                 : AppendPackage(pending.Get(), groups, !options.noSeal ? PackageSealing::Sealed : PackageSealing::Unsealed);
    if (!written) {
      if (failure.reason.empty()) failure.Set(options.output, "cannot be written: " + ErrnoText(errno));
      return Refuse(failure.subject, failure.reason);
    }
  }
  pending.TakePermissionsOf(stub);  // executable where the runner is
  std::string commitError;
  if (!pending.Commit(commitError)) return Refuse(options.output, "cannot be written: " + commitError);

  std::printf("%s: %llu file(s) in %zu group(s), %llu bytes of data; the package starts at byte %llu\n",
              options.output.c_str(), static_cast<unsigned long long>(view.FileCount()), view.groups.size(),
              static_cast<unsigned long long>(view.DataSize()), static_cast<unsigned long long>(image.fileSize));
  if (compressed) {
    std::error_code sizeError;
    const std::uint64_t packedSize = fs::file_size(output, sizeError);
    const std::uint64_t packageSize = packedSize > image.fileSize ? packedSize - image.fileSize : 0;
    std::printf("%s: compressed: the package takes %llu bytes (%.1f%% of its files)\n", options.output.c_str(),
                static_cast<unsigned long long>(packageSize),
                view.DataSize() ? 100.0 * static_cast<double>(packageSize) / static_cast<double>(view.DataSize()) : 0.0);
  } else if (compress) {
    std::printf("note: the files do not get smaller compressed, so they are stored as they are\n");
  }
  if (!options.store && !options.noSeal && !runnerDecodes)
    std::printf("note: %s does not declare CompressedPackages (a runner older than compressed packages), so the "
                "files are stored as they are, as with --store; bind to a current runner to compress them\n",
                PathToUtf8(stub).c_str());
  if (!options.noSeal && image.valid && !DeclaresSealChecks(stub))
    std::printf("note: %s does not declare that it checks seals, so it runs the package without checking it; "
                "bind to a current runner to have damage refused\n",
                PathToUtf8(stub).c_str());
  return kExitOk;
}

}  // namespace nsTobrin
