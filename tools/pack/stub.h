// The runner a package is bound to (the stub): where the packer finds it
// when none is named, and what it must be.
#pragma once

#include <optional>
#include <string>

#include "findings.h"
#include "native_files.h"
#include "pe_image.h"

namespace nsTobrin {

// The runner shipped with the packer: tobrin.exe beside it (the Windows
// archive), in ../lib/tobrin/ (installed: /usr/bin/tobrin-pack and
// /usr/lib/tobrin/tobrin.exe), or, in the build layout
// (build/host/tobrin-pack), the 32-bit runner in ../i686/.
// `searched` tells where it looked.
std::optional<fs::path> FindDefaultStub(std::string& searched);

// Checks that a stub can carry a package: a PE program, without a package
// and without a certificate table, that ends below 2 GiB. Adds an error for
// each refusal and returns what it read.
PeImage CheckStub(const fs::path& stub, Findings& findings);

// True when the runner's version resource holds the value "SealedPackages":
// runners that check seals declare it; older ones run a sealed package
// without checking it.
bool DeclaresSealChecks(const fs::path& stub);

// True when the runner's version resource holds "CompressedPackages": it
// decodes the compressed layout. An older runner would take such a package
// for damaged, so it is never given one.
bool DeclaresCompression(const fs::path& stub);

// True when the runner's version resource holds "AddressRewrittenPackages":
// it undoes the address rewrite of a package marked "TbAr"; a runner that
// decodes without it gets compressed packages without the rewrite ("TbZs").
bool DeclaresAddressRewrite(const fs::path& stub);

}  // namespace nsTobrin
