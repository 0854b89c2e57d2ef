// The options of extract.
#include <CLI/CLI.hpp>

#include "command_options.h"
#include "commands.h"

namespace nsTobrin {

CommandRun DeclareExtractOptions(CLI::App& app) {
  const auto extract = std::make_shared<ExtractOptions>();
  app.add_option("PACKED.exe", extract->packed);
  app.add_option("DIR", extract->folder);
  return RunWhenGiven(extract, &ExtractOptions::folder, "extract",
                      "name the packed program and the folder to write into", RunExtract);
}

}  // namespace nsTobrin
