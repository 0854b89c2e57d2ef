// The payload's file between its extraction and its start.
#pragma once

#include <windows.h>

#include <string>

#include "common/win_owners.h"
#include "package/package_seal.h"
#include "run/payload_command.h"

namespace nsTobrin {

// Opens the payload's file (the command's payloadLongPath: `executeFileName`
// in the folder of `group`, or in the extraction folder itself when `group`
// is empty) for reading only, sharing it
// with readers only, so that no one can write, rename or delete it until the
// handle is closed; then confirms that its bytes are the bytes the package
// bound to `programPath` holds for it: those of the entry whose path below
// the folder is the file's, names compared as Windows compares them (the
// packer's rule), the last such entry when several are one file on disk.
// For a compressed package, those the extraction wrote into that entry's
// file, as `written` keeps their digest.
// 0 with `held` open: confirmed. 0 with `held` closed: the file is not
// there, so there is nothing to confirm (the start then fails as it would
// have). ERROR_INVALID_DATA: the file is not the package's, or no entry of
// the package is at its path. Otherwise the error of opening or reading it.
DWORD HoldPayloadFile(const std::wstring& programPath, const PayloadCommand& command, const std::wstring& group,
                      const std::wstring& executeFileName, const WrittenFiles& written, KernelHandle& held);

}  // namespace nsTobrin
