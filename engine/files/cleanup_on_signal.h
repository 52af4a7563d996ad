#pragma once

// Named partial files and the termination signals.
//
// Where a new file must have a name before it is complete (a file system
// without unnamed files, or the moment between linking and renaming),
// SIGINT, SIGTERM and SIGHUP remove it before the signal takes its course:
// the previous handler, or the default action, which ends the process as
// that signal says. The handlers are installed only while such a name
// exists, and the earlier ones are put back afterwards; a signal that was
// ignored (a program started with nohup) stays ignored.

#include <csignal>

namespace vorpel {

// Makes path known to the handlers, which remove that file should a
// termination signal arrive. The slot number, or -1 when the path cannot
// be kept (too long, or too many at once).
int AddPartialFile(const char* path);

// Forgets the path of slot (-1: none); the file itself is left as it is.
void ForgetPartialFile(int slot);

// Holds the termination signals back in this thread while a name is made
// and registered, so that no signal finds a name the handler does not know.
class TerminationSignalsHeld {
 public:
  TerminationSignalsHeld();
  ~TerminationSignalsHeld();
  TerminationSignalsHeld(const TerminationSignalsHeld&) = delete;
  TerminationSignalsHeld& operator=(const TerminationSignalsHeld&) = delete;

 private:
  sigset_t previous_{};
};

}  // namespace vorpel
