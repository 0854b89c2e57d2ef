// Helpers of the packer's host tests: temporary folders, files, a small
// PE program to bind packages to, and runs of the real tobrin-pack.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "contract/little_endian.h"

namespace pack_test {

namespace fs = std::filesystem;

// A new folder under the system's temporary folder, removed at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& Path() const { return m_path; }
  fs::path operator/(const std::string& name) const { return m_path / name; }

 private:
  fs::path m_path;
};

void WriteFile(const fs::path& path, const std::string& bytes);  // makes the folders too
// Relative paths ('/' between folders) and their bytes; a path that ends in
// '/' is an empty folder.
using TreeEntries = std::vector<std::pair<std::string, std::string>>;
void WriteTree(const fs::path& folder, const TreeEntries& entries);
std::string ReadFile(const fs::path& path);

struct PeOptions {
  bool certificate = false;     // a certificate table entry
  bool dll = false;
  std::uint32_t packageField = 0;  // bytes 32 to 35
};
// A small PE32 program: headers and one section, 1024 bytes.
std::string MakePe(const PeOptions& options = PeOptions());

struct RunResult {
  int exitCode = -1;
  std::string out, err;
};
// Runs the packer (or `program`) with the arguments, capturing its output.
RunResult RunPack(const std::vector<std::string>& args);
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args);

// A folder that create accepts: AssistFile.ini naming setup.exe, and setup.exe.
void WriteMinimalPackage(const fs::path& folder);

// A runner and a folder to pack (the minimal package, or setup.exe alone),
// and create run on them with the options given.
struct Packed {
  TempDir dir;
  fs::path stub = dir / "runner.exe", tree = dir / "tree", out = dir / "out.exe";
  explicit Packed(bool withSettings = true);
  RunResult Create(const std::vector<std::string>& options = {}) const;
  // verify run on `bytes`, written as a program beside the output.
  RunResult Verify(const std::string& bytes) const;
};

// Whether a run ended with `exitCode` (0: with a warning) naming `text`.
testing::AssertionResult Ended(const RunResult& run, int exitCode, const std::string& text);
#define EXPECT_REFUSED(result, text) EXPECT_TRUE(::pack_test::Ended((result), 1, (text)))
#define EXPECT_WARNED(result, text) EXPECT_TRUE(::pack_test::Ended((result), 0, (text)))
// Whether create refused `packed`'s folder naming `text`, and wrote no output.
testing::AssertionResult CreateRefused(const Packed& packed, const std::string& text,
                                       const std::vector<std::string>& options = {});
#define EXPECT_CREATE_REFUSED(packed, ...) EXPECT_TRUE(::pack_test::CreateRefused((packed), __VA_ARGS__))

// MakePe's program followed by the names of the `features` it declares, in
// UTF-16 as a runner's resources hold them.
std::string DeclaringRunner(const std::vector<std::string>& features);

// `tobrin-pack list --json` of a packed program, parsed (null when it fails).
nlohmann::json ListJson(const fs::path& packed);

using nsTobrin::U32At;

}  // namespace pack_test
