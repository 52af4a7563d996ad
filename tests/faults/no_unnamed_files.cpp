// Preloaded into a test's process (LD_PRELOAD), this makes every request
// for an unnamed file (open with O_TMPFILE) fail with EOPNOTSUPP, exactly
// as the system answers on a file system that has no such files. Programs
// then take their fallback with named temporary files, unchanged.

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdarg>

namespace {

using OpenFunction = int (*)(const char*, int, ...);
using OpenAtFunction = int (*)(int, const char*, int, ...);

bool AsksForUnnamedFile(int flags) { return (flags & O_TMPFILE) == O_TMPFILE; }
bool NeedsMode(int flags) { return (flags & O_CREAT) != 0 || AsksForUnnamedFile(flags); }

template <typename Function>
Function Next(const char* name) {
  return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

// The mode argument follows the flags only when the call creates a file.
mode_t ModeArgument(int flags, va_list arguments) {
  return NeedsMode(flags) ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
}

int Refused() {
  errno = EOPNOTSUPP;
  return -1;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeArgument(flags, arguments);
  va_end(arguments);
  if (AsksForUnnamedFile(flags)) return Refused();
  static const auto next = Next<OpenFunction>("open");
  return next(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeArgument(flags, arguments);
  va_end(arguments);
  if (AsksForUnnamedFile(flags)) return Refused();
  static const auto next = Next<OpenFunction>("open64");
  return next(path, flags, mode);
}

int openat(int folder, const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeArgument(flags, arguments);
  va_end(arguments);
  if (AsksForUnnamedFile(flags)) return Refused();
  static const auto next = Next<OpenAtFunction>("openat");
  return next(folder, path, flags, mode);
}

int openat64(int folder, const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeArgument(flags, arguments);
  va_end(arguments);
  if (AsksForUnnamedFile(flags)) return Refused();
  static const auto next = Next<OpenAtFunction>("openat64");
  return next(folder, path, flags, mode);
}

}  // extern "C"
