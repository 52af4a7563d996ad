#pragma once

#include <functional>

#include "dialog_registry.h"
#include "reporter.h"

namespace vorpel {

// The engine's reports as the user meets them: the beep, then the error
// dialog, shown modeless by its name (one copy, brought to the front).
class WindowReporter final : public Reporter {
 public:
  // beep is called for every Beep; the program passes the system beep,
  // tests a counter.
  WindowReporter(DialogRegistry& dialogs, std::function<void()> beep)
      : dialogs_(dialogs), beep_(std::move(beep)) {}
  Q_DISABLE_COPY_MOVE(WindowReporter)

  void Beep() override;
  void ShowError(ErrorKind error, std::string_view detail) override;

 private:
  DialogRegistry& dialogs_;
  std::function<void()> beep_;
};

}  // namespace vorpel
