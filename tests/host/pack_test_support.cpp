#include "pack_test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace pack_test {

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "tobrin-pack-test-XXXXXX").string();
  if (!mkdtemp(&pattern[0])) throw std::runtime_error("mkdtemp failed");
  m_path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(m_path, ignored);
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void WriteTree(const fs::path& folder, const TreeEntries& entries) {
  for (const auto& [path, bytes] : entries) {
    if (!path.empty() && path.back() == '/')
      fs::create_directories(folder / path);
    else
      WriteFile(folder / path, bytes);
  }
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

namespace {

void Put16(std::string& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}

void Put32(std::string& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string Quote(const std::string& arg) {
  std::string out = "'";
  for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace

std::string MakePe(const PeOptions& options) {
  std::string b(1024, '\0');
  b[0] = 'M';
  b[1] = 'Z';
  Put32(b, 32, options.packageField);
  Put32(b, 0x3C, 0x80);
  b.replace(0x80, 4, std::string("PE\0\0", 4));
  const std::size_t coff = 0x84;
  Put16(b, coff, 0x14C);      // i386
  Put16(b, coff + 2, 1);      // one section
  Put16(b, coff + 16, 224);   // optional header size
  Put16(b, coff + 18, static_cast<std::uint16_t>(0x0102 | (options.dll ? 0x2000 : 0)));
  const std::size_t opt = coff + 20;
  Put16(b, opt, 0x10B);            // PE32
  Put32(b, opt + 60, 0x200);       // SizeOfHeaders
  Put32(b, opt + 92, 16);          // NumberOfRvaAndSizes
  if (options.certificate) {
    Put32(b, opt + 96 + 32, 0x400);  // the certificate table entry
    Put32(b, opt + 96 + 36, 0x10);
  }
  const std::size_t section = opt + 224;
  b.replace(section, 5, ".text");
  Put32(b, section + 16, 0x200);  // raw size
  Put32(b, section + 20, 0x200);  // raw offset
  for (std::size_t i = 0x200; i < 0x400; ++i) b[i] = static_cast<char>(0xC3);
  return b;
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args) {
  TempDir outputs;
  std::string command = Quote(program);
  for (const std::string& arg : args) command += " " + Quote(arg);
  command += " >" + Quote((outputs / "out").string()) + " 2>" + Quote((outputs / "err").string()) + " </dev/null";
  const int status = std::system(command.c_str());
  RunResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadFile(outputs / "out");
  result.err = ReadFile(outputs / "err");
  return result;
}

RunResult RunPack(const std::vector<std::string>& args) { return RunProgram(TOBRIN_PACK_PATH, args); }

void WriteMinimalPackage(const fs::path& folder) {
  WriteTree(folder, {{"AssistFile.ini", "[ParamOption]\r\nExecuteFileName=setup.exe\r\n"}, {"setup.exe", MakePe()}});
}

Packed::Packed(bool withSettings) {
  WriteFile(stub, MakePe());
  if (withSettings) WriteMinimalPackage(tree);
  else WriteFile(tree / "setup.exe", MakePe());
}

RunResult Packed::Create(const std::vector<std::string>& options) const {
  std::vector<std::string> args = {"create", "-o", out.string(), "--stub", stub.string()};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back(tree.string());
  return RunPack(args);
}

RunResult Packed::Verify(const std::string& bytes) const {
  WriteFile(dir / "check.exe", bytes);
  return RunPack({"verify", (dir / "check.exe").string()});
}

testing::AssertionResult CreateRefused(const Packed& packed, const std::string& text, const std::vector<std::string>& options) {
  const testing::AssertionResult refused = Ended(packed.Create(options), 1, text);
  if (refused && fs::exists(packed.out)) return testing::AssertionFailure() << "refused, but wrote " << packed.out;
  return refused;
}

std::string DeclaringRunner(const std::vector<std::string>& features) {
  std::string runner = MakePe();
  for (const std::string& feature : features) {
    for (char c : feature) runner += {c, '\0'};
    runner += std::string(2, '\0');
  }
  return runner;
}

testing::AssertionResult Ended(const RunResult& run, int exitCode, const std::string& text) {
  if (run.exitCode == exitCode && run.err.find(text) != std::string::npos &&
      (exitCode != 0 || run.err.find("warning: ") != std::string::npos))
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << "exit code " << run.exitCode << ", wanted " << exitCode << " and '" << text
                                     << (exitCode ? "'" : "' in a warning") << " in:\n" << run.err;
}

nlohmann::json ListJson(const fs::path& packed) {
  const RunResult listed = RunPack({"list", "--json", packed.string()});
  return listed.exitCode == 0 ? nlohmann::json::parse(listed.out) : nlohmann::json();
}

}  // namespace pack_test
