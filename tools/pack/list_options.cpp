// The options of list.
#include <CLI/CLI.hpp>

#include <memory>

#include "command_options.h"
#include "commands.h"

namespace nsTobrin {

CommandRun DeclareListOptions(CLI::App& app) {
  const auto list = std::make_shared<ListOptions>();
  app.add_flag("--json", list->json);
  app.add_option("PACKED.exe", list->packed);
  return [list] {
    if (list->packed.empty()) return UsageError("list", "name the packed program to list");
    return RunList(*list);
  };
}

}  // namespace nsTobrin
