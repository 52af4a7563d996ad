#pragma once

// The built vorpel-cli run as a child process.

#include <filesystem>
#include <string>
#include <vector>

#include "vorpel_test/child_process.h"

namespace vorpel::test {

// Runs the built vorpel-cli with args (without the program name) from the
// folder work_dir; standard input is /dev/null.
inline ChildResult RunCli(const std::vector<std::string>& args,
                          const std::filesystem::path& work_dir, const ChildSetup& setup = {}) {
  std::vector<std::string> command{VORPEL_CLI_PATH};
  command.insert(command.end(), args.begin(), args.end());
  return RunProgram(command, work_dir, setup);
}

}  // namespace vorpel::test
