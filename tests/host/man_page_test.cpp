// The man page documents what the packer accepts: every command that
// `tobrin-pack --help` lists has a section of its own, and every option that
// a command's --help lists appears in that section.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "pack_test_support.h"

using namespace pack_test;

namespace {

// The options a text names: words that start with - or -- after a blank, a
// comma or a bracket (the completion reads them from --help the same way).
std::set<std::string> OptionsIn(const std::string& text) {
  static const std::regex option(R"((?:^|[\s,\[])(--?[A-Za-z][-A-Za-z]*))");
  std::set<std::string> found;
  for (std::sregex_iterator i(text.begin(), text.end(), option), end; i != end; ++i) found.insert((*i)[1]);
  return found;
}

// The commands of the packer's usage: the indented lines below "Commands:".
std::vector<std::string> CommandsIn(const std::string& help) {
  std::vector<std::string> commands;
  std::istringstream lines(help.substr(help.find("Commands:")));
  std::string line;
  std::getline(lines, line);
  static const std::regex command(R"(^  ([a-z]+) .*)");
  std::smatch match;
  while (std::getline(lines, line) && !line.empty())
    if (std::regex_match(line, match, command)) commands.push_back(match[1]);
  return commands;
}

// The man page's text by subsection (.SS NAME), without font changes and
// with the escaped hyphens as plain ones.
std::map<std::string, std::string> ManSections(std::string roff) {
  roff = std::regex_replace(roff, std::regex(R"(\\f[BIRP])"), "");
  roff = std::regex_replace(roff, std::regex(R"(\\-)"), "-");
  std::map<std::string, std::string> sections;
  std::istringstream lines(roff);
  std::string line, current;
  while (std::getline(lines, line)) {
    if (line.rfind(".SH", 0) == 0) current.clear();
    if (line.rfind(".SS ", 0) == 0) current = line.substr(4);
    else if (!current.empty()) sections[current] += line + "\n";
  }
  return sections;
}

TEST(ManPage, DocumentsEveryCommandAndItsOptions) {
  const RunResult usage = RunPack({"--help"});
  ASSERT_EQ(usage.exitCode, 0);
  const std::vector<std::string> commands = CommandsIn(usage.out);
  ASSERT_GE(commands.size(), 4u) << usage.out;
  const auto sections = ManSections(ReadFile(fs::path(TOBRIN_SOURCE_DIR) / "tools/pack/tobrin-pack.1"));

  std::size_t options = 0;
  for (const std::string& command : commands) {
    const auto section = sections.find(command);
    if (section == sections.end()) {
      ADD_FAILURE() << "the man page has no section '.SS " << command << "'";
      continue;
    }
    const RunResult help = RunPack({command, "--help"});
    EXPECT_EQ(help.exitCode, 0) << command;
    const std::set<std::string> documented = OptionsIn(section->second);
    for (const std::string& option : OptionsIn(help.out)) {
      if (option == "-h" || option == "--help") continue;  // the help section tells them once
      ++options;
      EXPECT_TRUE(documented.count(option)) << "'" << command << " " << option << "' is missing from the man page";
    }
  }
  EXPECT_GE(options, 4u) << "the options of the commands' --help were not found";
  const auto help = sections.find("help");
  ASSERT_NE(help, sections.end());
  for (const char* option : {"-h", "--help", "--version"}) EXPECT_TRUE(OptionsIn(help->second).count(option)) << option;
}

}  // namespace
