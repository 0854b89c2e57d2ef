// tobrin-pack verify: every check of create, on a program that is already
// packed, and where a signature lies.
#include "commands.h"
#include "package_checks.h"
#include "package/package_copy.h"
#include "packed_program.h"
#include "text.h"

namespace nsTobrin {

const char kVerifyHelp[] =
    "Usage: tobrin-pack verify PACKED.exe\n"
    "\n"
    "Checks PACKED.exe as create checks a folder and a runner: a PE program whose\n"
    "package the runner reads, names it accepts and that Windows keeps apart,\n"
    "AssistFile.ini with an ExecuteFileName that names a file of the package, and\n"
    "the message settings. Tells whether an Authenticode signature follows the\n"
    "package (whether the signature itself is valid, 'osslsigncode verify' or\n"
    "'signtool verify' tells), and checks the seal: the digest of the package's\n"
    "directory and data area must match the one recorded when it was packed. A\n"
    "package marked as sealed (bytes 28 to 31 \"TbSe\", as create writes them) must\n"
    "carry its seal, and nothing but a signature may follow it. A compressed\n"
    "package (\"TbZs\", or \"TbAr\" with its addresses rewritten) is decoded whole: each file must come out at exactly its\n"
    "size from a stream that ends where its data area does.\n"
    "\n"
    "Exit status 0 only when the runner would run the program.\n";

namespace {

void CheckPlacement(const PackedProgram& program, Findings& findings) {
  const PeImage& pe = program.pe;
  const PackageLayout& layout = program.layout;
  const std::uint64_t packageEnd = PackageEnd(program);
  if (pe.valid && layout.packageOffset < pe.imageEnd)
    findings.Error(program.subject, "the package starts at byte " + std::to_string(layout.packageOffset) +
                                        ", inside the executable image, which ends at byte " +
                                        std::to_string(pe.imageEnd));
  if (layout.groupRecords != program.directory.size())
    findings.Error(program.subject, "the package holds two groups of one name: the runner keeps the first only");

  // In a marked package every byte is the package's, the seal's or the
  // signature's: anything else is reported as an error, as damage would be.
  const bool marked = layout.mark != PackageMark::Unmarked;
  auto unaccounted = [&](const std::string& text) {
    if (marked) findings.Error(program.subject, text + " (the package is marked as sealed, so it ends with its seal)");
    else findings.Warning(program.subject, text);
  };
  if (pe.valid && pe.HasCertificate()) {
    const std::uint64_t tableEnd = static_cast<std::uint64_t>(pe.certificateOffset) + pe.certificateSize;
    if (tableEnd <= layout.packageOffset)
      findings.Error(program.subject, "the certificate table (at byte " + std::to_string(pe.certificateOffset) +
                                          ") lies before the package: the program was signed before it was "
                                          "packed, so its signature no longer holds; sign after packing");
    else if (pe.certificateOffset < packageEnd)
      findings.Error(program.subject, "the certificate table (bytes " + std::to_string(pe.certificateOffset) +
                                          " to " + std::to_string(tableEnd) + ") and the package (bytes " +
                                          std::to_string(layout.packageOffset) + " to " + std::to_string(packageEnd) +
                                          ") overlap: the package lies inside the signature, or the signature "
                                          "inside the package, and no signature covers it");
    else if (tableEnd > layout.fileSize)
      findings.Error(program.subject, "the certificate table runs past the end of the file");
    else if (pe.certificateOffset - packageEnd >= 8)  // a signer pads to 8 bytes
      unaccounted(std::to_string(pe.certificateOffset - packageEnd) +
                  " bytes lie between the package and the certificate table");
    else if (marked && tableEnd < layout.fileSize)
      unaccounted(std::to_string(layout.fileSize - tableEnd) + " bytes after the certificate table are neither package nor signature");
  } else if (layout.fileSize > packageEnd) {
    unaccounted(std::to_string(layout.fileSize - packageEnd) + " bytes after the package are neither package nor signature");
  }
}

// Takes the decoded bytes and keeps nothing.
class DiscardTarget : public ExtractionTarget {
 public:
  int MakeGroupFolder(const std::u16string&) override { return 0; }
  int BeginFile(const std::u16string&, const std::u16string&) override { return 0; }
  int WriteData(const unsigned char*, std::size_t) override { return 0; }
  int EndFile() override { return 0; }
  void AbandonFile() override {}
};

// A compressed package is decoded whole, as the runner decodes it: every
// file must get exactly its size, and the seal must match the stored bytes.
void CheckCompressed(const PackedProgram& program, Findings& findings) {
  const PackageLayout& layout = program.layout;
  SealDigest digest;
  DiscardTarget target;
  CopyResult copied;
  copied.outcome = CopyOutcome::ReadFailed;
  if (ObserveRange(program.file.Get(), layout.packageOffset, layout.dataOffset, digest) &&
      SeekTo(program.file.Get(), layout.dataOffset))
    copied = CopyPackageData(program.file.Get(), layout, program.directory, target, &digest);
  if (copied.outcome == CopyOutcome::ReadFailed)
    findings.Error(program.subject, "the package cannot be read to check its seal");
  else if (digest.Result() != program.seal.digest)
    findings.Error(program.subject, "the seal does not match: the package was damaged after it was packed (sealed " +
                                        DigestHex(program.seal.digest) + ", found " + DigestHex(digest.Result()) + ")");
  else if (copied.outcome == CopyOutcome::Malformed)
    findings.Error(program.subject, std::string("the package is damaged: ") + copied.reason);
  else if (copied.outcome == CopyOutcome::NoMemory)
    findings.Error(program.subject, std::string("the package cannot be decoded here: ") + copied.reason);
}

void CheckSeal(const PackedProgram& program, Findings& findings) {
  if (!program.seal.present) return;
  if (IsCompressed(program.layout.mark)) return CheckCompressed(program, findings);
  SealDigestBytes digest;
  if (!DigestPackage(program, digest))
    findings.Error(program.subject, "the package cannot be read to check its seal");
  else if (digest != program.seal.digest)
    findings.Error(program.subject, "the seal does not match: the package was damaged after it was packed (sealed " +
                                        DigestHex(program.seal.digest) + ", found " + DigestHex(digest) + ")");
}

}  // namespace

int RunVerify(const VerifyOptions& options) {
  const std::string& packed = options.packed;
  PackedProgram program;
  std::string error;
  if (!OpenPackedProgram(PathFromUtf8(packed), program, error)) return Refuse(packed, error);

  Findings findings;
  if (!program.pe.valid) findings.Error(packed, "is not a PE program: " + program.pe.reason);
  PackageSettings settings;
  if (program.layout.status == PackageStatus::NoPackage) {
    findings.Error(packed, "carries no package (" + program.layout.reason + ")");
  } else if (program.layout.status == PackageStatus::Damaged) {
    findings.Error(packed, "the package is damaged: " + program.layout.reason);
  } else {
    CheckPlacement(program, findings);
    CheckSeal(program, findings);
    CheckNames(program.view, findings);
    settings = ReadSettings(program.view, findings);
  }
  findings.Print(stderr);

  if (program.pe.valid && program.pe.HasCertificate())
    std::printf("%s: signed: an Authenticode certificate table of %u bytes follows the package at byte %u "
                "(its validity is for osslsigncode verify or signtool verify to tell)\n",
                Printable(packed).c_str(), program.pe.certificateSize, program.pe.certificateOffset);
  else if (program.pe.valid)
    std::printf("%s: not signed\n", Printable(packed).c_str());
  if (program.layout.status == PackageStatus::Ok)
    std::printf("%s: %s\n", Printable(packed).c_str(),
                program.seal.present ? ("sealed: XXH3-128 " + DigestHex(program.seal.digest)).c_str()
                                     : "not sealed: damage to the package would go unnoticed");

  if (findings.HasErrors()) {
    std::printf("%s: the runner would not run it: %zu error(s)\n", Printable(packed).c_str(), findings.ErrorCount());
    return kExitRefused;
  }
  std::printf("%s: the runner would run it: %llu file(s) in %zu group(s), starting %s\n", Printable(packed).c_str(),
              static_cast<unsigned long long>(program.view.FileCount()), program.view.groups.size(),
              Printable(Utf16ToUtf8(RelativePath(*settings.payloadGroup, *settings.payloadFile))).c_str());
  return kExitOk;
}

}  // namespace nsTobrin
