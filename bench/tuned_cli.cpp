// vorpel-cli with some of the engine's speed mechanisms turned off, to
// measure what each one gains (bench/mechanisms.sh):
//
//   vorpel_tuned_cli [--without NAME[,NAME...]] VORPEL-CLI-ARGUMENTS...
//
// NAME: avx2-check, free-huge-pages, part-chooser, two-half-read,
// two-thread-word-cut, two-thread-letter-index, or all. Without --without
// it is vorpel-cli.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "cli_command.h"
#include "tuning.h"

namespace {

// Turns off the mechanisms named in the comma-separated list.
bool TurnOff(std::string_view list, vorpel::Tuning& tuning) {
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    const std::string_view name = list.substr(0, comma);
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    bool known = false;
    for (const vorpel::Mechanism& each : vorpel::kMechanisms) {
      if (name == each.name || name == "all") {
        tuning.*each.on = false;
        known = true;
      }
    }
    if (!known) {
      std::fprintf(stderr, "vorpel_tuned_cli: no mechanism is called %.*s\n",
                   static_cast<int>(name.size()), name.data());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  std::vector<char*> args(argv, argv + argc);
  vorpel::Tuning tuning;
  while (args.size() > 2 && std::strcmp(args[1], "--without") == 0) {
    if (!TurnOff(args[2], tuning)) return 2;
    args.erase(args.begin() + 1, args.begin() + 3);
  }
  vorpel::SetTuning(tuning);
  return vorpel::CliMain(static_cast<int>(args.size()), args.data());
}
