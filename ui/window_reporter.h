#pragma once

#include <functional>
#include <string_view>

#include "dialog_registry.h"
#include "reporter.h"

namespace vorpel {

// The engine's reports as the user meets them: the beep, then the error
// dialog, shown modeless by its name (one copy, brought to the front).
class WindowReporter final : public Reporter {
 public:
  // beep is called for every Beep; the program passes the system beep,
  // tests a counter. reported, when given, hears of every error with its
  // detail just before the dialog shows.
  using ErrorListener = std::function<void(ErrorKind, std::string_view detail)>;
  WindowReporter(DialogRegistry& dialogs, std::function<void()> beep, ErrorListener reported = {})
      : dialogs_(dialogs), beep_(std::move(beep)), reported_(std::move(reported)) {}
  Q_DISABLE_COPY_MOVE(WindowReporter)

  void Beep() override;
  void ShowError(ErrorKind error, std::string_view detail) override;

 private:
  DialogRegistry& dialogs_;
  std::function<void()> beep_;
  ErrorListener reported_;
};

}  // namespace vorpel
