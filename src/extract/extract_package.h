// Extraction of the bound package into a fresh folder under %TEMP% (or the
// extraction root set by policy).
#pragma once

#include <windows.h>

#include <string>

#include "package/package_format.h"

class CTobrinDlg;

namespace nsTobrin {

// The package directory of this process: filled once by the extraction, read
// by the payload run to find the payload's group.
extern PackageDirectory g_packageDirectory;

// Extracts the package bound to the running program. With `reportProgress`
// the dialog's bar moves one step per file while below 900 and ends at
// 1000. Sets m_strExtractFolder once the folder exists and m_bExtracted when
// every file is written; when it fails, m_nExitCode is the run's error (the
// one place an extraction writes it). True on success.
bool ExtractPackage(CTobrinDlg& dlg, bool reportProgress);

// The same for the package bound to the file at `programPath`.
bool ExtractPackageFrom(const std::wstring& programPath, CTobrinDlg& dlg, bool reportProgress);

// The extraction folder is made below the policy's ExtractionRoot when it
// names an existing folder by an absolute path in which a folder can be made,
// else below "%TEMP%" expanded: a backslash, a new GUID in braces, a
// backslash. Forward slashes and the "\\?\" form are taken, the path is
// normalised once (its full form) for the check and the creation alike, and
// a long folder is used in its short form. ERROR_ENVVAR_NOT_FOUND or
// ERROR_BAD_PATHNAME when TEMP is missing or not an absolute path.

}  // namespace nsTobrin
