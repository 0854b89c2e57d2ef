#include "stub.h"

#include <cerrno>
#include <system_error>
#include <vector>

#include "package/package_format.h"

namespace nsTobrin {

std::optional<fs::path> FindDefaultStub(std::string& searched) {
  const auto self = OwnExecutablePath();
  if (!self) {
    searched = "(the packer cannot tell where it lies)";
    return std::nullopt;
  }
  const fs::path folder = self->parent_path();
  const std::vector<fs::path> candidates = {folder / "tobrin.exe", folder.parent_path() / "lib" / "tobrin" / "tobrin.exe",
                                            folder.parent_path() / "i686" / "tobrin.exe"};
  searched.clear();
  for (const fs::path& candidate : candidates) {
    if (!searched.empty()) searched += ", ";
    searched += PathToUtf8(candidate);
    std::error_code error;
    if (fs::is_regular_file(candidate, error)) return candidate;
  }
  return std::nullopt;
}

PeImage CheckStub(const fs::path& stub, Findings& findings) {
  const std::string subject = PathToUtf8(stub);
  PeImage image;
  std::error_code error;
  if (!fs::is_regular_file(stub, error)) {
    findings.Error(subject, error ? "cannot be examined: " + error.message() : "is not a file");
    return image;
  }
  std::string why;
  StdioFile file = OpenRegularFile(stub, Links::kFollow, why);
  if (!file) {
    findings.Error(subject, why);
    return image;
  }
  image = ReadPeImage(file.Get());
  if (!image.valid) {
    findings.Error(subject, "is not a PE program to bind a package to: " + image.reason);
    return image;
  }
  if (image.packageField != 0) {
    PackageDirectory directory;
    const PackageLayout layout = ReadPackageDirectory(file.Get(), directory);
    findings.Error(subject, layout.status == PackageStatus::Ok
                                ? "already carries a package (at offset " + std::to_string(layout.packageOffset) +
                                      "); use the bare runner as the stub"
                                : "bytes 32 to 35 are not zero, so it already carries a package or a damaged one; "
                                  "use the bare runner as the stub");
  }
  if (image.HasCertificate())
    findings.Error(subject,
                   "is signed (it has a certificate table); packing would break the signature. Pack the unsigned "
                   "runner, then sign the packed program");
  if (image.fileSize > kMaxPackageOffset)
    findings.Error(subject, "is " + std::to_string(image.fileSize) +
                                " bytes long: the package would start at or beyond 2 GiB, where the runner cannot "
                                "reach it");
  return image;
}

namespace {

// True when the runner's bytes hold `value` as a UTF-16LE string with its
// NUL, as a version resource stores its keys.
bool DeclaresValue(const fs::path& stub, const char* value) {
  std::string key;
  for (const char* c = value;; ++c) {
    key += {*c, '\0'};
    if (!*c) break;
  }
  StdioFile file = OpenFile(stub, "rb");
  if (!file) return false;
  std::string bytes, piece(1 << 16, '\0');
  std::size_t got;
  while ((got = std::fread(&piece[0], 1, piece.size(), file.Get())) > 0) bytes.append(piece, 0, got);
  return bytes.find(key) != std::string::npos;
}

}  // namespace

bool DeclaresSealChecks(const fs::path& stub) { return DeclaresValue(stub, "SealedPackages"); }

bool DeclaresCompression(const fs::path& stub) { return DeclaresValue(stub, "CompressedPackages"); }

bool DeclaresAddressRewrite(const fs::path& stub) { return DeclaresValue(stub, "AddressRewrittenPackages"); }

}  // namespace nsTobrin
