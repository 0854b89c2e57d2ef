// The options of list.
#include <CLI/CLI.hpp>

#include "command_options.h"
#include "commands.h"

namespace nsTobrin {

CommandRun DeclareListOptions(CLI::App& app) {
  const auto list = std::make_shared<ListOptions>();
  app.add_flag("--json", list->json);
  app.add_option("PACKED.exe", list->packed);
  return RunWhenGiven(list, &ListOptions::packed, "list", "name the packed program to list", RunList);
}

}  // namespace nsTobrin
