#include "cleanup_on_signal.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <iterator>
#include <mutex>

namespace vorpel {
namespace {

// The handler can only reach what it needs through process-wide state: the
// names are kept in fixed buffers, ready for unlink, which is safe in a
// signal handler.

constexpr int kTerminationSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = static_cast<int>(std::size(kTerminationSignals));
constexpr int kSlotCount = 8;
// A slot holds a path of up to the longest the system takes.
constexpr std::size_t kSlotPathSize = PATH_MAX;

struct PartialFileSlot {
  std::atomic<bool> used{false};
  char path[kSlotPathSize] = {};
};

PartialFileSlot g_partial_files[kSlotCount];
struct sigaction g_previous_actions[kSignalCount];
bool g_handler_installed[kSignalCount] = {};
std::mutex g_partial_files_mutex;  // guards the counts and installation, never taken in a handler
int g_partial_file_count = 0;

extern "C" void RemovePartialFilesThenResignal(int signal_number, siginfo_t* info, void* context) {
  const int saved_errno = errno;
  for (PartialFileSlot& slot : g_partial_files) {
    if (slot.used.load(std::memory_order_acquire)) ::unlink(slot.path);
  }
  int index = 0;
  while (index < kSignalCount && kTerminationSignals[index] != signal_number) ++index;
  if (index < kSignalCount) {
    const struct sigaction& previous = g_previous_actions[index];
    if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
      previous.sa_sigaction(signal_number, info, context);
    } else if ((previous.sa_flags & SA_SIGINFO) == 0 && previous.sa_handler != SIG_DFL &&
               previous.sa_handler != SIG_IGN) {
      previous.sa_handler(signal_number);
    } else {
      // The default action: the process ends as the signal says. The
      // signal is blocked while its handler runs, so the raised one is
      // delivered, with the default action, as soon as this returns.
      struct sigaction default_action {};
      default_action.sa_handler = SIG_DFL;
      sigemptyset(&default_action.sa_mask);
      ::sigaction(signal_number, &default_action, nullptr);
      ::raise(signal_number);
    }
  }
  errno = saved_errno;
}

void InstallHandlers() {
  for (int i = 0; i < kSignalCount; ++i) {
    struct sigaction current {};
    ::sigaction(kTerminationSignals[i], nullptr, &current);
    // An ignored signal (a program started with nohup) stays ignored.
    g_handler_installed[i] = (current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_IGN;
    if (!g_handler_installed[i]) continue;
    g_previous_actions[i] = current;
    struct sigaction ours {};
    ours.sa_sigaction = RemovePartialFilesThenResignal;
    ours.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&ours.sa_mask);
    ::sigaction(kTerminationSignals[i], &ours, nullptr);
  }
}

void RestoreHandlers() {
  for (int i = 0; i < kSignalCount; ++i) {
    if (g_handler_installed[i])
      ::sigaction(kTerminationSignals[i], &g_previous_actions[i], nullptr);
    g_handler_installed[i] = false;
  }
}

}  // namespace

int AddPartialFile(const char* path) {
  const std::size_t length = std::strlen(path);
  if (length >= kSlotPathSize) return -1;
  const std::lock_guard lock(g_partial_files_mutex);
  for (int slot = 0; slot < kSlotCount; ++slot) {
    PartialFileSlot& entry = g_partial_files[slot];
    if (entry.used.load(std::memory_order_relaxed)) continue;
    std::memcpy(entry.path, path, length + 1);
    entry.used.store(true, std::memory_order_release);
    if (g_partial_file_count++ == 0) InstallHandlers();
    return slot;
  }
  return -1;
}

void ForgetPartialFile(int slot) {
  if (slot < 0) return;
  const std::lock_guard lock(g_partial_files_mutex);
  g_partial_files[slot].used.store(false, std::memory_order_release);
  if (--g_partial_file_count == 0) RestoreHandlers();
}

TerminationSignalsHeld::TerminationSignalsHeld() {
  sigset_t held;
  sigemptyset(&held);
  for (const int signal_number : kTerminationSignals) sigaddset(&held, signal_number);
  ::pthread_sigmask(SIG_BLOCK, &held, &previous_);
}

TerminationSignalsHeld::~TerminationSignalsHeld() {
  ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

}  // namespace vorpel
