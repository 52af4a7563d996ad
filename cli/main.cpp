#include <csignal>

#include "cli_command.h"

int main(int argc, char** argv) {
#ifdef SIGXFSZ
  // Past a file-size limit a write then fails with an error the command
  // reports (and cleans up after) instead of killing the process.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  return vorpel::CliMain(argc, argv);
}
